#pragma once

#include <cstdint>
#include <map>
#include <string>

// "Nothing changed" checks: what every file under a folder looks like.
namespace kuv::test {

struct FileStamp {
    std::string bytes;  // regular files; a link's target for links
    std::int64_t mtimeNs = 0;
    unsigned mode = 0;
    std::int64_t size = 0;
    bool operator==(const FileStamp&) const = default;
};
// Every file, link and folder under dir, by path relative to dir (folders
// by their presence and mode only). Files larger than 64 MiB are stamped by
// size and time only.
std::map<std::string, FileStamp> Snapshot(const std::string& dir);
// "added x, removed y, changed z" between two snapshots; empty when equal.
std::string SnapshotDiff(const std::map<std::string, FileStamp>& before,
                         const std::map<std::string, FileStamp>& after);

}  // namespace kuv::test
