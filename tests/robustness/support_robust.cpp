#include "support_robust.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/cp932.h"
#include "platform/errors.h"

namespace kuv::robust {

namespace fs = std::filesystem;

TempDir::TempDir(const std::string& base) {
    std::string tmpl = base + "/kuv-robust-XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed in " + base);
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Give back permissions a test took away, then remove.
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
    }
    ::chmod(path_.c_str(), 0700);
    fs::remove_all(path_, ec);
}

std::string FastTempBase() {
    if (const char* given = std::getenv("KUV_ROBUST_DIR"); given != nullptr && *given != '\0') {
        return given;
    }
    // A small /dev/shm (64 MiB in a default container) would fill up with
    // the large settings files of the hostile-file tests.
    struct statvfs fs {};
    if (IsDir("/dev/shm") && ::access("/dev/shm", W_OK) == 0 && ::statvfs("/dev/shm", &fs) == 0 &&
        static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize >= (1ull << 30)) {
        return "/dev/shm";
    }
    return "/tmp";
}

void WriteBytes(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) throw std::runtime_error("cannot create " + path);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w <= 0) {
            ::close(fd);
            throw std::runtime_error("cannot write " + path);
        }
        done += static_cast<std::size_t>(w);
    }
    ::close(fd);
}

std::string ReadBytes(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "<missing>";
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0) {
            ::close(fd);
            return "<missing>";
        }
        if (r == 0) break;
        out.append(buf, static_cast<std::size_t>(r));
    }
    ::close(fd);
    return out;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsDir(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void MakeDir(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && !IsDir(path)) {
        throw std::runtime_error("cannot create folder " + path);
    }
}

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
        stamp.size = st.st_size;
        // A folder's time changes whenever a work file comes and goes.
        if (!S_ISDIR(st.st_mode)) {
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

int ReferenceDecode(std::string_view file, std::string_view key, std::string& plain) {
    plain.clear();
    if (key.empty() || file.size() < 35) return 2;
    std::string header(file.substr(0, 44));
    header.resize(44, '\0');
    if (header.compare(0, 8, std::string("\x17\0LOCKED", 8)) != 0) return 1;
    std::string stored;
    for (std::size_t i = 12; i < 44 && header[i] != '\0'; ++i) {
        stored += static_cast<char>(static_cast<unsigned char>(header[i]) ^ 0xA6);
    }
    if (stored != key) return 1;
    if (file.size() > 44) plain = std::string(file.substr(44));
    for (std::size_t k = 0; k < plain.size(); ++k) {
        plain[k] = static_cast<char>(plain[k] ^ key[(k % 1024) % key.size()]);
    }
    return 0;
}

std::string SettingsFieldsNeither(const TDiarySettings& got, const TDiarySettings& a,
                                  const TDiarySettings& b) {
    std::string bad;
#define KUV_FIELD(f) \
    if (!(got.f == a.f) && !(got.f == b.f)) bad += #f " ";
    KUV_FIELD(Password)
    KUV_FIELD(UseEncryption)
    KUV_FIELD(DataPath)
    KUV_FIELD(DateFormat)
    KUV_FIELD(AutoInsertDate)
    KUV_FIELD(FontName)
    KUV_FIELD(FontSize)
    KUV_FIELD(FontColor)
    KUV_FIELD(ShowOldDiary)
    KUV_FIELD(OldDiaryHeight)
    KUV_FIELD(SaveWindow)
    KUV_FIELD(WindowTop)
    KUV_FIELD(WindowLeft)
    KUV_FIELD(WindowHeight)
    KUV_FIELD(WindowWidth)
#undef KUV_FIELD
    return bad;
}

std::string CannotCreate(const std::string& path) {
    return FormatMessage(Cp932("ファイル %s を作成できません"), path);
}
std::string CannotOpen(const std::string& path) {
    return FormatMessage(Cp932("ファイル %s は開けません"), path);
}
std::string CannotWrite(const std::string& settingsPath) {
    return FormatMessage(Cp932("%s に書き込めません"), settingsPath);
}
std::string SettingsKept(const std::string& settingsPath, std::string_view causeUtf8) {
    return Cp932("設定ファイル ") + settingsPath + Cp932(" を読み込めません（") + Cp932(causeUtf8) +
           Cp932("）。\n設定は保存していません。ファイルはそのまま残してあります。");
}

bool SettingsNotStored(const std::string& settingsPath, const std::string& message) {
    const auto startsWith = [&](const std::string& s) { return message.rfind(s, 0) == 0; };
    const auto endsWith = [&](const std::string& s) {
        return message.size() >= s.size() &&
               message.compare(message.size() - s.size(), s.size(), s) == 0;
    };
    const std::string refused = CannotWrite(settingsPath) + Cp932("（");
    const std::string kept = Cp932("設定ファイル ") + settingsPath + Cp932(" を読み込めません（");
    return (startsWith(refused) && endsWith(Cp932("）")) && message.size() > refused.size() + 2) ||
           (startsWith(kept) && endsWith(SettingsKept(settingsPath, "").substr(kept.size())));
}

std::string TooLarge() {
    return Cp932("文字列の大きさが メモ の制限を越えました");
}

}  // namespace kuv::robust
