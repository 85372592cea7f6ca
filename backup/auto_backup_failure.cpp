#include "backup/auto_backup_failure.h"

#include "app/recovery.h"
#include "app/user_folder.h"
#include "platform/fileio.h"
#include "platform/work_file.h"

namespace kuv {

namespace {

// "YYYY-MM-DD HH:MM": the day is its first ten characters.
constexpr std::size_t kWhenSize = 16;
constexpr std::size_t kDaySize = 10;
// A reason is a line or two; anything longer is no record of ours.
constexpr std::size_t kMaxRecordBytes = 64 * 1024;

std::optional<std::string> RecordPath() {
    const std::optional<std::string> state = UserStateFolder();
    if (!state) return std::nullopt;
    return JoinPath(*state, "autobackup-failure");
}

std::string When(std::time_t now) {
    std::tm tm{};
    if (localtime_r(&now, &tm) == nullptr) return {};
    char buf[32];
    if (std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm) != kWhenSize) return {};
    return buf;
}

}  // namespace

std::optional<AutoBackupFailure> ReadAutoBackupFailure() {
    const std::optional<std::string> path = RecordPath();
    std::string bytes;
    if (!path || fsio::ReadWholeFile(*path, bytes, kMaxRecordBytes) != fsio::ReadStatus::Ok) {
        return std::nullopt;
    }
    // The time, a line break, the reason.
    if (bytes.size() <= kWhenSize || bytes[kWhenSize] != '\n') return std::nullopt;
    return AutoBackupFailure{bytes.substr(0, kWhenSize), bytes.substr(kWhenSize + 1)};
}

bool NoteAutoBackupFailure(const std::string& reason, std::time_t now) {
    const std::string when = When(now);
    const std::optional<AutoBackupFailure> last = ReadAutoBackupFailure();
    const bool news =
        when.empty() || !last || last->when.compare(0, kDaySize, when, 0, kDaySize) != 0;
    const std::optional<std::string> path = RecordPath();
    if (when.empty() || !path || !fsio::MakeDirectories(fsio::ParentOf(*path))) return true;
    fsio::WorkFileOutput out(*path);
    const bool written = out.Open() && out.Write(when + "\n" + reason) && out.Commit();
    return news || !written;
}

void ClearAutoBackupFailure() {
    if (const std::optional<std::string> path = RecordPath()) fsio::Remove(*path);
}

}  // namespace kuv
