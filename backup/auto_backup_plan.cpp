#include "backup/auto_backup.h"

#include <ctime>
#include <optional>

// What an automatic backup will do, worked out without the archive code: the
// window asks this at every start, and loads the archive module only when a
// backup is due.
namespace kuv {

std::string AutoBackupFolder() {
    const std::optional<std::string> user = PerUserDataFolder();
    return user ? *user + "/backups" : std::string();
}

AutoBackupRequest AutoBackupRequestFor(const TDiarySettings& settings, const AppPaths& paths) {
    AutoBackupRequest request;
    request.enabled = settings.AutoBackup;
    request.folder = AutoBackupFolder();
    request.sources.dataPath = settings.DataPath;
    request.sources.settingsPath = paths.settingsPath;
    request.sources.leaveOut = {request.folder};
    request.now = std::time(nullptr);
    return request;
}

}  // namespace kuv
