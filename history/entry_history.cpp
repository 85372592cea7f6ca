#include "history/entry_history.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <set>
#include <unordered_map>

#include "app/user_folder.h"
#include "crypt/cryptogram.h"
#include "history/retention.h"
#include "history/version_file.h"
#include "lock/diary_seal.h"
#include "lock/entry_file.h"
#include "lock/strong_lock.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "platform/hash.h"

namespace kuv {

namespace {

constexpr std::string_view kVersionExt = ".kvz";
constexpr std::string_view kWorkExt = ".$$$";
constexpr int kMaxSameName = 1000;
bool keepOnSave = true;

// "以前の版 %s を書き込めません。日記は保存されていません。"
constexpr const char* kCannotKeep =
    "\x88\xc8\x91O\x82\xcc\x94\xc5 %s "
    "\x82\xf0\x8f\x91\x82\xab\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1\x81"
    "B\x93\xfa\x8bL\x82\xcd\x95\xdb\x91\xb6\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1"
    "\x81"
    "B";
// "履歴のファイル %s は以前の版として読めないため、飛ばしました。"
constexpr const char* kSkipped =
    "\x97\x9a\x97\xf0\x82\xcc\x83t\x83@\x83"
    "C\x83\x8b %s \x82\xcd\x88\xc8\x91O\x82\xcc\x94\xc5\x82\xc6\x82\xb5\x82\xc4\x93\xc7\x82\xdf"
    "\x82\xc8\x82\xa2\x82\xbd\x82\xdf\x81"
    "A\x94\xf2\x82\xce\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81"
    "B";

bool EndsWith(const std::string& s, std::string_view tail) {
    return s.size() > tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DayFolder(const std::string& diaryFolder, const std::string& yearName,
                      const std::string& entryName) {
    return JoinPath(JoinPath(diaryFolder, yearName), entryName);
}

// "YYYYMMDD-HHMMSS" of a time in local time.
std::string Stem(std::int64_t time) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) return std::to_string(time);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d-%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

// The headers read so far, by path and inode: a save that lists its day
// again reads only the files that are new since. This process never changes
// a version in place and forgets a path whenever it writes or removes it, so
// an inode given back to a new file under an old name is not mistaken for
// the old file. Another process's change can still be missed until the cache
// is cleared, so whatever rewrites a version goes by the header it reads, not
// by the listing.
struct CachedHeader {
    std::uint64_t inode;
    std::optional<VersionHeader> header;
};
std::mutex headerCacheMutex;
std::unordered_map<std::string, CachedHeader> headerCache;
constexpr std::size_t kHeaderCacheLimit = 4096;

void ForgetHeader(const std::string& path) {
    const std::lock_guard<std::mutex> hold(headerCacheMutex);
    headerCache.erase(path);
}

std::optional<VersionHeader> HeaderOf(const std::string& path, std::uint64_t inode) {
    {
        const std::lock_guard<std::mutex> hold(headerCacheMutex);
        const auto it = headerCache.find(path);
        if (it != headerCache.end() && inode != 0 && it->second.inode == inode) {
            return it->second.header;
        }
    }
    std::string head;
    bool whole = false;
    std::optional<VersionHeader> h;
    if (fsio::ReadFileHead(path, head, kVersionHeaderBytes, whole) == fsio::ReadStatus::Ok) {
        h = ParseVersionHeader(head);
    }
    const std::lock_guard<std::mutex> hold(headerCacheMutex);
    if (headerCache.size() >= kHeaderCacheLimit) headerCache.clear();
    headerCache[path] = CachedHeader{inode, h};
    return h;
}

// Writes data as a new file stem[-N].kvz in folder through a work file;
// never replaces a file. Names in taken (what a listing of the folder found)
// are passed over without a try. The path written goes to written.
bool WriteNew(const std::string& folder, const std::string& stem, const std::string& data,
              const std::set<std::string>& taken, std::string& written) {
    const std::string work = JoinPath(folder, stem + std::string(kWorkExt));
    fsio::OutFile out;
    if (!out.Create(work)) return false;
    bool ok = out.Write(data.data(), data.size()) && out.Sync();
    ok = out.Close() && ok;
    if (ok) {
        for (int n = 1; n <= kMaxSameName; ++n) {
            std::string name = stem;
            if (n > 1) name.append("-").append(std::to_string(n));
            const std::string path = JoinPath(folder, name.append(kVersionExt));
            if (taken.count(path) != 0) continue;
            if (fsio::RenameNoReplace(work, path)) {
                ForgetHeader(path);
                fsio::SyncParentDirectory(path);
                written = path;
                return true;
            }
            if (fsio::KindOf(path) == fsio::Kind::Missing) break;
        }
    }
    fsio::Remove(work);
    return false;
}

// Newest first; of one second, "-2" comes after the plain name, "-10" after "-9".
bool NewerVersion(const EntryVersionFile& a, const EntryVersionFile& b) {
    if (a.time != b.time) return a.time > b.time;
    if (a.path.size() != b.path.size()) return a.path.size() > b.path.size();
    return a.path > b.path;
}

// Removes the listed versions of a day that the rules no longer keep.
int ThinListed(const VersionList& list, std::int64_t now) {
    std::vector<std::int64_t> times;
    for (const EntryVersionFile& v : list.versions) times.push_back(v.time);
    const std::vector<bool> keep = RetainedVersions(times, now);
    int removed = 0;
    for (std::size_t i = 0; i < keep.size(); ++i) {
        if (keep[i]) continue;
        ForgetHeader(list.versions[i].path);
        if (fsio::Remove(list.versions[i].path)) ++removed;
    }
    return removed;
}

int ThinDay(const std::string& diaryFolder, const std::string& yearName,
            const std::string& entryName, std::int64_t now) {
    return ThinListed(ListEntryVersions(diaryFolder, yearName, entryName), now);
}

std::string SafeName(const std::string& name) {
    std::string out;
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        out += plain ? c : '_';
    }
    // A name of dots alone would be a link to a folder above.
    if (out.empty() || out[0] == '.') out = '_' + out;
    return out.substr(0, 40);
}

}  // namespace

std::optional<std::string> UserHistoryRoot() {
    const std::optional<std::string> base = UserFolder("XDG_DATA_HOME", ".local/share");
    if (!base) return std::nullopt;
    return JoinPath(*base, "history");
}

std::string DiaryHistoryFolder(const std::string& root, const std::string& dataPath) {
    std::string path = dataPath;
    std::string canonical;
    if (fsio::CanonicalPath(dataPath, canonical)) path = canonical;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return JoinPath(root, SafeName(NameOf(path)) + "-" + Hash64Hex(path));
}

VersionList ListEntryVersions(const std::string& diaryFolder, const std::string& yearName,
                              const std::string& entryName) {
    VersionList list;
    const std::string folder = DayFolder(diaryFolder, yearName, entryName);
    std::vector<fsio::DirEntry> entries;
    if (!fsio::ListDirectory(folder, entries)) return list;
    for (const fsio::DirEntry& e : entries) {
        const std::string path = JoinPath(folder, e.name);
        // A work file is a write that did not finish, not a version.
        if (EndsWith(e.name, kWorkExt)) continue;
        std::optional<VersionHeader> h;
        if (e.kind == fsio::Kind::File && EndsWith(e.name, kVersionExt))
            h = HeaderOf(path, e.inode);
        if (!h) {
            list.skipped.push_back(path);
            continue;
        }
        list.versions.push_back(EntryVersionFile{path, h->time, h->kind == kLockedKind, h->size,
                                                 h->kind == kStrongKind});
    }
    std::sort(list.versions.begin(), list.versions.end(), NewerVersion);
    std::sort(list.skipped.begin(), list.skipped.end());
    return list;
}

bool ReadEntryVersion(const std::string& path, std::string& bytes, bool& locked) {
    bool strong = false;
    return ReadEntryVersion(path, bytes, locked, strong);
}

bool ReadEntryVersion(const std::string& path, std::string& bytes, bool& locked, bool& strong) {
    bytes.clear();
    std::string file;
    if (fsio::ReadWholeFile(path, file, MaxVersionFileBytes()) != fsio::ReadStatus::Ok) {
        return false;
    }
    VersionHeader h;
    std::optional<std::string> out = UnpackVersion(file, h);
    if (!out) return false;
    bytes = std::move(*out);
    locked = h.kind != kPlainKind;
    strong = h.kind == kStrongKind;
    return true;
}

bool RewriteEntryVersion(const std::string& path, const std::string& bytes, bool locked,
                         bool strong, std::int64_t time) {
    const char kind = strong ? kStrongKind : locked ? kLockedKind : kPlainKind;
    const std::optional<std::string> packed = PackVersion(bytes, kind, time);
    ForgetHeader(path);
    return packed &&
           fsio::WriteFileAtomic(path, *packed, fsio::ChangeExtension(path, std::string(kWorkExt)));
}

VersionOpen OpenEntryVersion(const std::string& path, const std::string& dataPath,
                             const std::string& yearName, const std::string& entryName,
                             const std::string& password, VersionText& out) {
    out = VersionText{};
    std::string bytes;
    bool locked = false, strong = false;
    if (!ReadEntryVersion(path, bytes, locked, strong)) return VersionOpen::Damaged;
    if (strong) {
        if (yearName.size() != 4 || entryName.size() != 4) return VersionOpen::Damaged;
        const std::string day =
            yearName + "-" + entryName.substr(0, 2) + "-" + entryName.substr(2, 2);
        switch (lock::OpenForDiary(bytes, dataPath, day, std::string(), out.text)) {
            case lock::Unsealed::Opened:
                out.utf8 = true;
                return VersionOpen::Opened;
            case lock::Unsealed::Closed:
                return VersionOpen::Closed;
            case lock::Unsealed::Plain:
            case lock::Unsealed::Damaged:
                break;
        }
        return VersionOpen::Damaged;
    }
    if (locked) {
        return CryptDecodeBytes(bytes, password, out.text) == CryptResult::Decoded
                   ? VersionOpen::Opened
                   : VersionOpen::Closed;
    }
    out.text = std::move(bytes);
    return VersionOpen::Opened;
}

namespace {

KeepStatus KeepVersionOfKind(const std::string& diaryFolder, const std::string& yearName,
                             const std::string& entryName, const std::string& bytes, char kind,
                             std::int64_t time, std::int64_t now) {
    const std::string folder = DayFolder(diaryFolder, yearName, entryName);
    // One listing serves the look at the newest, the new name and the thinning.
    VersionList list = ListEntryVersions(diaryFolder, yearName, entryName);
    for (const EntryVersionFile& v : list.versions) {
        const char vKind = v.strong ? kStrongKind : v.locked ? kLockedKind : kPlainKind;
        if (vKind != kind) continue;
        // Only the newest of the same kind counts: an older text typed again
        // is a new version.
        std::string newest;
        bool newestLocked = false;
        if (v.size == bytes.size() && ReadEntryVersion(v.path, newest, newestLocked) &&
            newest == bytes) {
            return KeepStatus::Unchanged;
        }
        break;
    }
    std::set<std::string> taken(list.skipped.begin(), list.skipped.end());
    for (const EntryVersionFile& v : list.versions) taken.insert(v.path);
    const std::optional<std::string> packed = PackVersion(bytes, kind, time);
    std::string written;
    if (!packed || !fsio::MakeDirectories(folder) ||
        !WriteNew(folder, Stem(time), *packed, taken, written)) {
        return KeepStatus::Failed;
    }
    const EntryVersionFile added{written, time, kind == kLockedKind, bytes.size(),
                                 kind == kStrongKind};
    list.versions.insert(
        std::upper_bound(list.versions.begin(), list.versions.end(), added, NewerVersion), added);
    ThinListed(list, now);
    return KeepStatus::Kept;
}

// A file of the day that a save replaces, and the kind it is kept as.
struct ReplacedFile {
    const char* ext;
    char kind;
};
// Seals a plain entry's bytes before they are kept; nothing when it cannot.
using PlainSealer = std::function<std::optional<std::string>(const std::string&)>;

// Keeps each of files that lies beside the entry; a plain one that differs
// from the text being saved, sealed by seal when there is one (as sealedKind).
std::string KeepReplaced(const std::string& diary, const std::string& folder,
                         const std::string& name, const std::string& plain,
                         std::initializer_list<ReplacedFile> files, const PlainSealer& seal,
                         char sealedKind, std::int64_t now) {
    const std::string yearName = NameOf(folder);
    for (const ReplacedFile& f : files) {
        const std::string path = folder + "/" + name + f.ext;
        if (fsio::KindOf(path) != fsio::Kind::File) continue;
        std::string bytes;
        fsio::FileStamp stamp;
        if (!fsio::StampOf(path, stamp) ||
            fsio::ReadWholeFile(path, bytes, kMaxVersionBytes) != fsio::ReadStatus::Ok) {
            return FormatMessage(kCannotKeep, path);
        }
        char kind = f.kind;
        if (kind == kPlainKind) {
            if (bytes == plain) continue;
            if (seal) {
                std::optional<std::string> sealed = seal(bytes);
                if (!sealed) return FormatMessage(kCannotKeep, path);
                bytes = std::move(*sealed);
                kind = sealedKind;
            }
        }
        const std::int64_t time = stamp.mtimeNs / 1000000000;
        if (KeepVersionOfKind(diary, yearName, name, bytes, kind, time, now) ==
            KeepStatus::Failed) {
            return FormatMessage(kCannotKeep, path);
        }
    }
    return std::string();
}

}  // namespace

KeepStatus KeepEntryVersion(const std::string& diaryFolder, const std::string& yearName,
                            const std::string& entryName, const std::string& bytes, bool locked,
                            std::int64_t time, std::int64_t now) {
    return KeepVersionOfKind(diaryFolder, yearName, entryName, bytes,
                             locked ? kLockedKind : kPlainKind, time, now);
}

void KeepVersionsOnSave(bool on) {
    keepOnSave = on;
}

std::string KeepBeforeSave(const std::string& folder, const std::string& name,
                           const std::string& plain, const std::string& lockPassword) {
    const bool replacesLocked = !lockPassword.empty();
    const std::optional<std::string> root = UserHistoryRoot();
    if (!keepOnSave || !root) return std::string();
    const std::string dataPath = fsio::ParentOf(folder);
    const std::string diary = DiaryHistoryFolder(*root, dataPath);
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    if (lock::HasStrongLock(dataPath)) {
        // What a save under the strong lock replaces: the sealed file as it
        // lies, a plain one sealed for its day, a Windows container as it
        // lies. Without the key the save itself stops, and says why.
        if (lock::KeyFor(dataPath) == nullptr) return std::string();
        const std::string day = NameOf(folder) + "-" + name.substr(0, 2) + "-" + name.substr(2);
        return KeepReplaced(
            diary, folder, name, plain,
            {{lock::kStrongEntryExt, kStrongKind}, {".dia", kPlainKind}, {".xda", kLockedKind}},
            [&](const std::string& bytes) {
                return lock::SealForDiary(cp932::ToUtf8(bytes), dataPath, day, false,
                                          std::string());
            },
            kStrongKind, now);
    }
    if (!replacesLocked) {
        return KeepReplaced(diary, folder, name, plain, {{".dia", kPlainKind}}, PlainSealer(),
                            kPlainKind, now);
    }
    // Under a password a plain file being replaced is kept sealed, as the
    // entry now is; the container it replaces as it lies.
    return KeepReplaced(
        diary, folder, name, plain, {{".dia", kPlainKind}, {".xda", kLockedKind}},
        [&](const std::string& bytes) {
            return lock::SealForDiary(bytes, dataPath, std::string(), true, lockPassword);
        },
        kLockedKind, now);
}

int PruneDiaryHistory(const std::string& diaryFolder, std::int64_t now) {
    int removed = 0;
    std::vector<fsio::DirEntry> years;
    if (!fsio::ListDirectory(diaryFolder, years)) return 0;
    for (const fsio::DirEntry& y : years) {
        if (y.kind != fsio::Kind::Directory) continue;
        std::vector<fsio::DirEntry> days;
        const std::string yearFolder = JoinPath(diaryFolder, y.name);
        if (!fsio::ListDirectory(yearFolder, days)) continue;
        for (const fsio::DirEntry& d : days) {
            if (d.kind == fsio::Kind::Directory)
                removed += ThinDay(diaryFolder, y.name, d.name, now);
        }
    }
    return removed;
}

std::string SkippedVersionMessage(const std::string& path) {
    return FormatMessage(kSkipped, path);
}

}  // namespace kuv
