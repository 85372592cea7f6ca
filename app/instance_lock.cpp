#include "app/instance_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/fileio.h"
#include "platform/hash.h"

namespace kuv {

namespace {

// Longest note read back from a lock: a socket path.
constexpr std::size_t kMaxNote = 4096;

// A folder only this user can enter, made when missing.
bool PrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// Open file description locks: they belong to the open file, not to the
// process, so two holders in one process exclude each other as two
// processes do, and closing some other descriptor of the file keeps them.
struct flock WholeFile(short type) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    return fl;
}

std::string ReadNote(int fd) {
    std::string note(kMaxNote, '\0');
    ssize_t n;
    do {
        n = ::pread(fd, note.data(), note.size(), 0);
    } while (n < 0 && errno == EINTR);
    note.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return note;
}

bool WriteNote(int fd, std::string_view note) {
    if (::ftruncate(fd, 0) != 0) return false;
    std::size_t done = 0;
    while (done < note.size()) {
        const ssize_t n =
            ::pwrite(fd, note.data() + done, note.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The lock file of a kind of lock on a canonical path.
std::string LockPath(const std::string& runtime, const char* kind, const std::string& canonical,
                     const char* ext) {
    std::string path = runtime;
    path.append("/").append(kind).append("-").append(Hash64Hex(canonical)).append(ext);
    return path;
}

std::string DiaryLockPath(const std::string& runtime, const std::string& canonicalFolder) {
    return LockPath(runtime, "diary", canonicalFolder, ".lock");
}

// Whether someone holds the lock at lockPath, without taking it.
bool LockHeld(const std::string& lockPath, std::string* note) {
    int fd;
    do {
        fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    struct flock fl = WholeFile(F_RDLCK);
    const bool held = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    if (held && note != nullptr) *note = ReadNote(fd);
    ::close(fd);
    return held;
}

}  // namespace

std::string RuntimeFolder() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg != nullptr && xdg[0] == '/') {
        struct stat st {};
        const std::string folder = std::string(xdg) + "/kuvandoro";
        if (::stat(xdg, &st) == 0 && S_ISDIR(st.st_mode) && PrivateFolder(folder)) return folder;
    }
    std::string folder = "/tmp/kuvandoro-";
    folder += std::to_string(::geteuid());
    return PrivateFolder(folder) ? folder : std::string();
}

std::string CanonicalPathOf(const std::string& path) {
    std::string out;
    if (fsio::CanonicalPath(path, out)) return out;
    // Climb to the deepest folder that exists and put the rest back on.
    std::string head = path;
    std::string tail;
    while (!head.empty()) {
        std::string parent = fsio::ParentOf(head);
        const std::size_t cut = parent.empty() ? 0 : parent == "/" ? 1 : parent.size() + 1;
        const std::string leaf = head.substr(cut);
        if (!leaf.empty()) {
            if (!tail.empty()) tail.insert(tail.begin(), '/');
            tail.insert(0, leaf);
        }
        if (parent.empty()) parent.push_back('.');
        if (fsio::CanonicalPath(parent, out)) {
            if (!tail.empty() && out != "/") out.push_back('/');
            out.append(tail);
            return out;
        }
        if (parent == head || parent == "." || parent == "/") break;
        head = parent;
    }
    return path;
}

std::string InstanceSocketPath(const std::string& appDir) {
    const std::string runtime = RuntimeFolder();
    if (runtime.empty()) return "";
    return LockPath(runtime, "program", CanonicalPathOf(appDir), ".sock");
}

LockResult HeldLock::Acquire(const std::string& lockPath, std::string_view note,
                             std::string* holderNote) {
    Release();
    int fd;
    do {
        fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return LockResult::Unavailable;
    struct flock fl = WholeFile(F_WRLCK);
    if (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
        const bool busy = errno == EAGAIN || errno == EACCES;
        if (busy && holderNote != nullptr) *holderNote = ReadNote(fd);
        ::close(fd);
        return busy ? LockResult::Busy : LockResult::Unavailable;
    }
    // The lock is what counts; a note that cannot be written only keeps a
    // second start from finding this window.
    WriteNote(fd, note);
    fd_ = fd;
    path_ = lockPath;
    return LockResult::Acquired;
}

void HeldLock::Release() {
    if (fd_ >= 0) {
        // Emptied first, so that the file never tells of a holder that is gone.
        ::ftruncate(fd_, 0);
        ::close(fd_);
    }
    fd_ = -1;
    path_.clear();
}

void HeldLock::Swap(HeldLock& other) noexcept {
    std::swap(fd_, other.fd_);
    std::swap(path_, other.path_);
}

LockResult ProgramLock::Acquire(const std::string& appDir) {
    const std::string runtime = RuntimeFolder();
    if (runtime.empty()) return LockResult::Unavailable;
    return file_.Acquire(LockPath(runtime, "program", CanonicalPathOf(appDir), ".lock"), "");
}

LockResult DiaryLock::Acquire(const std::string& dataPath, const std::string& settingsFolder,
                              std::string_view note) {
    Release();
    holderNote_.clear();
    note_ = note;
    const std::string runtime = RuntimeFolder();
    if (runtime.empty()) return LockResult::Unavailable;
    const std::string data = CanonicalPathOf(dataPath);
    const std::string settings = CanonicalPathOf(settingsFolder);
    if (data != settings) {
        const LockResult r = data_.Acquire(DiaryLockPath(runtime, data), note_, &holderNote_);
        if (r != LockResult::Acquired) return r;
    }
    const LockResult r = settings_.Acquire(DiaryLockPath(runtime, settings), note_, &holderNote_);
    if (r != LockResult::Acquired) data_.Release();
    return r;
}

LockResult DiaryLock::MoveData(const std::string& dataPath) {
    if (!settings_.Held()) return LockResult::Unavailable;
    const std::string runtime = RuntimeFolder();
    if (runtime.empty()) return LockResult::Unavailable;
    const std::string path = DiaryLockPath(runtime, CanonicalPathOf(dataPath));
    if (path == settings_.Path()) {
        data_.Release();
        return LockResult::Acquired;
    }
    if (path == data_.Path()) return LockResult::Acquired;
    HeldLock fresh;
    holderNote_.clear();
    const LockResult r = fresh.Acquire(path, note_, &holderNote_);
    if (r == LockResult::Acquired) data_.Swap(fresh);  // the old one goes with fresh
    return r;
}

void DiaryLock::Release() {
    data_.Release();
    settings_.Release();
}

bool DiaryFolderInUse(const std::string& folder, std::string* note) {
    const std::string runtime = RuntimeFolder();
    if (runtime.empty()) return false;
    return LockHeld(DiaryLockPath(runtime, CanonicalPathOf(folder)), note);
}

std::string OpenDiaryHolding(const std::string& path) {
    const std::string runtime = RuntimeFolder();
    if (runtime.empty()) return "";
    std::string folder = CanonicalPathOf(path);
    while (!folder.empty()) {
        if (LockHeld(DiaryLockPath(runtime, folder), nullptr)) return folder;
        const std::string parent = fsio::ParentOf(folder);
        if (parent == folder) break;
        folder = parent;
    }
    return "";
}

}  // namespace kuv
