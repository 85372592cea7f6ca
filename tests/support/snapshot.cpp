#include "tests/support/snapshot.h"

#include <sys/stat.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace kuv::test {

namespace fs = std::filesystem;

std::map<std::string, FileStamp> Snapshot(const std::string& dir) {
    std::map<std::string, FileStamp> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string full = it->path().string();
        struct stat st {};
        if (::lstat(full.c_str(), &st) != 0) continue;
        FileStamp stamp;
        stamp.mode = st.st_mode;
        // A folder's time changes whenever a work file comes and goes.
        if (!S_ISDIR(st.st_mode)) {
            stamp.size = st.st_size;
            stamp.mtimeNs = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
        }
        if (S_ISREG(st.st_mode) && st.st_size <= (std::int64_t{64} << 20)) {
            stamp.bytes = ReadBytes(full);
        } else if (S_ISLNK(st.st_mode)) {
            stamp.bytes = fs::read_symlink(it->path(), ec).string();
        }
        files[fs::relative(it->path(), dir).string()] = stamp;
    }
    return files;
}

std::string SnapshotDiff(const std::map<std::string, FileStamp>& before,
                         const std::map<std::string, FileStamp>& after) {
    std::string out;
    for (const auto& [name, stamp] : before) {
        auto it = after.find(name);
        if (it == after.end()) {
            out += "removed " + name + "; ";
        } else if (!(it->second == stamp)) {
            out += "changed " + name + "; ";
        }
    }
    for (const auto& [name, stamp] : after) {
        if (before.find(name) == before.end()) out += "added " + name + "; ";
    }
    return out;
}

}  // namespace kuv::test
