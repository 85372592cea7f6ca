#include <cstdio>
#include <optional>
#include <string>

#include "app/settings.h"
#include "app/settings_file.h"
#include "cli/cli.h"
#include "diary/catalog.h"
#include "diary/every_year.h"
#include "diary/search.h"
#include "platform/cp932.h"
#include "platform/fileio.h"

namespace kuv::cli {

namespace {

struct Diary {
    std::string dataPath;
    std::string password;
};

// The data folder and password from the options, and what they leave open
// from the settings file, as the show command finds them. Nothing (after a
// message) when they cannot be had; status is then the exit status.
std::optional<Diary> ResolveDiary(const Args& args, int& status) {
    status = 2;
    std::optional<std::string> dataPath, password;
    if (auto v = args.Value("data")) {
        dataPath = ArgToCp932(*v, "data folder");
        if (!dataPath) return std::nullopt;
    }
    if (auto v = args.Value("password")) {
        password = ArgToCp932(*v, "password");
        if (!password) return std::nullopt;
    }
    if (!dataPath || !password) {
        std::string appDir = fsio::ExecutableDir();
        if (auto v = args.Value("app-dir")) {
            auto dir = ArgToCp932(*v, "program folder");
            if (!dir) return std::nullopt;
            appDir = *dir;
        }
        const AppPaths paths = ResolveAppPaths(appDir);
        TDiarySettings settings = DefaultSettings(paths);
        if (!ReadSettings(settings, paths)) {
            std::fprintf(stderr, "kuvandoro-cli: the settings file %s cannot be read\n",
                         cp932::ToUtf8(paths.settingsPath).c_str());
            status = 1;
            return std::nullopt;
        }
        if (!dataPath) dataPath = settings.DataPath;
        if (!password) password = settings.Password;
    }
    return Diary{*dataPath, *password};
}

// Entry text for a terminal: UTF-8 with LF line breaks.
std::string ForTerminal(std::string_view cp932Text) {
    const std::string utf8 = cp932::ToUtf8(cp932Text);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
        out += utf8[i];
    }
    return out;
}

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", b);
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string IsoDate(int year, int month, int day) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
    return buf;
}

void ReportSkipped(std::size_t sealed, std::size_t unreadable) {
    if (sealed > 0) {
        std::fprintf(stderr,
                     "kuvandoro-cli: %zu locked entries left out: the password does not open "
                     "them\n",
                     sealed);
    }
    if (unreadable > 0) {
        std::fprintf(stderr, "kuvandoro-cli: %zu entry files left out: they cannot be read\n",
                     unreadable);
    }
}

bool Write(const std::string& out) {
    return (out.empty() || std::fwrite(out.data(), 1, out.size(), stdout) == out.size()) &&
           std::fflush(stdout) == 0;
}

}  // namespace

int RunSearch(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {"json"}, {"app-dir", "data", "password"});
    if (!args) return 2;
    std::string words;
    for (const std::string& w : args->positional) words += w + " ";
    const auto bytes = ArgToCp932(words, "search term");
    if (!bytes) return 2;
    const SearchQuery query = ParseQuery(std::string_view(*bytes));
    if (query.Empty()) return Usage();
    int status = 0;
    const auto diary = ResolveDiary(*args, status);
    if (!diary) return status;

    const SearchResults r = SearchFiles(diary->dataPath, diary->password, query);
    const bool json = args->Has("json");
    std::string out = json ? "[" : "";
    for (std::size_t i = 0; i < r.matches.size(); ++i) {
        const SearchMatch& m = r.matches[i];
        const std::string date = IsoDate(m.year, m.month, m.day);
        const std::string line = ForTerminal(r.Row(i).line);
        if (json) {
            out += i == 0 ? "\n" : ",\n";
            out += "  {\"date\": \"" + date + "\", \"line\": " + JsonString(line) +
                   ", \"locked\": " + (m.source == PaneSource::Plain ? "false" : "true") + "}";
        } else {
            out += date + "\t" + line + "\n";
        }
    }
    if (json) out += r.matches.empty() ? "]\n" : "\n]\n";
    ReportSkipped(r.sealed, r.unreadable);
    if (!Write(out)) return 2;
    return r.matches.empty() ? 1 : 0;
}

int RunYears(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {}, {"app-dir", "data", "password"});
    if (!args) return 2;
    if (args->positional.size() != 1) return Usage();
    const std::string& md = args->positional[0];
    auto digit = [&](std::size_t i) { return md[i] >= '0' && md[i] <= '9'; };
    const bool shaped =
        md.size() == 5 && digit(0) && digit(1) && md[2] == '-' && digit(3) && digit(4);
    const int month = shaped ? (md[0] - '0') * 10 + (md[1] - '0') : 0;
    const int day = shaped ? (md[3] - '0') * 10 + (md[4] - '0') : 0;
    // A day that some year has: 29 February included (2000 is a leap year).
    if (day < 1 || day > DaysInMonth(2000, month)) {
        std::fprintf(stderr, "kuvandoro-cli: not a day of the form MM-DD: %s\n", md.c_str());
        return 2;
    }
    int status = 0;
    const auto diary = ResolveDiary(*args, status);
    if (!diary) return status;

    const EveryYear list = ListEveryYear(diary->dataPath, month, day, diary->password);
    std::string out;
    for (const YearEntry& e : list.entries) {
        out += IsoDate(e.year, month, day) + "\n";
        std::string text = ForTerminal(e.text);
        if (!text.empty() && text.back() != '\n') text += '\n';
        out += text + "\n";
    }
    ReportSkipped(list.sealed, list.unreadable);
    if (!Write(out)) return 2;
    return list.entries.empty() ? 1 : 0;
}

}  // namespace kuv::cli
