#include <cstdio>
#include <string>

#include "backup/auto_backup.h"
#include "backup/backup.h"
#include "cli/cli.h"
#include "cli/diary_guard.h"

namespace kuv::cli {

int RunBackup(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {}, {"app-dir", "data"});
    if (!args) return 2;
    if (args->positional.size() != 1) return Usage();
    const auto archive = ArgToCp932(args->positional[0], "archive name");
    if (!archive) return 2;
    int status = 0;
    const auto diary = ResolveDiary(*args, true, status);
    if (!diary) return status;
    BackupSources sources;
    sources.dataPath = diary->settings.DataPath;
    sources.settingsPath = diary->paths.settingsPath;
    sources.leaveOut = {AutoBackupFolder()};
    const BackupResult result = CreateBackup(sources, *archive);
    PrintMessage(result.status == BackupStatus::Done ? stdout : stderr, result.message);
    return result.status == BackupStatus::Done ? 0 : 1;
}

int RunVerify(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {}, {});
    if (!args) return 2;
    if (args->positional.size() != 1) return Usage();
    const auto archive = ArgToCp932(args->positional[0], "archive name");
    if (!archive) return 2;
    const VerifyResult result = VerifyBackup(*archive);
    PrintMessage(result.Whole() ? stdout : stderr, result.message);
    return result.Whole() ? 0 : 1;
}

int RunRestore(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {}, {"app-dir", "data"});
    if (!args) return 2;
    if (args->positional.size() != 1) return Usage();
    const auto archive = ArgToCp932(args->positional[0], "archive name");
    if (!archive) return 2;
    int status = 0;
    const auto diary = ResolveDiary(*args, true, status);
    if (!diary) return status;
    if (WindowHoldsDiary(diary->paths, diary->settings.DataPath)) {
        std::fprintf(stderr, "kuvandoro-cli: the diary is open in a window; close it first\n");
        return kExitDiaryOpen;
    }
    RestoreTarget target;
    target.dataPath = diary->settings.DataPath;
    target.settingsPath = diary->paths.settingsPath;
    target.carryOver = {AutoBackupFolder()};
    const RestoreResult result = RestoreBackup(*archive, target);
    PrintMessage(result.status == RestoreStatus::Done ? stdout : stderr, result.message);
    return result.status == RestoreStatus::Done ? 0 : 1;
}

}  // namespace kuv::cli
