#include "backup/archive_module.h"

// The module itself: the archive functions behind its one entry point.

extern "C" __attribute__((visibility("default"))) const kuv::ArchiveFunctions*
kuv_archive_functions() {
    static const kuv::ArchiveFunctions functions{
        kuv::kArchiveModuleVersion,
        [](const kuv::BackupSources& sources, const std::string& archive,
           const kuv::ProgressFn& progress) {
            return kuv::CreateBackup(sources, archive, progress);
        },
        [](const std::string& archive, const kuv::ProgressFn& progress) {
            return kuv::VerifyBackup(archive, progress);
        },
        [](const std::string& archive, const kuv::RestoreTarget& target,
           const kuv::ProgressFn& progress) {
            return kuv::RestoreBackup(archive, target, progress);
        },
        [](const kuv::AutoBackupRequest& request, const kuv::ProgressFn& progress) {
            return kuv::RunAutoBackup(request, progress);
        },
    };
    return &functions;
}
