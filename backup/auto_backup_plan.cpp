#include "backup/auto_backup.h"

#include <algorithm>
#include <ctime>
#include <optional>

#include "platform/fileio.h"

// What an automatic backup will do, worked out without the archive code: the
// window asks this at every start, and loads the archive module only when a
// backup is due.
namespace kuv {

namespace {

constexpr std::string_view kPrefix = "kuvandoro-";
constexpr std::string_view kSuffix = ".tar.gz";

std::string Stamp(std::time_t now, const char* format) {
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, format, &tm);
    return buf;
}

}  // namespace

// "kuvandoro-YYYYMMDD-HHMMSS.tar.gz"
bool IsAutoBackupName(std::string_view name) {
    if (name.size() != kPrefix.size() + 15 + kSuffix.size()) return false;
    if (name.substr(0, kPrefix.size()) != kPrefix) return false;
    if (name.substr(name.size() - kSuffix.size()) != kSuffix) return false;
    const std::string_view stamp = name.substr(kPrefix.size(), 15);
    for (std::size_t i = 0; i < stamp.size(); ++i) {
        const bool digit = stamp[i] >= '0' && stamp[i] <= '9';
        if (i == 8 ? stamp[i] != '-' : !digit) return false;
    }
    return true;
}

std::string AutoBackupName(std::time_t now) {
    return std::string(kPrefix) + Stamp(now, "%Y%m%d-%H%M%S") + std::string(kSuffix);
}

std::vector<std::string> ListAutoBackups(const std::string& folder) {
    std::vector<fsio::DirEntry> entries;
    fsio::ListDirectory(folder, entries);
    std::vector<std::string> backups;
    for (const fsio::DirEntry& entry : entries) {
        if (IsAutoBackupName(entry.name)) backups.push_back(folder + "/" + entry.name);
    }
    std::sort(backups.begin(), backups.end());
    return backups;
}

bool BackupOfDayExists(const std::string& folder, std::time_t now) {
    const std::string day = std::string(kPrefix) + Stamp(now, "%Y%m%d-");
    for (const std::string& path : ListAutoBackups(folder)) {
        if (path.compare(folder.size() + 1, day.size(), day) == 0) return true;
    }
    return false;
}

bool AutoBackupDue(const AutoBackupRequest& request) {
    return request.enabled && !BackupOfDayExists(request.folder, request.now);
}

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
