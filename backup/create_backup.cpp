// Writing a backup archive and checking one.
#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

#include "backup/archive_reader.h"
#include "backup/backup.h"
#include "backup/manifest.h"
#include "backup/messages.h"
#include "backup/sha256.h"
#include "backup/source_tree.h"
#include "platform/errors.h"
#include "platform/work_file.h"

namespace kuv {

namespace {

using namespace backup_text;

constexpr std::size_t kReadBlock = std::size_t{64} << 10;

struct WriterCloser {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryFreer {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

la_ssize_t WriteToWorkFile(archive*, void* out, const void* bytes, size_t size) {
    auto* file = static_cast<fsio::WorkFileOutput*>(out);
    if (!file->Write({static_cast<const char*>(bytes), size})) return -1;
    return static_cast<la_ssize_t>(size);
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// Reads all of fd into the archive's current member, whose size was given as
// size; false when the file holds another number of bytes by now.
enum class Copy { Ok, ReadError, Changed, WriteError };
Copy CopyFile(int fd, std::int64_t size, archive* a, Sha256& sha, std::vector<char>& buffer,
              const std::function<bool(std::uint64_t)>& step) {
    std::int64_t done = 0;
    while (done < size) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::int64_t>(size - done, buffer.size()));
        const ssize_t n = ::read(fd, buffer.data(), want);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Copy::ReadError;
        }
        if (n == 0) return Copy::Changed;
        sha.Update(buffer.data(), static_cast<std::size_t>(n));
        if (archive_write_data(a, buffer.data(), static_cast<std::size_t>(n)) != n) {
            return Copy::WriteError;
        }
        done += n;
        if (!step(static_cast<std::uint64_t>(n))) return Copy::WriteError;
    }
    char extra;
    ssize_t n;
    do {
        n = ::read(fd, &extra, 1);
    } while (n < 0 && errno == EINTR);
    return n == 0 ? Copy::Ok : Copy::Changed;
}

BackupResult Fail(BackupResult result, std::string message) {
    result.status = BackupStatus::Failed;
    result.message = std::move(message);
    return result;
}

}  // namespace

BackupResult CreateBackup(const BackupSources& sources, const std::string& archivePath,
                          const ProgressFn& progress) {
    BackupResult result;
    SourceList list;
    if (!ListSources(sources, list)) {
        return Fail(result, FormatMessage(kBackupNoData, sources.dataPath));
    }
    result.leftOut = list.leftOut;

    // Progress: the files' bytes (and one step a file) while writing, then as
    // much again while the archive is read back.
    const std::uint64_t half = list.bytes + list.files + 1;
    const std::uint64_t total = 2 * half;
    std::uint64_t done = 0;
    bool cancelled = false;
    const auto step = [&](std::uint64_t n) {
        done += n;
        cancelled = !KeepGoing(progress, done, total);
        return !cancelled;
    };
    if (!step(0)) {
        result.status = BackupStatus::Cancelled;
        result.message = kBackupCancelled;
        return result;
    }

    fsio::WorkFileOutput out(archivePath);
    if (!out.Open()) return Fail(result, FormatMessage(kBackupCannotWrite, archivePath));
    std::unique_ptr<archive, WriterCloser> a(archive_write_new());
    // GNU tar keeps names as the bytes they are, whatever the locale.
    archive_write_set_format_gnutar(a.get());
    archive_write_add_filter_gzip(a.get());
    archive_write_set_bytes_in_last_block(a.get(), 1);
    if (archive_write_open(a.get(), &out, nullptr, WriteToWorkFile, nullptr) != ARCHIVE_OK) {
        return Fail(result, FormatMessage(kBackupCannotWrite, archivePath));
    }

    std::unique_ptr<archive_entry, EntryFreer> entry(archive_entry_new());
    std::vector<ManifestLine> manifest;
    manifest.reserve(list.files);
    std::vector<char> buffer(kReadBlock);
    Sha256 sha;
    const time_t now = ::time(nullptr);
    for (const SourceItem& item : list.items) {
        archive_entry* e = entry.get();
        archive_entry_clear(e);
        archive_entry_copy_pathname(e, item.member.c_str());
        archive_entry_set_mtime(e, item.mtimeSec, item.mtimeNsec);
        if (item.directory) {
            archive_entry_set_filetype(e, AE_IFDIR);
            archive_entry_set_perm(e, 0700);
            if (archive_write_header(a.get(), e) != ARCHIVE_OK) {
                return Fail(result, FormatMessage(kBackupCannotWrite, archivePath));
            }
            continue;
        }
        Fd fd(::open(item.native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        struct stat st {};
        if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            return Fail(result, FormatMessage(kBackupCannotRead, ShownPath(item.native)));
        }
        if (st.st_size > kMaxMemberBytes) {
            return Fail(result, FormatMessage(kBackupTooLarge, ShownPath(item.native)));
        }
        // The size of the file as it is now open: a save replaces a file by
        // renaming, so the open one no longer changes.
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0600);
        archive_entry_set_size(e, st.st_size);
        archive_entry_set_mtime(e, st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        if (archive_write_header(a.get(), e) != ARCHIVE_OK) {
            return Fail(result, FormatMessage(kBackupCannotWrite, archivePath));
        }
        switch (CopyFile(fd.get(), st.st_size, a.get(), sha, buffer, step)) {
            case Copy::Ok:
                break;
            case Copy::ReadError:
                return Fail(result, FormatMessage(kBackupCannotRead, ShownPath(item.native)));
            case Copy::Changed:
                return Fail(result, FormatMessage(kBackupChanged, ShownPath(item.native)));
            case Copy::WriteError:
                if (cancelled) {
                    result.status = BackupStatus::Cancelled;
                    result.message = kBackupCancelled;
                    return result;
                }
                return Fail(result, FormatMessage(kBackupCannotWrite, archivePath));
        }
        manifest.push_back(ManifestLine{sha.HexDigest(), item.member});
        ++result.files;
        result.bytes += static_cast<std::uint64_t>(st.st_size);
        if (!step(1)) {
            result.status = BackupStatus::Cancelled;
            result.message = kBackupCancelled;
            return result;
        }
    }

    const std::string text = FormatManifest(manifest);
    archive_entry* e = entry.get();
    archive_entry_clear(e);
    archive_entry_copy_pathname(e, kManifestName);
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_perm(e, 0600);
    archive_entry_set_size(e, static_cast<la_int64_t>(text.size()));
    archive_entry_set_mtime(e, now, 0);
    if (archive_write_header(a.get(), e) != ARCHIVE_OK ||
        archive_write_data(a.get(), text.data(), text.size()) !=
            static_cast<la_ssize_t>(text.size()) ||
        archive_write_close(a.get()) != ARCHIVE_OK || !out.Flush()) {
        return Fail(result, FormatMessage(kBackupCannotWrite, archivePath));
    }

    // Read back what was written, as a restore would read it.
    const ArchiveCheck check = ReadBackupArchive(
        NativePath(out.WorkPath()), nullptr, [&](std::uint64_t read, std::uint64_t size) {
            const std::uint64_t at = half + (size > 0 ? half * read / size : 0);
            return KeepGoing(progress, at, total);
        });
    if (check.problem == ArchiveProblem::Cancelled) {
        result.status = BackupStatus::Cancelled;
        result.message = kBackupCancelled;
        return result;
    }
    if (check.problem != ArchiveProblem::None || check.files != result.files) {
        return Fail(result, FormatMessage(kBackupCannotWrite, archivePath));
    }
    if (!out.Commit()) return Fail(result, FormatMessage(kBackupCannotWrite, archivePath));
    result.message = FormatMessage(kBackupDone, {archivePath, std::to_string(result.files)});
    if (result.leftOut > 0) {
        result.message += FormatMessage(
            kBackupLeftOut, {std::to_string(result.leftOut), ShownPath(list.firstLeftOut)});
    }
    return result;
}

VerifyResult VerifyBackup(const std::string& archivePath, const ProgressFn& progress) {
    const ArchiveCheck check = ReadBackupArchive(NativePath(archivePath), nullptr, progress);
    VerifyResult result;
    result.problem = check.problem;
    result.files = check.files;
    result.bytes = check.bytes;
    result.hasSettings = check.hasSettings;
    result.message = ArchiveProblemMessage(check, archivePath);
    return result;
}

}  // namespace kuv
