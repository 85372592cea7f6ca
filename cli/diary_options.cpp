#include <algorithm>
#include <cstdio>
#include <utility>

#include "app/settings_file.h"
#include "cli/cli.h"
#include "cli/password.h"
#include "lock/strong_lock.h"
#include "platform/cp932.h"
#include "platform/fileio.h"

namespace kuv::cli {

std::optional<AppPaths> ProgramPaths(const Args& args) {
    const std::optional<std::string> given = args.Value("app-dir");
    if (!given) {
        const std::string own = fsio::ExecutableDir();
        if (own.empty()) {
            std::fputs("kuvandoro-cli: the program folder cannot be found\n", stderr);
            return std::nullopt;
        }
        return ResolveAppPaths(own);
    }
    const std::optional<std::string> dir = ArgToCp932(*given, "program folder");
    if (!dir) return std::nullopt;
    // A folder named on the command line is the one meant: another in its
    // place would show settings that are not the ones asked for.
    switch (fsio::KindOf(*dir)) {
        case fsio::Kind::Directory:
            return FixedAppPaths(*dir);
        case fsio::Kind::Missing:
            std::fprintf(stderr, "kuvandoro-cli: the program folder does not exist: %s\n",
                         given->c_str());
            return std::nullopt;
        default:
            std::fprintf(stderr, "kuvandoro-cli: not a folder: %s\n", given->c_str());
            return std::nullopt;
    }
}

std::optional<DiaryOptions> ResolveDiary(const Args& args, DiaryNeeds needs, int& status) {
    status = 2;
    std::optional<std::string> dataPath, typed;
    if (auto v = args.Value("data")) {
        dataPath = ArgToCp932(*v, "data folder");
        if (!dataPath) return std::nullopt;
    }
    if (auto v = args.Value("password")) {
        typed = v;
    } else if (args.Has("password-stdin")) {
        typed = ReadSecretLine("Password: ");
        if (!typed) {
            std::fputs("kuvandoro-cli: no password on standard input\n", stderr);
            return std::nullopt;
        }
    }
    // The folder is checked even when the options leave nothing to read there.
    const std::optional<AppPaths> paths = ProgramPaths(args);
    if (!paths) return std::nullopt;
    DiaryOptions d{*paths, DefaultSettings(*paths)};
    // Decoded in memory and never written back: a command that only reads
    // changes nothing on the disk, and one that writes leaves the settings
    // file as it found it.
    const bool open = !dataPath || (needs != DiaryNeeds::DataFolder && !typed);
    if (needs == DiaryNeeds::AllSettings || needs == DiaryNeeds::LockSettings || open) {
        const SettingsReadResult read =
            ReadSettingsFile(d.settings, d.paths, SettingsAccess::ReadOnly);
        if (!read.usable()) {
            std::fprintf(stderr, "kuvandoro-cli: %s\n", cp932::ToUtf8(read.message).c_str());
            status = 1;
            return std::nullopt;
        }
    }
    if (dataPath) d.settings.DataPath = *dataPath;
    // A strong-locked diary takes the password as typed, to open its key; the
    // Windows lock takes it in code page 932.
    if (needs != DiaryNeeds::DataFolder && needs != DiaryNeeds::LockSettings &&
        lock::HasStrongLock(d.settings.DataPath)) {
        if (!OpenStrongLock(typed, d.settings.DataPath, status)) return std::nullopt;
    } else if (typed) {
        const std::optional<std::string> password = ArgToCp932(*typed, "password");
        if (!password) return std::nullopt;
        d.settings.Password = *password;
    }
    status = 0;
    return d;
}

std::optional<NamedAndDiary> ParseNamedAndDiary(int argc, char** argv,
                                                const std::vector<std::string>& valued,
                                                const char* what, int& status) {
    status = 2;
    // A command that takes a password takes it on standard input as well.
    const bool password = std::find(valued.begin(), valued.end(), "password") != valued.end();
    const std::optional<Args> args = ParseArgs(
        argc, argv, 2,
        password ? std::vector<std::string>{"password-stdin"} : std::vector<std::string>{}, valued);
    if (!args) return std::nullopt;
    if (args->positional.size() != 1) {
        status = Usage();
        return std::nullopt;
    }
    std::optional<std::string> name = ArgToCp932(args->positional[0], what);
    if (!name) return std::nullopt;
    std::optional<DiaryOptions> diary = ResolveDiary(*args, DiaryNeeds::AllSettings, status);
    if (!diary) return std::nullopt;
    return NamedAndDiary{std::move(*name), std::move(*diary)};
}

}  // namespace kuv::cli
