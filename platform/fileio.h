#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The file layer: what the program needs of the platform's file calls, on
// POSIX. Every path is code page 932 bytes with "/" separators; it is turned
// into the file system's UTF-8 name here and nowhere else. Nothing throws.
namespace kuv::fsio {

enum class Kind { Missing, File, Directory, Other };

Kind KindOf(const std::string& path);  // follows symbolic links
bool IsFile(const std::string& path);
bool IsDirectory(const std::string& path);

// One folder level, private to the user (mode 0700).
bool MakeDirectory(const std::string& path);
// The folder and every missing folder above it, each made by MakeDirectory;
// true when the folder is there afterwards.
bool MakeDirectories(const std::string& path);
// A file that no one may write by its permission bits (the read-only
// attribute, which binds root too), or that this process may not write.
bool IsReadOnlyFile(const std::string& path);
bool Remove(const std::string& path);
// Atomic rename that replaces an existing target.
bool Rename(const std::string& from, const std::string& to);
// Rename that fails when the target exists (the Windows MoveFile rule).
bool RenameNoReplace(const std::string& from, const std::string& to);
// Makes a completed rename or create in the folder of path durable.
bool SyncParentDirectory(const std::string& path);
// The path with its extension replaced by ext (".$$$"): the extension starts
// at the last "." after the last "/", a trail byte of a double-byte character
// never counts; a path without one gets ext appended.
std::string ChangeExtension(const std::string& path, std::string_view ext);
// The folder part of a path ("" when there is none).
std::string ParentOf(const std::string& path);
// The absolute path of an existing file or folder with every link and "."
// or ".." resolved; false when it does not exist or its name does not fit
// code page 932.
bool CanonicalPath(const std::string& path, std::string& out);

// What tells one state of a file from another: device, inode, size and the
// last-write time to the nanosecond.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};
// The stamp of the regular file at path (links followed); false when there is
// none.
bool StampOf(const std::string& path, FileStamp& out);

// The names in a folder, without "." and "..", in no particular order. Names
// that code page 932 cannot write are left out. False when the folder cannot
// be read.
struct DirEntry {
    std::string name;
    Kind kind = Kind::Missing;  // links followed
    std::uint64_t inode = 0;    // of the name itself, as the listing gives it
};
bool ListDirectory(const std::string& path, std::vector<DirEntry>& out);

// Last-write time as an MS-DOS local date and time; 0xFFFFFFFF when it cannot
// be read or lies outside 1980-2107.
std::uint32_t DosTimeOf(const std::string& path);
// The current local time as an MS-DOS date and time (0xFFFFFFFF outside 1980-2107).
std::uint32_t DosTimeNow();

// A file opened for reading (shared; others may go on reading and writing).
class InFile {
  public:
    InFile() = default;
    ~InFile();
    InFile(const InFile&) = delete;
    InFile& operator=(const InFile&) = delete;

    bool Open(const std::string& path);
    // Size in bytes, -1 on failure.
    std::int64_t Size();
    // Reads up to n bytes, looping over short reads; returns the count, -1 on error.
    std::int64_t Read(void* buf, std::size_t n);
    std::uint32_t DosTime();
    // Last-write time in nanoseconds since 1970 (UTC); false when it cannot
    // be read.
    bool ModifiedTimeNs(std::int64_t& out);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// A new file (created or emptied), private to the user (mode 0600).
class OutFile {
  public:
    OutFile() = default;
    ~OutFile();  // closes without syncing
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;

    bool Create(const std::string& path);
    // Writes all n bytes or fails.
    bool Write(const void* buf, std::size_t n);
    // Flushes the file (data and times) to the disk.
    bool Sync();
    // Sets the last-write time from an MS-DOS date and time; an invalid value
    // sets nothing and is no failure.
    void SetDosTime(std::uint32_t dos);
    // Sets the last-write time to the nanosecond (as ModifiedTimeNs gives it).
    bool SetModifiedTimeNs(std::int64_t ns);
    bool Close();
    bool IsOpen() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

enum class ReadStatus { Ok, Missing, CannotOpen, ReadError, TooLarge };

// Reads a whole file of at most maxBytes bytes.
ReadStatus ReadWholeFile(const std::string& path, std::string& out, std::size_t maxBytes);
// Reads the first maxBytes bytes of a file, or all of a smaller one; whole
// tells which. Never TooLarge.
ReadStatus ReadFileHead(const std::string& path, std::string& out, std::size_t maxBytes,
                        bool& whole);

// The same in one pass (open, fstat, read, close), for readers of many small
// files such as a search; stamp (if given) gets the stamp of the file read.
// Anything but a regular file is CannotOpen.
ReadStatus ReadFileOnce(const std::string& path, std::string& out, std::size_t maxBytes,
                        FileStamp* stamp = nullptr);

// Replaces path with data through the work file workPath: writes it whole,
// checks every count, flushes it, renames it over path and syncs the folder.
// On failure the old file is untouched and the work file is removed.
bool WriteFileAtomic(const std::string& path, std::string_view data, const std::string& workPath);

// The folder of the running executable, with "/" kept for the root (UTF-8
// from the system, as code page 932 when it fits; empty when not).
std::string ExecutableDir();

}  // namespace kuv::fsio

// A seam through which a test makes one chosen call of the file layer fail.
namespace kuv::fsio::fault {

enum class Op {
    Open,        // InFile::Open
    Create,      // OutFile::Create
    Read,        // InFile::Read returns an error
    ShortRead,   // InFile::Read returns fewer bytes than asked and than exist
    Write,       // OutFile::Write fails (EIO)
    ShortWrite,  // OutFile::Write writes part and then fails
    NoSpace,     // OutFile::Write fails as on a full disk (ENOSPC)
    Sync,        // OutFile::Sync / SyncParentDirectory
    Close,       // OutFile::Close
    Rename,      // Rename and RenameNoReplace
    Remove,
    MakeDirectory,
    Count_
};

// Makes the nth call (1-based) of op from now on fail. One arming at a time.
void FailNth(Op op, int nth);
// Disarms and resets every counter.
void Reset();
// Calls of op since the last Reset.
int Calls(Op op);
// True when an armed failure has fired since the last Reset.
bool Fired();

// Used by the file layer: counts the call, true when this one must fail.
bool Hit(Op op);

}  // namespace kuv::fsio::fault
