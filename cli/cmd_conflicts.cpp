#include <cstdio>
#include <optional>
#include <string>

#include "app/instance_lock.h"
#include "app/settings.h"
#include "app/settings_file.h"
#include "cli/cli.h"
#include "diary/conflict_copies.h"
#include "platform/cp932.h"
#include "platform/fileio.h"

namespace kuv::cli {

bool RefuseWhileOpen(const std::string& cp932Path) {
    const std::string folder = OpenDiaryHolding(cp932Path);
    if (folder.empty()) return false;
    std::fprintf(stderr,
                 "kuvandoro-cli: a Kuvandoro window has the diary in %s open; close it before "
                 "writing to %s\n",
                 cp932::ToUtf8(folder).c_str(), cp932::ToUtf8(cp932Path).c_str());
    return true;
}

int RunConflicts(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {}, {"app-dir", "data"});
    if (!args) return 2;
    if (!args->positional.empty()) return Usage();

    std::string dataPath;
    if (auto v = args->Value("data")) {
        auto bytes = ArgToCp932(*v, "data folder");
        if (!bytes) return 2;
        dataPath = *bytes;
    } else {
        // The data folder that the program folder's settings name, read
        // through the same bracket as the program's start-up.
        std::string appDir = fsio::ExecutableDir();
        if (auto v = args->Value("app-dir")) {
            auto dir = ArgToCp932(*v, "program folder");
            if (!dir) return 2;
            appDir = *dir;
        }
        const AppPaths paths = ResolveAppPaths(appDir);
        TDiarySettings settings = DefaultSettings(paths);
        if (!ReadSettings(settings, paths)) {
            std::fprintf(stderr, "kuvandoro-cli: the settings file %s cannot be read\n",
                         cp932::ToUtf8(paths.settingsPath).c_str());
            return 1;
        }
        dataPath = settings.DataPath;
    }

    for (const ConflictCopy& c : ListAllConflictCopies(dataPath)) {
        std::printf("%04d-%02d-%02d\t%s\n", c.year, c.month, c.day, cp932::ToUtf8(c.path).c_str());
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace kuv::cli
