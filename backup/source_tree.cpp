#include "backup/source_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "backup/sha256.h"
#include "history/entry_history.h"
#include "platform/cp932.h"

namespace kuv {

namespace {

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const Identity&) const = default;
};

bool IdentityOf(const std::string& native, Identity& out) {
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) return false;
    out = Identity{st.st_dev, st.st_ino};
    return true;
}

bool EndsWith(const std::string& s, const char* tail) {
    const std::string_view t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

class Walker {
  public:
    Walker(SourceList& out, std::vector<Identity> skip) : out_(out), skip_(std::move(skip)) {}

    void Folder(const std::string& native, const std::string& member) {
        DIR* dir = ::opendir(native.c_str());
        if (dir == nullptr) {
            LeaveOut(native);
            return;
        }
        std::vector<std::string> names;
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        const int fd = ::dirfd(dir);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            // A work file is a moment of a save, not part of the diary.
            if (EndsWith(name, ".$$$")) continue;
            const std::string path = native + "/" + name;
            struct stat st {};
            if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            const bool link = S_ISLNK(st.st_mode);
            // A link to a file is the file, as the program reads it; a link to a
            // folder could lead in a circle or out of the diary.
            if (link && (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))) {
                LeaveOut(path);
                continue;
            }
            if (Skipped(st)) continue;
            if (S_ISDIR(st.st_mode)) {
                out_.items.push_back(SourceItem{member + name + "/", path, true, 0,
                                                st.st_mtim.tv_sec, st.st_mtim.tv_nsec});
                Folder(path, member + name + "/");
            } else if (S_ISREG(st.st_mode)) {
                File(path, member + name, st);
            } else {
                LeaveOut(path);
            }
        }
        ::closedir(dir);
    }

    void File(const std::string& native, const std::string& member, const struct stat& st) {
        out_.items.push_back(
            SourceItem{member, native, false, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec});
        ++out_.files;
        out_.bytes += static_cast<std::uint64_t>(st.st_size);
    }

  private:
    bool Skipped(const struct stat& st) const {
        return std::find(skip_.begin(), skip_.end(), Identity{st.st_dev, st.st_ino}) != skip_.end();
    }
    void LeaveOut(const std::string& native) {
        if (out_.leftOut++ == 0) out_.firstLeftOut = native;
    }

    SourceList& out_;
    std::vector<Identity> skip_;
};

}  // namespace

std::string NativePath(const std::string& cp932Path) {
    for (unsigned char c : cp932Path) {
        if (c >= 0x80) return cp932::ToUtf8(cp932Path);
    }
    return cp932Path;
}

std::string ShownPath(const std::string& native) {
    if (auto bytes = cp932::FromUtf8(native)) return *bytes;
    std::string shown;
    for (char c : native) shown += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    return shown;
}

bool MakeNativeFolders(const std::string& native) {
    struct stat st {};
    if (::stat(native.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const std::size_t slash = native.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeNativeFolders(native.substr(0, slash))) {
        return false;
    }
    if (::mkdir(native.c_str(), 0700) == 0) return true;
    return errno == EEXIST && ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ListSources(const BackupSources& sources, SourceList& out) {
    out = SourceList{};
    const std::string data = NativePath(sources.dataPath);
    struct stat st {};
    if (::stat(data.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;

    const std::string settings = NativePath(sources.settingsPath);
    std::vector<Identity> skip;
    Identity id;
    // The settings file goes in once, under its own name, even when it lies
    // in the data folder.
    if (!sources.settingsPath.empty() && IdentityOf(settings, id)) skip.push_back(id);
    for (const std::string& folder : sources.leaveOut) {
        if (IdentityOf(NativePath(folder), id)) skip.push_back(id);
    }
    // The histories of every diary may lie in the data folder (the per-user
    // folder): this diary's goes in under its own name, no other's at all.
    const std::optional<std::string> historyRoot = UserHistoryRoot();
    if (historyRoot && IdentityOf(NativePath(*historyRoot), id)) skip.push_back(id);

    Walker walker(out, std::move(skip));
    out.items.push_back(SourceItem{std::string(kDataMember) + "/", data, true, 0, st.st_mtim.tv_sec,
                                   st.st_mtim.tv_nsec});
    walker.Folder(data, std::string(kDataMember) + "/");
    if (historyRoot) {
        const std::string history = NativePath(DiaryHistoryFolder(*historyRoot, sources.dataPath));
        if (::stat(history.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            out.items.push_back(SourceItem{std::string(kHistoryMember) + "/", history, true, 0,
                                           st.st_mtim.tv_sec, st.st_mtim.tv_nsec});
            walker.Folder(history, std::string(kHistoryMember) + "/");
        }
    }
    if (!sources.settingsPath.empty() && ::stat(settings.c_str(), &st) == 0 &&
        S_ISREG(st.st_mode)) {
        walker.File(settings, kSettingsMember, st);
    }
    return true;
}

std::string SourceFingerprint(const SourceList& list) {
    Sha256 sha;
    for (const SourceItem& item : list.items) {
        const std::string line = item.member + '\0' + std::to_string(item.size) + ' ' +
                                 std::to_string(item.mtimeSec) + '.' +
                                 std::to_string(item.mtimeNsec) + '\n';
        sha.Update(line);
    }
    return sha.HexDigest();
}

}  // namespace kuv
