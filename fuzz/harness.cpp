#include "harness.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kuv::fuzz {

std::vector<std::string_view> SplitFields(const std::uint8_t* data, std::size_t size,
                                          std::size_t count) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < count) {
        const std::size_t sep = rest.find('\x1f');
        if (sep == std::string_view::npos) {
            fields.push_back(rest);
            rest = {};
        } else {
            fields.push_back(rest.substr(0, sep));
            rest = rest.substr(sep + 1);
        }
    }
    fields.push_back(rest);
    return fields;
}

namespace {

std::string MakeScratch() {
    // fuzz/run.sh names a folder of its own so that nothing outlives a run.
    if (const char* given = std::getenv("KUV_FUZZ_SCRATCH"); given != nullptr && *given != '\0') {
        std::string tmpl = std::string(given) + "/kuv-fuzz-XXXXXX";
        if (::mkdtemp(tmpl.data()) != nullptr) return tmpl;
    }
    std::string base = "/dev/shm";
    struct stat st {};
    if (::stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        ::access(base.c_str(), W_OK) != 0) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    }
    std::string tmpl = base + "/kuv-fuzz-XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    return tmpl;
}

void RemoveScratch() {
    for (const std::string& n : ScratchNames()) ::unlink((ScratchDir() + "/" + n).c_str());
    ::rmdir(ScratchDir().c_str());
}

}  // namespace

const std::string& ScratchDir() {
    static const std::string dir = [] {
        std::string d = MakeScratch();
        return d;
    }();
    static const bool registered = (std::atexit(RemoveScratch), true);
    (void)registered;
    return dir;
}

std::vector<std::string> ScratchNames() {
    std::vector<std::string> names;
    DIR* d = ::opendir(ScratchDir().c_str());
    if (d == nullptr) return names;
    while (const dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

void ClearScratch() {
    struct stat st {};
    if (::stat(ScratchDir().c_str(), &st) != 0) {
        Fail("the scratch folder is gone (was the run stopped?)", ScratchDir());
    }
    for (const std::string& n : ScratchNames()) ::unlink((ScratchDir() + "/" + n).c_str());
}

void WriteRaw(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) Fail("cannot create a scratch file", path);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w <= 0) Fail("cannot write a scratch file", path);
        done += static_cast<std::size_t>(w);
    }
    ::close(fd);
}

bool ReadRaw(const std::string& path, std::string& out) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[65536];
    for (;;) {
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0) {
            ::close(fd);
            return false;
        }
        if (r == 0) break;
        out.append(buf, static_cast<std::size_t>(r));
    }
    ::close(fd);
    return true;
}

std::string LayoutXor(std::string_view bytes, std::string_view key) {
    std::string out(bytes);
    if (key.empty()) return out;
    for (std::size_t k = 0; k < out.size(); ++k) out[k] ^= key[(k % 1024) % key.size()];
    return out;
}

std::string Hex(std::string_view bytes, std::size_t max) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < max; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (i > 0) out += ' ';
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    if (bytes.size() > max) out += " ...";
    return out;
}

void Fail(const char* what, std::string_view detail) {
    std::fprintf(stderr, "\n*** property failed: %s\n", what);
    if (!detail.empty()) {
        std::fprintf(stderr, "    %.*s\n", static_cast<int>(detail.size()), detail.data());
    }
    std::fflush(stderr);
    std::abort();
}

}  // namespace kuv::fuzz
