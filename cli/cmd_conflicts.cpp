#include <cstdio>
#include <optional>
#include <string>

#include "cli/cli.h"
#include "diary/conflict_copies.h"
#include "platform/cp932.h"

namespace kuv::cli {

int RunConflicts(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {}, {"app-dir", "data"});
    if (!args) return 2;
    if (!args->positional.empty()) return Usage();

    int status = 0;
    const auto diary = ResolveDiary(*args, DiaryNeeds::DataFolder, status);
    if (!diary) return status;

    for (const ConflictCopy& c : ListAllConflictCopies(diary->settings.DataPath)) {
        std::printf("%s\t%s\n", IsoDayText(c.year, c.month, c.day).c_str(),
                    cp932::ToUtf8(c.path).c_str());
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace kuv::cli
