#include "cli/cli.h"

#include <cstdio>
#include <optional>
#include <string>

#include "app/settings.h"
#include "app/settings_file.h"
#include "dates/calendar.h"
#include "diary/diary_book.h"
#include "platform/cp932.h"
#include "platform/errors.h"

namespace kuv::cli {

namespace {

// A calendar day written exactly as YYYY-MM-DD.
std::optional<TDateTime> ParseDay(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8};
    const int lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (int i = 0; i < lengths[p]; ++i) {
            const char c = text[static_cast<std::size_t>(starts[p] + i)];
            if (c < '0' || c > '9') return std::nullopt;
            parts[p] = parts[p] * 10 + (c - '0');
        }
    }
    try {
        return EncodeDateValue(static_cast<std::uint16_t>(parts[0]),
                               static_cast<std::uint16_t>(parts[1]),
                               static_cast<std::uint16_t>(parts[2]));
    } catch (const EConvertError&) {
        return std::nullopt;
    }
}

void PrintError(const AppError& e) {
    std::fprintf(stderr, "kuvandoro-cli: %s\n", cp932::ToUtf8(e.what()).c_str());
}

}  // namespace

int RunShow(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {"raw"}, {"app-dir", "data", "password"});
    if (!args) return 2;
    if (args->positional.size() != 1) return Usage();
    const auto day = ParseDay(args->positional[0]);
    if (!day) {
        std::fprintf(stderr, "kuvandoro-cli: not a date of the form YYYY-MM-DD: %s\n",
                     args->positional[0].c_str());
        return 2;
    }

    std::optional<std::string> dataPath, password;
    if (auto v = args->Value("data")) {
        dataPath = ArgToCp932(*v, "data folder");
        if (!dataPath) return 2;
    }
    if (auto v = args->Value("password")) {
        password = ArgToCp932(*v, "password");
        if (!password) return 2;
    }

    // The folder is checked even when the options leave nothing to read there.
    std::optional<AppPaths> paths;
    if (args->Has("app-dir") || !dataPath || !password) {
        paths = ProgramPaths(*args);
        if (!paths) return 2;
    }

    try {
        // The settings file is read only for what the options leave open,
        // decoded in memory: showing changes nothing on the disk.
        if (!dataPath || !password) {
            TDiarySettings settings = DefaultSettings(*paths);
            const SettingsReadResult read =
                ReadSettingsFile(settings, *paths, SettingsAccess::ReadOnly);
            if (!read.usable()) {
                std::fprintf(stderr, "kuvandoro-cli: %s\n", cp932::ToUtf8(read.message).c_str());
                return 1;
            }
            if (!dataPath) dataPath = settings.DataPath;
            if (!password) password = settings.Password;
        }

        const PaneContent pane = LoadPane(YearFolder(*dataPath, *day), EntryName(*day), *password);
        std::string out;
        if (args->Has("raw")) {
            out = pane.text;
        } else {
            const std::string utf8 = cp932::ToUtf8(pane.text);
            out.reserve(utf8.size());
            for (std::size_t i = 0; i < utf8.size(); ++i) {
                if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
                out += utf8[i];
            }
        }
        if (!out.empty() && std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) {
            return 1;
        }
        if (std::fflush(stdout) != 0) return 1;
    } catch (const AppError& e) {
        PrintError(e);
        return 1;
    }
    return 0;
}

}  // namespace kuv::cli
