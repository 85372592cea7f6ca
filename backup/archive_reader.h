#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "backup/backup.h"

// Reads a backup archive member by member with every check a restore needs:
// names, kinds, sizes, counts, and at the end each file's SHA-256 against the
// manifest. Shared by the verification and the restore.
namespace kuv {

// Receives the members that pass the checks, in archive order. Any false
// stops the reading with WriteFailed.
class MemberSink {
  public:
    virtual ~MemberSink() = default;
    virtual bool Directory(const std::string& member, std::int64_t mtimeSec) = 0;
    virtual bool BeginFile(const std::string& member, std::int64_t size, std::int64_t mtimeSec) = 0;
    virtual bool Data(const void* bytes, std::size_t size) = 0;
    virtual bool EndFile() = 0;
};

struct ArchiveCheck {
    ArchiveProblem problem = ArchiveProblem::None;
    std::string detail;  // the member at fault (archive bytes), or the library's words
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    bool hasSettings = false;
};

// Reads the archive at native (the file system's name); sink may be null.
// progress counts the archive's compressed bytes.
ArchiveCheck ReadBackupArchive(const std::string& native, MemberSink* sink,
                               const ProgressFn& progress);

// The member name rule alone: None for a name that a backup holds.
ArchiveProblem CheckMemberName(const std::string& name, bool directory);

// The window's message for a refused archive; archivePath is code page 932.
std::string ArchiveProblemMessage(const ArchiveCheck& check, const std::string& archivePath);

}  // namespace kuv
