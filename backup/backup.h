#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/progress.h"

// Backups of the diary: one gzip-compressed tar file (written and read with
// libarchive) holding the data folder and the settings file byte for byte,
// with a manifest of the SHA-256 of every file. Paths are code page 932, as
// the settings give them; names inside the archive are the file system's.
namespace kuv {

// What a restore accepts of an archive.
inline constexpr std::uint64_t kMaxArchiveMembers = 1'000'000;
inline constexpr std::int64_t kMaxMemberBytes = std::int64_t{2} << 30;

// What a backup takes: every file and folder under the data folder, and the
// settings file. Work files ("*.$$$") are left out, and so are links to
// folders, sockets, devices and FIFOs (counted); a link to a file is taken as
// the file it names, as the program reads it.
struct BackupSources {
    std::string dataPath;
    std::string settingsPath;  // left out when no file is there
    // Folders inside the data folder that are no part of the diary (the
    // automatic backups when the data folder is the per-user folder).
    std::vector<std::string> leaveOut;
};

enum class BackupStatus { Done, Cancelled, Failed };

struct BackupResult {
    BackupStatus status = BackupStatus::Done;
    std::uint64_t files = 0;    // files in the archive, the settings file included
    std::uint64_t bytes = 0;    // their bytes
    std::uint64_t leftOut = 0;  // links and special files not taken
    std::string message;        // code page 932, for the window
};

// Writes the archive to archivePath's work file, reads it back and checks it
// against its manifest, and only then renames it over archivePath. Anything
// short of that (a cancel, a full disk, a file that changed while it was
// read) leaves archivePath as it was and no work file behind.
BackupResult CreateBackup(const BackupSources& sources, const std::string& archivePath,
                          const ProgressFn& progress = {});

// Why an archive is refused; None when it is whole.
enum class ArchiveProblem {
    None,
    CannotOpen,    // no such file, or not readable
    Damaged,       // not a gzip-compressed tar, cut short, or its data does not inflate
    NotBackup,     // members that a backup does not hold ("./x", "notes.txt")
    AbsolutePath,  // a member named from the root
    DotDot,        // a member name with a ".." step
    Link,          // a symbolic or hard link
    Device,        // a character or block device
    Fifo,          // a named pipe
    OtherType,     // a socket or any other kind
    TooLarge,      // a member over kMaxMemberBytes
    TooMany,       // more than kMaxArchiveMembers members
    Duplicate,     // a name that comes twice
    NoManifest,    // no manifest
    Mismatch,      // a file whose SHA-256 is not the manifest's
    Missing,       // a file of the manifest that the archive lacks
    NotListed,     // a file that the manifest lacks
    Cancelled,     // the caller stopped the reading
    WriteFailed,   // a restored file could not be written
};

struct VerifyResult {
    ArchiveProblem problem = ArchiveProblem::None;
    std::uint64_t files = 0;  // files checked against the manifest
    std::uint64_t bytes = 0;
    bool hasSettings = false;  // the archive holds a settings file
    std::string message;       // code page 932
    bool Whole() const { return problem == ArchiveProblem::None; }
};

// Reads the whole archive, checking every member and every file's SHA-256
// against the manifest; writes nothing.
VerifyResult VerifyBackup(const std::string& archivePath, const ProgressFn& progress = {});

struct RestoreTarget {
    std::string dataPath;
    std::string settingsPath;
    // Folders inside the current data folder that are no part of the diary
    // (the automatic backups): moved into the restored data folder.
    std::vector<std::string> carryOver;
};

enum class RestoreStatus { Done, Refused, Cancelled, Failed };

struct RestoreResult {
    RestoreStatus status = RestoreStatus::Done;
    ArchiveProblem problem = ArchiveProblem::None;  // why it was refused
    std::uint64_t files = 0;
    std::string keptDataPath;      // where the data folder before the restore now lies
    std::string keptSettingsPath;  // the same for the settings file (empty: none kept apart)
    std::string message;           // code page 932
};

// Unpacks the archive into a staging folder beside the data folder and checks
// every file against the manifest; then the data folder is renamed to
// "<name>.before-restore-YYYYMMDD-HHMMSS" (never deleted) and the staged one
// takes its place, and the settings file likewise. A refused, cancelled or
// failed restore changes nothing and leaves no staging folder behind.
RestoreResult RestoreBackup(const std::string& archivePath, const RestoreTarget& target,
                            const ProgressFn& progress = {});

}  // namespace kuv
