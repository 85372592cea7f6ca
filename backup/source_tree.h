#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "backup/backup.h"

// The files a backup takes, found on the disk. Paths here are the file
// system's own names (native bytes), not code page 932.
namespace kuv {

// The archive's layout: the data folder under "data/", the settings file as
// "settings/diary.ini", the manifest at the top.
inline constexpr const char* kDataMember = "data";
// The diary's earlier versions (history/entry_history.h), which lie outside
// the data folder.
inline constexpr const char* kHistoryMember = "history";
inline constexpr const char* kSettingsMember = "settings/diary.ini";

struct SourceItem {
    std::string member;  // name inside the archive; folders end in "/"
    std::string native;  // where it lies
    bool directory = false;
    std::int64_t size = 0;
    std::int64_t mtimeSec = 0;
    std::int64_t mtimeNsec = 0;
};

struct SourceList {
    std::vector<SourceItem> items;  // a folder before what it holds, names in byte order
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    std::uint64_t leftOut = 0;
    std::string firstLeftOut;  // native path
};

// False when the data folder is not there (or not a folder). The diary's
// history goes along when it has one.
bool ListSources(const BackupSources& sources, SourceList& out);

// SHA-256 over the members, sizes and times: what tells cheaply whether the
// diary has changed since a backup.
std::string SourceFingerprint(const SourceList& list);

// The file system's name of a code page 932 path.
std::string NativePath(const std::string& cp932Path);
// Creates native and the folders above it that are missing (mode 0700).
bool MakeNativeFolders(const std::string& native);
// A file system name (or a member name) for a message: code page 932 where it
// fits, "?" for each byte of what does not.
std::string ShownPath(const std::string& native);

}  // namespace kuv
