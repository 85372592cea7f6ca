#include "drafts/draft_store.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <sstream>

#include "app/user_folder.h"
#include "history/entry_history.h"
#include "lock/diary_seal.h"
#include "lock/entry_file.h"
#include "platform/fileio.h"

namespace kuv {

namespace {

constexpr std::string_view kMagic = "KUVDRAFT1\n";
constexpr std::string_view kDraftExt = ".draft";
// A draft holds at most a pane's text and a little more.
constexpr std::size_t kMaxDraftBytes = kMaxPaneBytes * 4 + 4096;

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

std::optional<std::string> Unhex(const std::string& hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int v = 0;
        for (const char c : {hex[i], hex[i + 1]}) {
            const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (d < 0) return std::nullopt;
            v = v * 16 + d;
        }
        out += static_cast<char>(v);
    }
    return out;
}

void PutFile(std::ostringstream& out, const FileVersion& f) {
    out << ' ' << f.present << ' ' << f.hashed << ' ' << f.stamp.device << ' ' << f.stamp.inode
        << ' ' << f.stamp.size << ' ' << f.stamp.mtimeNs << ' ' << f.hash;
}

bool GetFile(std::istringstream& in, FileVersion& f) {
    int present = 0, hashed = 0;
    in >> present >> hashed >> f.stamp.device >> f.stamp.inode >> f.stamp.size >> f.stamp.mtimeNs >>
        f.hash;
    f.present = present != 0;
    f.hashed = hashed != 0;
    return static_cast<bool>(in);
}

// The draft as bytes: a header of lines, then the text.
std::string Serialise(const Draft& d) {
    std::ostringstream out;
    out << kMagic << Hex(d.dataPath) << '\n'
        << d.year << ' ' << d.month << ' ' << d.day << ' ' << d.time << '\n'
        << static_cast<int>(d.base.file) << ' ' << d.base.settled;
    PutFile(out, d.base.plain);
    PutFile(out, d.base.locked);
    // The sealed file came later: a draft without it is read as none.
    PutFile(out, d.base.sealed);
    out << '\n' << d.utf8.size() << '\n';
    return out.str() + d.utf8;
}

bool Parse(const std::string& bytes, Draft& d) {
    if (bytes.compare(0, kMagic.size(), kMagic) != 0) return false;
    std::istringstream in(bytes.substr(kMagic.size()));
    std::string path;
    int file = 0, settled = 0;
    std::size_t size = 0;
    in >> path >> d.year >> d.month >> d.day >> d.time >> file >> settled;
    if (!in || file < 0 || file > static_cast<int>(EntryFile::Sealed) ||
        !GetFile(in, d.base.plain) || !GetFile(in, d.base.locked)) {
        return false;
    }
    if (in.peek() == ' ' && !GetFile(in, d.base.sealed)) return false;
    in >> size;
    if (!in || in.get() != '\n') return false;
    const std::optional<std::string> dataPath = Unhex(path);
    const std::streamoff at = in.tellg();
    if (!dataPath || at < 0) return false;
    const std::size_t start = kMagic.size() + static_cast<std::size_t>(at);
    if (bytes.size() - start != size) return false;
    d.dataPath = *dataPath;
    d.base.file = static_cast<EntryFile>(file);
    d.base.settled = settled != 0;
    d.utf8 = bytes.substr(start);
    return d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31;
}

std::string DiaryDraftsFolder(const std::string& stateFolder, const std::string& dataPath) {
    // Named as the diary's history is: two diaries never share a folder.
    return DiaryHistoryFolder(DraftsFolder(stateFolder), dataPath);
}

bool EndsWith(const std::string& s, std::string_view tail) {
    return s.size() > tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string DraftsFolder(const std::string& stateFolder) {
    return JoinPath(stateFolder, "drafts");
}

std::string DraftPath(const std::string& stateFolder, const std::string& dataPath, int year,
                      int month, int day) {
    char name[32];
    std::snprintf(name, sizeof name, "%04d%02d%02d", year, month, day);
    return JoinPath(DiaryDraftsFolder(stateFolder, dataPath), std::string(name) + ".draft");
}

bool WriteDraft(const std::string& stateFolder, const Draft& draft, bool sealed,
                const std::string& password) {
    const std::optional<std::string> bytes =
        lock::SealForDiary(Serialise(draft), draft.dataPath,
                           lock::DayLabel(draft.year, draft.month, draft.day), sealed, password);
    if (!bytes) return false;
    const std::string path =
        DraftPath(stateFolder, draft.dataPath, draft.year, draft.month, draft.day);
    if (!fsio::MakeDirectories(fsio::ParentOf(path))) return false;
    // Written whole and renamed over the one before, but not synced: a draft
    // is rewritten every few seconds while typing goes on, it has to survive
    // a killed process (the kernel holds the bytes), and a sync would cost ten
    // times its budget on a disk. What a power loss cuts off is named at the
    // next start and never replaces an entry.
    const std::string work = fsio::ChangeExtension(path, ".$$$");
    fsio::OutFile out;
    if (!out.Create(work)) return false;
    bool ok = out.Write(bytes->data(), bytes->size());
    ok = out.Close() && ok;
    if (ok && fsio::Rename(work, path)) return true;
    fsio::Remove(work);
    return false;
}

bool RemoveDraft(const std::string& stateFolder, const std::string& dataPath, int year, int month,
                 int day) {
    const std::string path = DraftPath(stateFolder, dataPath, year, month, day);
    if (fsio::KindOf(path) == fsio::Kind::Missing) return true;
    return fsio::Remove(path) && fsio::SyncParentDirectory(path);
}

std::vector<std::string> ListDraftFiles(const std::string& stateFolder,
                                        const std::string& dataPath) {
    const std::string folder = DiaryDraftsFolder(stateFolder, dataPath);
    std::vector<fsio::DirEntry> entries;
    std::vector<std::string> paths;
    if (!fsio::ListDirectory(folder, entries)) return paths;
    for (const fsio::DirEntry& e : entries) {
        if (e.kind == fsio::Kind::File && EndsWith(e.name, kDraftExt)) {
            paths.push_back(JoinPath(folder, e.name));
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool RunDraftJob(const DraftJob& job) {
    if (job.remove) {
        return RemoveDraft(job.stateFolder, job.draft.dataPath, job.draft.year, job.draft.month,
                           job.draft.day);
    }
    return WriteDraft(job.stateFolder, job.draft, job.sealed, job.password);
}

DraftRead ReadDraft(const std::string& path, const std::string& password, Draft& out) {
    return ReadDraft(path, std::string(), password, out);
}

DraftRead ReadDraft(const std::string& path, const std::string& dataPath,
                    const std::string& password, Draft& out) {
    std::string bytes, plain;
    if (fsio::ReadWholeFile(path, bytes, kMaxDraftBytes) != fsio::ReadStatus::Ok) {
        return DraftRead::Damaged;
    }
    // A sealed draft is bound to the day its name gives; the parsed day is
    // checked against the name by the caller.
    const std::string name = fsio::ChangeExtension(path.substr(path.rfind('/') + 1), "");
    const std::string day =
        name.size() == 8 ? name.substr(0, 4) + "-" + name.substr(4, 2) + "-" + name.substr(6, 2)
                         : std::string();
    switch (lock::OpenForDiary(bytes, dataPath, day, password, plain)) {
        case lock::Unsealed::Plain:
        case lock::Unsealed::Opened:
            break;
        case lock::Unsealed::Closed:
            return DraftRead::Sealed;
        case lock::Unsealed::Damaged:
            return DraftRead::Damaged;
    }
    out = Draft{};
    return Parse(plain, out) ? DraftRead::Ok : DraftRead::Damaged;
}

}  // namespace kuv
