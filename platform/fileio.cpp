#include "platform/fileio.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

#include "platform/cp932.h"

namespace kuv::fsio {
namespace {

constexpr std::int64_t kNsPerSecond = 1000000000;

// The file system's name of a code page 932 path.
std::string Native(const std::string& path) {
    for (unsigned char c : path) {
        if (c >= 0x80) return cp932::ToUtf8(path);
    }
    return path;
}

int RetryOpen(const std::string& name, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(name.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

std::uint32_t PackDos(std::time_t t) {
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) return 0xFFFFFFFFu;
    int year = tm.tm_year + 1900;
    if (year < 1980 || year > 2107) return 0xFFFFFFFFu;
    std::uint32_t date = (static_cast<std::uint32_t>(year - 1980) << 9) |
                         (static_cast<std::uint32_t>(tm.tm_mon + 1) << 5) |
                         static_cast<std::uint32_t>(tm.tm_mday);
    std::uint32_t time = (static_cast<std::uint32_t>(tm.tm_hour) << 11) |
                         (static_cast<std::uint32_t>(tm.tm_min) << 5) |
                         static_cast<std::uint32_t>(tm.tm_sec / 2);
    return (date << 16) | time;
}

// The local time of an MS-DOS date and time; false when it is no valid one.
bool UnpackDos(std::uint32_t dos, std::time_t& out) {
    std::uint32_t date = dos >> 16, time = dos & 0xFFFF;
    int year = static_cast<int>(date >> 9) + 1980;
    int month = static_cast<int>((date >> 5) & 0x0F);
    int day = static_cast<int>(date & 0x1F);
    int hour = static_cast<int>(time >> 11);
    int minute = static_cast<int>((time >> 5) & 0x3F);
    int second = static_cast<int>(time & 0x1F) * 2;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) {
        return false;
    }
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int monthDays = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    if (day > monthDays) return false;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return false;
    out = t;
    return true;
}

}  // namespace

Kind KindOf(const std::string& path) {
    struct stat st {};
    if (::stat(Native(path).c_str(), &st) != 0) return Kind::Missing;
    if (S_ISREG(st.st_mode)) return Kind::File;
    if (S_ISDIR(st.st_mode)) return Kind::Directory;
    return Kind::Other;
}

bool IsFile(const std::string& path) {
    return KindOf(path) == Kind::File;
}
bool IsDirectory(const std::string& path) {
    return KindOf(path) == Kind::Directory;
}

bool MakeDirectory(const std::string& path) {
    if (fault::Hit(fault::Op::MakeDirectory)) return false;
    return ::mkdir(Native(path).c_str(), 0700) == 0;
}

bool MakeDirectories(const std::string& path) {
    if (path.empty()) return false;
    if (IsDirectory(path)) return true;
    const std::string parent = ParentOf(path);
    if (!parent.empty() && parent != path && !MakeDirectories(parent)) return false;
    // Made meanwhile by another process is as good.
    return MakeDirectory(path) || IsDirectory(path);
}

bool IsReadOnlyFile(const std::string& path) {
    const std::string name = Native(path);
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) return false;
    return (st.st_mode & 0222) == 0 || ::access(name.c_str(), W_OK) != 0;
}

bool Remove(const std::string& path) {
    if (fault::Hit(fault::Op::Remove)) return false;
    return ::unlink(Native(path).c_str()) == 0;
}

bool Rename(const std::string& from, const std::string& to) {
    if (fault::Hit(fault::Op::Rename)) return false;
    return ::rename(Native(from).c_str(), Native(to).c_str()) == 0;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (fault::Hit(fault::Op::Rename)) return false;
    std::string a = Native(from), b = Native(to);
    if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without the flag: a hard link fails when the name exists.
    if (::link(a.c_str(), b.c_str()) != 0) return false;
    ::unlink(a.c_str());
    return true;
}

bool SyncParentDirectory(const std::string& path) {
    if (fault::Hit(fault::Op::Sync)) return false;
    std::string parent = ParentOf(path);
    if (parent.empty()) parent.push_back('.');
    int fd = RetryOpen(Native(parent), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

std::string ChangeExtension(const std::string& path, std::string_view ext) {
    std::size_t dot = std::string::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (cp932::IsLeadByte(c) && i + 1 < path.size()) {
            ++i;  // the trail byte never counts as "." or "/"
        } else if (c == '.') {
            dot = i;
        } else if (c == '/') {
            dot = std::string::npos;
        }
    }
    std::string out = dot == std::string::npos ? path : path.substr(0, dot);
    out.append(ext);
    return out;
}

std::string ParentOf(const std::string& path) {
    std::size_t slash = std::string::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (cp932::IsLeadByte(c) && i + 1 < path.size()) {
            ++i;
        } else if (c == '/') {
            slash = i;
        }
    }
    if (slash == std::string::npos) return "";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool CanonicalPath(const std::string& path, std::string& out) {
    char* resolved = ::realpath(Native(path).c_str(), nullptr);
    if (resolved == nullptr) return false;
    std::optional<std::string> bytes = cp932::FromUtf8(resolved);
    std::free(resolved);
    if (!bytes) return false;
    out = std::move(*bytes);
    return true;
}

namespace {

FileStamp StampFromStat(const struct stat& st) {
    FileStamp out;
    out.device = static_cast<std::uint64_t>(st.st_dev);
    out.inode = static_cast<std::uint64_t>(st.st_ino);
    out.size = static_cast<std::int64_t>(st.st_size);
    out.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * kNsPerSecond + st.st_mtim.tv_nsec;
    return out;
}

}  // namespace

bool StampOf(const std::string& path, FileStamp& out) {
    struct stat st {};
    if (::stat(Native(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    out = StampFromStat(st);
    return true;
}

bool ListDirectory(const std::string& path, std::vector<DirEntry>& out) {
    out.clear();
    const std::string native = Native(path);
    DIR* dir = ::opendir(native.c_str());
    if (dir == nullptr) return false;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view raw(e->d_name);
        if (raw == "." || raw == "..") continue;
        std::optional<std::string> name = cp932::FromUtf8(raw);
        if (!name) continue;
        DirEntry entry;
        switch (e->d_type) {
            case DT_REG:
                entry.kind = Kind::File;
                break;
            case DT_DIR:
                entry.kind = Kind::Directory;
                break;
            case DT_LNK:
            case DT_UNKNOWN: {
                // Only a link or a file system without types costs a stat.
                struct stat st {};
                const std::string full = native + "/" + std::string(raw);
                if (::stat(full.c_str(), &st) != 0) continue;
                entry.kind = S_ISREG(st.st_mode)   ? Kind::File
                             : S_ISDIR(st.st_mode) ? Kind::Directory
                                                   : Kind::Other;
                break;
            }
            default:
                entry.kind = Kind::Other;
        }
        entry.name = std::move(*name);
        entry.inode = static_cast<std::uint64_t>(e->d_ino);
        out.push_back(std::move(entry));
    }
    ::closedir(dir);
    return true;
}

std::uint32_t DosTimeOf(const std::string& path) {
    struct stat st {};
    if (::stat(Native(path).c_str(), &st) != 0) return 0xFFFFFFFFu;
    return PackDos(st.st_mtim.tv_sec);
}

std::uint32_t DosTimeNow() {
    return PackDos(std::time(nullptr));
}

// --- InFile ---------------------------------------------------------------

InFile::~InFile() {
    Close();
}

bool InFile::Open(const std::string& path) {
    Close();
    if (fault::Hit(fault::Op::Open)) return false;
    // Without O_NONBLOCK the open of a named pipe waits for a writer, for ever.
    fd_ = RetryOpen(Native(path), O_RDONLY | O_NONBLOCK);
    if (fd_ < 0) return false;
    struct stat st {};
    // Only regular files: a folder or a device is no entry.
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        errno = EINVAL;
        return false;
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    return true;
}

std::int64_t InFile::Size() {
    if (fd_ < 0) return -1;
    off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0 || ::lseek(fd_, 0, SEEK_SET) < 0) return -1;
    return end;
}

std::int64_t InFile::Read(void* buf, std::size_t n) {
    if (fd_ < 0) return -1;
    if (fault::Hit(fault::Op::Read)) return -1;
    bool shortRead = fault::Hit(fault::Op::ShortRead);
    auto* p = static_cast<char*>(buf);
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::read(fd_, p + done, n - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) break;
        done += static_cast<std::size_t>(r);
    }
    if (shortRead && done > 0) return static_cast<std::int64_t>(done / 2);
    return static_cast<std::int64_t>(done);
}

std::uint32_t InFile::DosTime() {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0xFFFFFFFFu;
    return PackDos(st.st_mtim.tv_sec);
}

bool InFile::ModifiedTimeNs(std::int64_t& out) {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return false;
    out = static_cast<std::int64_t>(st.st_mtim.tv_sec) * kNsPerSecond + st.st_mtim.tv_nsec;
    return true;
}

void InFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

// --- OutFile --------------------------------------------------------------

OutFile::~OutFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool OutFile::Create(const std::string& path) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (fault::Hit(fault::Op::Create)) return false;
    std::string name = Native(path);
    // A work file is always a fresh file of our own: whatever stood under its
    // name (an old work file, a link planted there) is replaced, never followed.
    ::unlink(name.c_str());
    fd_ = RetryOpen(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    return fd_ >= 0;
}

bool OutFile::Write(const void* buf, std::size_t n) {
    if (fd_ < 0) return false;
    if (fault::Hit(fault::Op::Write)) {
        errno = EIO;
        return false;
    }
    if (fault::Hit(fault::Op::NoSpace)) {
        errno = ENOSPC;
        return false;
    }
    if (fault::Hit(fault::Op::ShortWrite)) {
        if (n > 1) (void)!::write(fd_, buf, n / 2);
        errno = ENOSPC;
        return false;
    }
    const auto* p = static_cast<const char*>(buf);
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::write(fd_, p + done, n - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) return false;
        done += static_cast<std::size_t>(r);
    }
    return true;
}

bool OutFile::Sync() {
    if (fd_ < 0) return false;
    if (fault::Hit(fault::Op::Sync)) return false;
    return ::fsync(fd_) == 0;
}

void OutFile::SetDosTime(std::uint32_t dos) {
    std::time_t t;
    if (fd_ < 0 || !UnpackDos(dos, t)) return;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = t;
    times[1].tv_nsec = 0;
    ::futimens(fd_, times);
}

bool OutFile::SetModifiedTimeNs(std::int64_t ns) {
    if (fd_ < 0) return false;
    // Before 1970 the seconds are rounded down, so that the nanoseconds stay
    // within 0 to 999999999.
    std::int64_t seconds = ns / kNsPerSecond;
    std::int64_t rest = ns % kNsPerSecond;
    if (rest < 0) {
        rest += kNsPerSecond;
        --seconds;
    }
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<std::time_t>(seconds);
    times[1].tv_nsec = static_cast<long>(rest);
    return ::futimens(fd_, times) == 0;
}

bool OutFile::Close() {
    if (fd_ < 0) return false;
    int fd = fd_;
    fd_ = -1;
    bool failed = fault::Hit(fault::Op::Close);
    return ::close(fd) == 0 && !failed;
}

// --- whole files ----------------------------------------------------------

namespace {

// Opens path to be read: Ok, Missing or CannotOpen (errno says why).
ReadStatus OpenToRead(const std::string& path, InFile& in) {
    if (KindOf(path) == Kind::Missing) return ReadStatus::Missing;
    errno = 0;
    if (in.Open(path)) return ReadStatus::Ok;
    // Gone between the look and the open: no entry, no error (even when a
    // file of that name has come back since).
    return errno == ENOENT || KindOf(path) == Kind::Missing ? ReadStatus::Missing
                                                            : ReadStatus::CannotOpen;
}

}  // namespace

ReadStatus ReadWholeFile(const std::string& path, std::string& out, std::size_t maxBytes) {
    out.clear();
    InFile in;
    if (const ReadStatus opened = OpenToRead(path, in); opened != ReadStatus::Ok) return opened;
    std::int64_t size = in.Size();
    if (size < 0) return ReadStatus::ReadError;
    if (static_cast<std::uint64_t>(size) > maxBytes) return ReadStatus::TooLarge;
    out.resize(static_cast<std::size_t>(size));
    std::int64_t got = size > 0 ? in.Read(out.data(), out.size()) : 0;
    if (got < 0) {
        out.clear();
        return ReadStatus::ReadError;
    }
    // A read that stopped short of a file that still has its measured size
    // failed: a rewrite from what it gave would drop the rest of the file.
    if (got < size && in.Size() > got) {
        out.clear();
        return ReadStatus::ReadError;
    }
    // A file that grew or shrank while it was read keeps what was there.
    out.resize(static_cast<std::size_t>(got));
    return ReadStatus::Ok;
}

ReadStatus ReadFileHead(const std::string& path, std::string& out, std::size_t maxBytes,
                        bool& whole) {
    out.clear();
    whole = false;
    InFile in;
    if (const ReadStatus opened = OpenToRead(path, in); opened != ReadStatus::Ok) return opened;
    const std::int64_t size = in.Size();
    if (size < 0) return ReadStatus::ReadError;
    const std::size_t want =
        std::min(static_cast<std::uint64_t>(size), static_cast<std::uint64_t>(maxBytes));
    out.resize(want);
    const std::int64_t got = want > 0 ? in.Read(out.data(), want) : 0;
    if (got < 0 || (static_cast<std::size_t>(got) < want && in.Size() > got)) {
        out.clear();
        return ReadStatus::ReadError;
    }
    out.resize(static_cast<std::size_t>(got));
    whole = static_cast<std::uint64_t>(size) <= maxBytes;
    return ReadStatus::Ok;
}

ReadStatus ReadFileOnce(const std::string& path, std::string& out, std::size_t maxBytes,
                        FileStamp* stamp) {
    out.clear();
    if (fault::Hit(fault::Op::Open)) return ReadStatus::CannotOpen;
    // Non-blocking, so that a named pipe in the file's place never waits for
    // a writer; on a regular file the flag changes nothing.
    const int fd = RetryOpen(Native(path), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? ReadStatus::Missing : ReadStatus::CannotOpen;
    struct stat st {};
    ReadStatus status = ReadStatus::Ok;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        status = ReadStatus::CannotOpen;
    } else if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        status = ReadStatus::TooLarge;
    } else if (fault::Hit(fault::Op::Read)) {
        status = ReadStatus::ReadError;
    } else {
        out.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t r = ::read(fd, out.data() + done, out.size() - done);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) {
                status = ReadStatus::ReadError;
                break;
            }
            if (r == 0) break;
            done += static_cast<std::size_t>(r);
        }
        // A file that shrank while it was read keeps what was there.
        out.resize(status == ReadStatus::Ok ? done : 0);
        if (stamp != nullptr) *stamp = StampFromStat(st);
    }
    ::close(fd);
    return status;
}

bool WriteFileAtomic(const std::string& path, std::string_view data, const std::string& workPath) {
    OutFile out;
    if (!out.Create(workPath)) return false;
    bool ok = out.Write(data.data(), data.size()) && out.Sync();
    ok = out.Close() && ok;
    if (!ok || !Rename(workPath, path)) {
        Remove(workPath);
        return false;
    }
    // The new content is in place; a failed folder sync only weakens its
    // durability against a power cut and is not worth failing the save.
    SyncParentDirectory(path);
    return true;
}

std::string ExecutableDir() {
    std::array<char, 4096> buf{};
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return "";
    std::string exe(buf.data(), static_cast<std::size_t>(n));
    std::size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return "";
    std::string dir = slash == 0 ? "/" : exe.substr(0, slash);
    auto bytes = cp932::FromUtf8(dir);
    return bytes ? *bytes : std::string();
}

}  // namespace kuv::fsio
