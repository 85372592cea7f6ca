#pragma once

#include <string>
#include <string_view>

// One window per diary. A window holds locks on the folders of the diary it
// has open, and the companion tool asks for them before it writes. The locks
// are file locks on small files in the user's runtime folder, never in the
// data folder, which a sync tool may carry to other machines: they belong to
// an open file, so they go with the process however it ends and a crash never
// blocks the next start. Paths are code page 932 bytes; nothing throws.
namespace kuv {

// $XDG_RUNTIME_DIR/kuvandoro, or /tmp/kuvandoro-UID when that variable is
// unset or names no folder; created private (0700) and checked to be the
// user's own. Empty when no such folder can be had.
std::string RuntimeFolder();

// The absolute path with every link resolved. For a path that does not exist
// yet, the canonical path of its deepest existing folder with the rest
// appended; the path as given when even that fails.
std::string CanonicalPathOf(const std::string& path);

// The local socket through which a second start reaches the window of the
// program folder appDir; empty without a runtime folder.
std::string InstanceSocketPath(const std::string& appDir);

enum class LockResult {
    Acquired,
    Busy,         // another process holds it
    Unavailable,  // no runtime folder, or the lock file cannot be used
};

// One lock file kept open with its lock; the two classes below are made of
// these.
class HeldLock {
  public:
    HeldLock() = default;
    ~HeldLock() { Release(); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

    // Locks the file at lockPath (created when missing) and leaves note in
    // it. On Busy, holderNote (when given) receives the holder's note.
    LockResult Acquire(const std::string& lockPath, std::string_view note,
                       std::string* holderNote = nullptr);
    void Release();
    bool Held() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    void Swap(HeldLock& other) noexcept;

  private:
    int fd_ = -1;
    std::string path_;
};

// Held by the one process that serves a program folder: it answers on the
// program folder's socket, and only it may replace a stale socket file.
class ProgramLock {
  public:
    LockResult Acquire(const std::string& appDir);
    bool Held() const { return file_.Held(); }

  private:
    HeldLock file_;
};

// The locks of one open diary: its data folder and its settings folder (one
// lock when they are the same folder). Released on destruction.
class DiaryLock {
  public:
    // note is left in the lock for whoever finds it held: the window's
    // socket path, so that a second start can reach it. Busy: another
    // process has the diary, and HolderNote() tells that process's note.
    // Nothing is held unless the result is Acquired.
    LockResult Acquire(const std::string& dataPath, const std::string& settingsFolder,
                       std::string_view note);
    // Moves the data folder's lock to dataPath when the settings change the
    // data folder. On Busy or Unavailable the old lock is kept.
    LockResult MoveData(const std::string& dataPath);
    void Release();
    bool Held() const { return data_.Held(); }
    const std::string& HolderNote() const { return holderNote_; }

  private:
    HeldLock data_;
    HeldLock settings_;  // not held when it is the data folder
    std::string note_;
    std::string holderNote_;
};

// True when a running process holds the diary lock of folder itself (not of
// a folder above it); note, when given, receives the holder's note.
bool DiaryFolderInUse(const std::string& folder, std::string* note = nullptr);

// The folder of a diary that a running window has open and that holds path
// (the path itself or a folder above it), canonical; empty when none does.
// Every command that writes into a diary asks this first.
std::string OpenDiaryHolding(const std::string& path);

}  // namespace kuv
