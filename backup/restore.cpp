// Putting a backup back: unpack beside the data folder, check, then swap.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

#include "backup/archive_reader.h"
#include "backup/backup.h"
#include "backup/messages.h"
#include "backup/source_tree.h"
#include "history/entry_history.h"
#include "platform/errors.h"

namespace kuv {

namespace {

using namespace backup_text;

bool Exists(const std::string& native) {
    struct stat st {};
    return ::lstat(native.c_str(), &st) == 0;
}

std::string ParentOf(const std::string& native) {
    const std::size_t slash = native.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : native.substr(0, slash);
}

bool SyncFolder(const std::string& native) {
    const int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Renames from to a name that nothing holds yet: what is kept is never
// renamed over something else.
bool MoveAside(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    // File systems without the flag: the name was seen free a moment ago.
    return (errno == EINVAL || errno == ENOSYS) && !Exists(to) &&
           ::rename(from.c_str(), to.c_str()) == 0;
}

// Flushes every file written on the file system of native in one call, which
// costs far less than a flush per file of a diary of thousands.
bool SyncFileSystem(const std::string& native) {
    const int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

void RemoveStaging(const std::string& native) {
    std::error_code ec;
    std::filesystem::remove_all(native, ec);
}

// "YYYYMMDD-HHMMSS" of the local time now.
std::string Stamp() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
    return buf;
}

// The members of the archive as files of the staging folder, which this
// process made and nobody else writes: "data/..." and "settings/diary.ini"
// under it, created fresh, never through a link.
// Copies the file from to the new file to (mode 0600), flushed; for a move
// between file systems.
bool CopyNewFile(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool ok = out >= 0;
    char buf[65536];
    while (ok) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buf + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            ok = w > 0;
            done += w > 0 ? w : 0;
        }
    }
    ok = ok && ::fsync(out) == 0;
    if (out >= 0) ok = ::close(out) == 0 && ok;
    ::close(in);
    if (!ok && out >= 0) ::unlink(to.c_str());
    return ok;
}

// Moves what the folder from holds into the folder into, leaving every file
// that into already has: kept versions have names of their own and never
// change, so the two histories join without a loss.
void MergeFolder(const std::string& from, const std::string& into) {
    std::error_code ec;
    for (const std::filesystem::directory_entry& e :
         std::filesystem::directory_iterator(from, ec)) {
        const std::string name = e.path().filename().string();
        const std::string source = from + "/" + name, target = into + "/" + name;
        if (e.is_directory(ec)) {
            if (MakeNativeFolders(target)) MergeFolder(source, target);
        } else if (e.is_regular_file(ec) && !Exists(target)) {
            if (::rename(source.c_str(), target.c_str()) != 0 && errno == EXDEV) {
                CopyNewFile(source, target);
            }
        }
    }
    SyncFolder(into);
}

class StagingSink final : public MemberSink {
  public:
    explicit StagingSink(std::string root) : root_(std::move(root)) {}
    ~StagingSink() override {
        if (fd_ >= 0) ::close(fd_);
    }

    // Folders are made once the whole archive has passed: a hostile one of a
    // million folder members then costs no million folders to clean away.
    bool Directory(const std::string& member, std::int64_t) override {
        folders_.push_back(PathOf(member));
        return true;
    }
    bool MakeFolders() const {
        for (const std::string& folder : folders_) {
            if (!MakeNativeFolders(folder)) return false;
        }
        return true;
    }
    bool BeginFile(const std::string& member, std::int64_t, std::int64_t mtimeSec) override {
        const std::string path = PathOf(member);
        if (!MakeNativeFolders(ParentOf(path))) return false;
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        mtime_ = mtimeSec;
        return fd_ >= 0;
    }
    bool Data(const void* bytes, std::size_t size) override {
        const auto* p = static_cast<const char*>(bytes);
        while (size > 0) {
            const ssize_t n = ::write(fd_, p, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            p += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    bool EndFile() override {
        // The file keeps the time it had when it was backed up.
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(mtime_);
        times[1].tv_nsec = 0;
        ::futimens(fd_, times);
        const bool ok = ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

  private:
    std::string PathOf(std::string member) const {
        if (!member.empty() && member.back() == '/') member.pop_back();
        return root_ + "/" + member;
    }

    std::string root_;
    std::vector<std::string> folders_;
    int fd_ = -1;
    std::int64_t mtime_ = 0;
};

RestoreResult Finish(RestoreResult result, const std::string& staging, RestoreStatus status,
                     std::string message) {
    RemoveStaging(staging);
    result.status = status;
    result.message = std::move(message);
    return result;
}

}  // namespace

RestoreResult RestoreBackup(const std::string& archivePath, const RestoreTarget& target,
                            const ProgressFn& progress) {
    RestoreResult result;
    std::string dataCp = target.dataPath;
    while (dataCp.size() > 1 && dataCp.back() == '/') dataCp.pop_back();
    const std::string data = NativePath(dataCp);
    const std::string parent = ParentOf(data);
    const std::string base = data.substr(data.rfind('/') + 1);

    // The staging folder lies beside the data folder, on the same file system,
    // so that the swap is a rename.
    std::string staging = parent + "/." + base + ".restore-XXXXXX";
    if (base.empty() || base == "." || base == ".." || !MakeNativeFolders(parent) ||
        ::mkdtemp(staging.data()) == nullptr) {
        result.status = RestoreStatus::Failed;
        result.message = FormatMessage(kCannotStage, ShownPath(parent));
        return result;
    }

    StagingSink sink(staging);
    const ArchiveCheck check = ReadBackupArchive(NativePath(archivePath), &sink, progress);
    result.problem = check.problem;
    result.files = check.files;
    switch (check.problem) {
        case ArchiveProblem::None:
            break;
        case ArchiveProblem::Cancelled:
            return Finish(result, staging, RestoreStatus::Cancelled, kRestoreCancelled);
        case ArchiveProblem::WriteFailed:
            return Finish(result, staging, RestoreStatus::Failed,
                          ArchiveProblemMessage(check, archivePath));
        default:
            return Finish(result, staging, RestoreStatus::Refused,
                          ArchiveProblemMessage(check, archivePath) + kNothingChanged);
    }
    const std::string stagedData = staging + "/" + kDataMember;
    const std::string stagedSettings = staging + "/" + kSettingsMember;
    // An archive without the data folder's own member restores an empty one.
    // Everything unpacked reaches the disk before any name changes.
    if (!sink.MakeFolders() || !MakeNativeFolders(stagedData) || !SyncFileSystem(staging)) {
        return Finish(result, staging, RestoreStatus::Failed,
                      FormatMessage(kCannotStage, ShownPath(parent)));
    }
    const std::string settings = NativePath(target.settingsPath);
    const std::string suffix = ".before-restore-" + Stamp();

    // The data folder: kept under a new name, never deleted.
    const bool hadData = Exists(data);
    std::string keptSuffix = suffix;
    for (int n = 2; Exists(data + keptSuffix) || Exists(settings + keptSuffix); ++n) {
        keptSuffix = suffix + "-" + std::to_string(n);
    }
    const std::string keptData = data + keptSuffix;
    if (hadData && !MoveAside(data, keptData)) {
        return Finish(result, staging, RestoreStatus::Failed,
                      FormatMessage(kCannotSwap, target.dataPath));
    }
    const auto undoData = [&] {
        ::rename(data.c_str(), stagedData.c_str());
        if (hadData) ::rename(keptData.c_str(), data.c_str());
    };
    if (::rename(stagedData.c_str(), data.c_str()) != 0) {
        if (hadData) ::rename(keptData.c_str(), data.c_str());
        return Finish(result, staging, RestoreStatus::Failed,
                      FormatMessage(kCannotSwap, target.dataPath));
    }
    if (hadData) result.keptDataPath = dataCp + keptSuffix;

    // The settings file, the same way. One that lay in the data folder has
    // gone with it and is kept there.
    if (check.hasSettings) {
        std::string keptSettings;
        if (Exists(settings)) {
            keptSettings = settings + keptSuffix;
            if (!MoveAside(settings, keptSettings)) {
                undoData();
                return Finish(result, staging, RestoreStatus::Failed,
                              FormatMessage(kCannotSwapSettings, target.settingsPath));
            }
            result.keptSettingsPath = target.settingsPath + keptSuffix;
        } else if (hadData && settings.compare(0, data.size() + 1, data + "/") == 0) {
            result.keptSettingsPath =
                dataCp + keptSuffix + target.settingsPath.substr(dataCp.size());
        }
        if (!MakeNativeFolders(ParentOf(settings)) ||
            ::rename(stagedSettings.c_str(), settings.c_str()) != 0) {
            if (!keptSettings.empty()) ::rename(keptSettings.c_str(), settings.c_str());
            undoData();
            result.keptDataPath.clear();
            result.keptSettingsPath.clear();
            return Finish(result, staging, RestoreStatus::Failed,
                          FormatMessage(kCannotSwapSettings, target.settingsPath));
        }
        SyncFolder(ParentOf(settings));
    }
    SyncFolder(parent);

    // What lay in the old data folder but is no part of the diary (the
    // automatic backups) moves on into the new one.
    // The histories of every diary move along too when they lie in it.
    const std::optional<std::string> historyRoot = UserHistoryRoot();
    std::vector<std::string> carryOver = target.carryOver;
    if (historyRoot) carryOver.push_back(*historyRoot);
    for (const std::string& folder : carryOver) {
        const std::string from = NativePath(folder);
        if (!hadData || from.compare(0, data.size() + 1, data + "/") != 0) continue;
        const std::string rest = from.substr(data.size());
        const std::string kept = keptData + rest, into = data + rest;
        if (Exists(kept) && !Exists(into) && MakeNativeFolders(ParentOf(into))) {
            ::rename(kept.c_str(), into.c_str());
        }
    }

    // The diary's history comes back beside the one it has now.
    const std::string stagedHistory = staging + "/" + kHistoryMember;
    if (historyRoot && Exists(stagedHistory)) {
        const std::string history = NativePath(DiaryHistoryFolder(*historyRoot, target.dataPath));
        if (MakeNativeFolders(history)) MergeFolder(stagedHistory, history);
    }

    RemoveStaging(staging);
    result.status = RestoreStatus::Done;
    result.message =
        hadData ? FormatMessage(kRestored,
                                {archivePath, std::to_string(result.files), result.keptDataPath})
                : FormatMessage(kRestoredInto,
                                {archivePath, target.dataPath, std::to_string(result.files)});
    if (!result.keptSettingsPath.empty()) {
        result.message += FormatMessage(kSettingsKept, result.keptSettingsPath);
    }
    return result;
}

}  // namespace kuv
