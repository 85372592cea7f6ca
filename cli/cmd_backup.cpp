#include <string>

#include "backup/auto_backup.h"
#include "backup/backup.h"
#include "cli/cli.h"
#include "cli/diary_guard.h"

namespace kuv::cli {

int RunBackup(int argc, char** argv) {
    int status = 0;
    const auto run = ParseNamedAndDiary(argc, argv, {"app-dir", "data"}, "archive name", status);
    if (!run) return status;
    BackupSources sources;
    sources.dataPath = run->diary.settings.DataPath;
    sources.settingsPath = run->diary.paths.settingsPath;
    sources.leaveOut = {AutoBackupFolder()};
    const BackupResult result = CreateBackup(sources, run->name);
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
    int status = 0;
    const auto run = ParseNamedAndDiary(argc, argv, {"app-dir", "data"}, "archive name", status);
    if (!run) return status;
    if (RefuseWhileHeld(run->diary)) return kExitDiaryOpen;
    RestoreTarget target;
    target.dataPath = run->diary.settings.DataPath;
    target.settingsPath = run->diary.paths.settingsPath;
    target.carryOver = {AutoBackupFolder()};
    const RestoreResult result = RestoreBackup(run->name, target);
    PrintMessage(result.status == RestoreStatus::Done ? stdout : stderr, result.message);
    return result.status == RestoreStatus::Done ? 0 : 1;
}

}  // namespace kuv::cli
