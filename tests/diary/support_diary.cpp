#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

#include "diary_test_support.h"
#include "platform/cp932.h"

namespace kuv::test {

namespace fs = std::filesystem;

bool IsDir(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

std::map<std::string, FileStamp> Snapshot(const std::string& dir) {
    std::map<std::string, FileStamp> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string full = entry.path().string();
        struct stat st {};
        ::lstat(full.c_str(), &st);
        FileStamp stamp;
        stamp.mode = st.st_mode;
        // A folder changes its time whenever a work file comes and goes.
        if (!S_ISDIR(st.st_mode)) {
            stamp.mtimeNs = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
        }
        if (S_ISREG(st.st_mode)) stamp.bytes = ReadBytes(full);
        files[fs::relative(entry.path(), dir).string()] = stamp;
    }
    return files;
}

TDateTime Day(int year, int month, int day) {
    return EncodeDateValue(static_cast<std::uint16_t>(year), static_cast<std::uint16_t>(month),
                           static_cast<std::uint16_t>(day));
}

std::string Cp932(std::string_view utf8) {
    auto bytes = cp932::FromUtf8(utf8);
    if (!bytes) throw std::runtime_error("not code page 932");
    return *bytes;
}

std::string HandContainer(std::string_view plain, std::string_view key, std::uint32_t dosDate) {
    std::string out;
    out += '\x17';
    out += '\0';
    out += "LOCKED";
    for (int i = 0; i < 4; ++i) out += static_cast<char>((dosDate >> (8 * i)) & 0xFF);
    for (std::size_t i = 0; i < 32; ++i) {
        out += i < key.size() ? static_cast<char>(key[i] ^ '\xA6') : '\0';
    }
    for (std::size_t k = 0; k < plain.size(); ++k) {
        out += static_cast<char>(plain[k] ^ key[(k % 1024) % key.size()]);
    }
    return out;
}

}  // namespace kuv::test
