#include "backup/auto_backup.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>

#include "backup/source_tree.h"
#include "platform/fileio.h"

namespace kuv {

namespace {

constexpr std::string_view kPrefix = "kuvandoro-";
constexpr std::string_view kSuffix = ".tar.gz";
constexpr const char* kFingerprintName = "fingerprint";

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

std::string Stamp(std::time_t now, const char* format) {
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, format, &tm);
    return buf;
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(NativePath(folder).c_str());
    if (dir == nullptr) return names;
    while (const dirent* e = ::readdir(dir)) names.emplace_back(e->d_name);
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// "<fingerprint> <backup name>\n": the diary as the named backup holds it.
struct Fingerprint {
    std::string digest;
    std::string backup;
};

Fingerprint ReadFingerprint(const std::string& folder) {
    std::string text;
    if (fsio::ReadWholeFile(folder + "/" + kFingerprintName, text, 4096) != fsio::ReadStatus::Ok) {
        return {};
    }
    const std::size_t space = text.find(' ');
    const std::size_t end = text.find('\n');
    if (space == std::string::npos || end == std::string::npos || end < space) return {};
    return {text.substr(0, space), text.substr(space + 1, end - space - 1)};
}

}  // namespace

std::vector<std::string> ListAutoBackups(const std::string& folder) {
    std::vector<std::string> backups;
    for (const std::string& name : Names(folder)) {
        if (IsAutoBackupName(name)) backups.push_back(folder + "/" + name);
    }
    return backups;
}

AutoBackupResult RunAutoBackup(const AutoBackupRequest& request, const ProgressFn& progress) {
    AutoBackupResult result;
    if (!request.enabled) {
        result.outcome = AutoBackupOutcome::Off;
        return result;
    }
    if (request.folder.empty() || !MakeNativeFolders(NativePath(request.folder))) {
        result.backup.status = BackupStatus::Failed;
        return result;
    }
    // A backup cut off by the end of the program left its work file.
    for (const std::string& name : Names(request.folder)) {
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".$$$") == 0) {
            fsio::Remove(request.folder + "/" + name);
        }
    }

    const std::vector<std::string> backups = ListAutoBackups(request.folder);
    const std::string today = std::string(kPrefix) + Stamp(request.now, "%Y%m%d-");
    for (const std::string& path : backups) {
        if (path.compare(request.folder.size() + 1, today.size(), today) == 0) {
            result.outcome = AutoBackupOutcome::AlreadyToday;
            return result;
        }
    }

    // The fingerprint is taken before the backup: a change made while it
    // runs makes the next start back up again rather than miss it.
    SourceList list;
    const bool listed = ListSources(request.sources, list);
    const std::string digest = listed ? SourceFingerprint(list) : std::string();
    const Fingerprint last = ReadFingerprint(request.folder);
    if (listed && last.digest == digest && IsAutoBackupName(last.backup) &&
        fsio::IsFile(request.folder + "/" + last.backup)) {
        result.outcome = AutoBackupOutcome::Unchanged;
        return result;
    }

    const std::string name =
        std::string(kPrefix) + Stamp(request.now, "%Y%m%d-%H%M%S") + std::string(kSuffix);
    result.archivePath = request.folder + "/" + name;
    result.backup = CreateBackup(request.sources, result.archivePath, progress);
    switch (result.backup.status) {
        case BackupStatus::Done:
            break;
        case BackupStatus::Cancelled:
            result.outcome = AutoBackupOutcome::Cancelled;
            result.archivePath.clear();
            return result;
        case BackupStatus::Failed:
            result.outcome = AutoBackupOutcome::Failed;
            result.archivePath.clear();
            return result;
    }
    result.outcome = AutoBackupOutcome::Made;
    const std::string fingerprintPath = request.folder + "/" + kFingerprintName;
    fsio::WriteFileAtomic(fingerprintPath, digest + " " + name + "\n",
                          fsio::ChangeExtension(fingerprintPath, ".$$$"));

    // Only the program's own backups are counted and removed, oldest first.
    std::vector<std::string> all = ListAutoBackups(request.folder);
    const std::size_t keep = static_cast<std::size_t>(std::max(request.keep, 1));
    for (std::size_t i = 0; i + keep < all.size(); ++i) {
        if (fsio::Remove(all[i])) ++result.removed;
    }
    return result;
}

}  // namespace kuv
