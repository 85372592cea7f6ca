#include "backup/auto_backup.h"

#include <algorithm>
#include <optional>

#include "backup/source_tree.h"
#include "history/entry_history.h"
#include "platform/fileio.h"

namespace kuv {

namespace {

constexpr const char* kFingerprintName = "fingerprint";

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
    std::vector<fsio::DirEntry> entries;
    fsio::ListDirectory(request.folder, entries);
    for (const fsio::DirEntry& entry : entries) {
        const std::string& name = entry.name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".$$$") == 0) {
            fsio::Remove(request.folder + "/" + name);
        }
    }

    if (BackupOfDayExists(request.folder, request.now)) {
        result.outcome = AutoBackupOutcome::AlreadyToday;
        return result;
    }
    // Once a day, off the window's thread: the days of the history that no
    // save has thinned lately are thinned by the retention rules.
    if (const std::optional<std::string> root = UserHistoryRoot()) {
        PruneDiaryHistory(DiaryHistoryFolder(*root, request.sources.dataPath), request.now);
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

    const std::string name = AutoBackupName(request.now);
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
