#include "cli/cli.h"

#include <algorithm>
#include <cstdio>

#include "platform/cp932.h"

namespace kuv::cli {

bool Args::Has(const std::string& name) const {
    return std::any_of(options.begin(), options.end(),
                       [&](const auto& o) { return o.first == name; });
}

std::optional<std::string> Args::Value(const std::string& name) const {
    for (const auto& o : options) {
        if (o.first == name) return o.second;
    }
    return std::nullopt;
}

std::optional<Args> ParseArgs(int argc, char** argv, int first,
                              const std::vector<std::string>& flags,
                              const std::vector<std::string>& valued) {
    Args args;
    bool optionsDone = false;
    for (int i = first; i < argc; ++i) {
        std::string word = argv[i];
        if (optionsDone || word.size() < 2 || word.compare(0, 2, "--") != 0) {
            args.positional.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsDone = true;
            continue;
        }
        std::string name = word.substr(2);
        if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
            args.options.emplace_back(name, "");
        } else if (std::find(valued.begin(), valued.end(), name) != valued.end()) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "kuvandoro-cli: option --%s needs a value\n", name.c_str());
                return std::nullopt;
            }
            args.options.emplace_back(name, argv[++i]);
        } else {
            std::fprintf(stderr, "kuvandoro-cli: unknown option %s\n", word.c_str());
            return std::nullopt;
        }
    }
    return args;
}

std::optional<std::string> ArgToCp932(const std::string& utf8, const char* what) {
    auto bytes = cp932::FromUtf8(utf8);
    if (!bytes) {
        std::fprintf(stderr, "kuvandoro-cli: the %s cannot be written in code page 932\n", what);
    }
    return bytes;
}

void PrintMessage(std::FILE* to, const std::string& cp932Message) {
    std::fprintf(to, "%s\n", cp932::ToUtf8(cp932Message).c_str());
}

std::string ForTerminal(std::string_view cp932Text) {
    return Utf8ForTerminal(cp932::ToUtf8(cp932Text));
}

std::string Utf8ForTerminal(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
        out += utf8[i];
    }
    return out;
}

bool WriteOut(std::string_view text) {
    return (text.empty() || std::fwrite(text.data(), 1, text.size(), stdout) == text.size()) &&
           std::fflush(stdout) == 0;
}

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: kuvandoro-cli COMMAND ...\n"
        "  show [--app-dir DIR] [--data DIR] [--password P] [--raw] [--version N] YYYY-MM-DD\n"
        "  history [--app-dir DIR] [--data DIR] [--password P] YYYY-MM-DD\n"
        "  format [--locale NAME] [--raw] PATTERN [VALUE]\n"
        "  encode [--keep] PATH KEY\n"
        "  decode [--keep] PATH KEY\n"
        "  settings [--app-dir DIR]\n"
        "  profile get FILE SECTION KEY [DEFAULT]\n"
        "  profile set FILE SECTION KEY VALUE\n"
        "  conflicts [--app-dir DIR] [--data DIR]\n"
        "  search [--app-dir DIR] [--data DIR] [--password P] [--json] TERM...\n"
        "  years [--app-dir DIR] [--data DIR] [--password P] MM-DD\n"
        "  stats [--app-dir DIR] [--data DIR] [--password P] [--json]\n"
        "  tags [--app-dir DIR] [--data DIR] [--password P]\n"
        "  export [--app-dir DIR] [--data DIR] [--password P] [--from YYYY-MM-DD]\n"
        "         [--to YYYY-MM-DD] --format txt|md|html|pdf OUTPUT\n"
        "  backup [--app-dir DIR] [--data DIR] ARCHIVE\n"
        "  verify ARCHIVE\n"
        "  restore [--app-dir DIR] [--data DIR] ARCHIVE\n"
        "  import [--app-dir DIR] [--data DIR] [--password P] FOLDER\n"
        "  lock [--app-dir DIR] [--data DIR] --password-stdin\n"
        "  unlock [--app-dir DIR] [--data DIR] --password-stdin --to windows|plain\n"
        "  passwd [--app-dir DIR] [--data DIR]       (old and new password on stdin)\n"
        "  recover [--app-dir DIR] [--data DIR]      (recovery code and new password on stdin)\n"
        "  rekey [--app-dir DIR] [--data DIR] --password-stdin\n"
        "Every --password P may be --password-stdin (one line of standard input);\n"
        "with neither, a terminal is asked. A password given as --password P can be\n"
        "seen by every user of this machine in the process list.\n"
        "  --help | --version\n",
        to);
}

int Usage() {
    PrintUsage(stderr);
    return 2;
}

}  // namespace kuv::cli
