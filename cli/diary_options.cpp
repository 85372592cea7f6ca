#include <cstdio>

#include "app/settings_file.h"
#include "cli/cli.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"

namespace kuv::cli {

std::optional<DiaryOptions> ResolveDiary(const Args& args, bool readSettings, int& status) {
    status = 2;
    DiaryOptions d;
    std::optional<std::string> dataPath, password;
    if (auto v = args.Value("data")) {
        dataPath = ArgToCp932(*v, "data folder");
        if (!dataPath) return std::nullopt;
    }
    if (auto v = args.Value("password")) {
        password = ArgToCp932(*v, "password");
        if (!password) return std::nullopt;
    }
    std::string appDir = fsio::ExecutableDir();
    if (auto v = args.Value("app-dir")) {
        auto dir = ArgToCp932(*v, "program folder");
        if (!dir) return std::nullopt;
        appDir = *dir;
    }
    d.paths = ResolveAppPaths(appDir);
    d.settings = DefaultSettings(d.paths);
    // The settings file is read, through the same bracket as the program's
    // start-up, for what the options leave open.
    if (readSettings || !dataPath || !password) {
        try {
            if (!ReadSettings(d.settings, d.paths)) {
                std::fprintf(stderr, "kuvandoro-cli: the settings file %s cannot be read\n",
                             cp932::ToUtf8(d.paths.settingsPath).c_str());
                status = 1;
                return std::nullopt;
            }
        } catch (const AppError& e) {
            std::fprintf(stderr, "kuvandoro-cli: %s\n", cp932::ToUtf8(e.what()).c_str());
            status = 1;
            return std::nullopt;
        }
    }
    if (dataPath) d.settings.DataPath = *dataPath;
    if (password) d.settings.Password = *password;
    status = 0;
    return d;
}

std::optional<DateParts> ParseIsoDay(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    int parts[3] = {0, 0, 0};
    const std::size_t starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (std::size_t i = starts[p]; i < starts[p] + lengths[p]; ++i) {
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
            parts[p] = parts[p] * 10 + (text[i] - '0');
        }
    }
    const DateParts day{static_cast<std::uint16_t>(parts[0]), static_cast<std::uint16_t>(parts[1]),
                        static_cast<std::uint16_t>(parts[2])};
    try {
        EncodeDateValue(day.year, day.month, day.day);
    } catch (const EConvertError&) {
        return std::nullopt;
    }
    return day;
}

void PrintMessage(std::FILE* to, const std::string& cp932Message) {
    std::fprintf(to, "%s\n", cp932::ToUtf8(cp932Message).c_str());
}

}  // namespace kuv::cli
