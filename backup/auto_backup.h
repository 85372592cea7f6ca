#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings.h"
#include "backup/backup.h"
#include "platform/progress.h"

// The automatic backup: at the first start of each day, one backup into the
// per-user backups folder (never into the data folder), the last 30 kept. A
// diary that has not changed since the last backup makes no new one: a
// fingerprint of the names, sizes and times of its files lies beside the
// backups. Meant to run off the window's thread once the window is up.
namespace kuv {

inline constexpr int kAutoBackupsKept = 30;

// $XDG_DATA_HOME/kuvandoro/backups (default ~/.local/share/kuvandoro/backups),
// code page 932; empty when no home folder is known.
std::string AutoBackupFolder();

enum class AutoBackupOutcome {
    Made,          // a new backup stands in the folder
    Off,           // the setting is off
    AlreadyToday,  // today's backup is there
    Unchanged,     // nothing changed since the last backup
    Cancelled,
    Failed,
};

struct AutoBackupRequest {
    bool enabled = true;  // TDiarySettings::AutoBackup
    BackupSources sources;
    std::string folder;   // where the backups go (AutoBackupFolder())
    std::time_t now = 0;  // the start's local time names and dates the backup
    int keep = kAutoBackupsKept;
};

struct AutoBackupResult {
    AutoBackupOutcome outcome = AutoBackupOutcome::Failed;
    std::string archivePath;  // the backup made, code page 932
    int removed = 0;          // old backups removed beyond the kept number
    BackupResult backup;      // its result, with the message, when one was tried
};

// The request of this start: the settings' data folder and settings file,
// the per-user backups folder (left out of the backup when it lies inside the
// data folder), now.
AutoBackupRequest AutoBackupRequestFor(const TDiarySettings& settings, const AppPaths& paths);

AutoBackupResult RunAutoBackup(const AutoBackupRequest& request, const ProgressFn& progress = {});

// Whether the request has work to do that only the archive code can tell:
// the setting is on and no backup of the day stands in the folder. False
// means RunAutoBackup would make none.
bool AutoBackupDue(const AutoBackupRequest& request);

// The automatic backups in folder, oldest first, as full paths.
std::vector<std::string> ListAutoBackups(const std::string& folder);

// "kuvandoro-YYYYMMDD-HHMMSS.tar.gz" of a local time, and whether a name is
// one; whether a backup of now's day stands in folder.
std::string AutoBackupName(std::time_t now);
bool IsAutoBackupName(std::string_view name);
bool BackupOfDayExists(const std::string& folder, std::time_t now);

}  // namespace kuv
