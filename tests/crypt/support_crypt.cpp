#include "support_crypt.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/fileio.h"

namespace kuv::test {

void TempDirTest::SetUp() {
    fsio::fault::Reset();
}

void TempDirTest::TearDown() {
    fsio::fault::Reset();
}

std::vector<std::string> TempDirTest::Names() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string FileBytes(const std::string& path) {
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bytes;
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t r = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (r <= 0) break;
            done += static_cast<std::size_t>(r);
        }
        bytes.resize(done);
    }
    ::close(fd);
    return bytes;
}

std::int64_t SizeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

void SetMtime(const std::string& path, std::time_t t) {
    struct timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

std::time_t Mtime(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec : -1;
}

std::uint32_t DosValue(int y, int mo, int d, int h, int mi, int s) {
    const std::uint32_t date = static_cast<std::uint32_t>(((y - 1980) << 9) | (mo << 5) | d);
    const std::uint32_t time = static_cast<std::uint32_t>((h << 11) | (mi << 5) | (s / 2));
    return (date << 16) | time;
}

std::string Pattern(std::size_t n, unsigned seed) {
    std::string s(n, '\0');
    std::uint32_t x = 2463534242u + seed;
    for (std::size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = static_cast<char>(x & 0xFF);
    }
    return s;
}

}  // namespace kuv::test
