#pragma once

#include <string>

#include "backup/auto_backup.h"
#include "backup/backup.h"
#include "platform/progress.h"

// The archive work (libarchive, SHA-256) as a module of its own that the
// window loads the first time it backs up or restores: a start of the diary
// does not pay for libraries that only a backup needs. The companion tool
// links the same code directly.
namespace kuv {

struct ArchiveFunctions {
    int version = 0;  // kArchiveModuleVersion of the module
    BackupResult (*createBackup)(const BackupSources&, const std::string&, const ProgressFn&);
    VerifyResult (*verifyBackup)(const std::string&, const ProgressFn&);
    RestoreResult (*restoreBackup)(const std::string&, const RestoreTarget&, const ProgressFn&);
    AutoBackupResult (*runAutoBackup)(const AutoBackupRequest&, const ProgressFn&);
};

// Changes whenever ArchiveFunctions or a type it passes changes.
inline constexpr int kArchiveModuleVersion = 1;

// The module's one entry point, a C name so that it can be looked up.
inline constexpr const char* kArchiveModuleEntry = "kuv_archive_functions";
using ArchiveModuleEntry = const ArchiveFunctions* (*)();

// The module, loaded once (beside the program, or where the package puts
// it); nothing, with the reason in error (code page 932), when it cannot be
// loaded or is of another version.
const ArchiveFunctions* LoadArchiveModule(std::string& error);

}  // namespace kuv
