#include "diary/conflict_copies.h"

#include <algorithm>
#include <cstdio>

#include "crypt/cryptogram.h"
#include "dates/calendar.h"
#include "diary/catalog.h"
#include "lock/diary_seal.h"
#include "lock/strong_lock.h"
#include "platform/cp932.h"
#include "platform/fileio.h"

namespace kuv {

namespace {

constexpr std::string_view kPlainExt = ".dia";
constexpr std::string_view kLockedExt = ".xda";
constexpr std::string_view kStrongExt = ".kvd";
constexpr std::string_view kOwnTag = ".conflict-";
// Names tried for one copy before giving up: far more than one second sees.
constexpr int kMaxCounter = 999;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A cursor over a name that takes the expected pieces one after another.
class Reader {
  public:
    explicit Reader(std::string_view s) : s_(s) {}
    bool Literal(std::string_view lit) {
        if (s_.substr(0, lit.size()) != lit) return false;
        s_.remove_prefix(lit.size());
        return true;
    }
    // Exactly count digits; their value in value.
    bool Digits(std::size_t count, int& value) {
        if (s_.size() < count) return false;
        value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (!IsDigit(s_[i])) return false;
            value = value * 10 + (s_[i] - '0');
        }
        digits_.append(s_.substr(0, count));
        s_.remove_prefix(count);
        return true;
    }
    // Takes the rest as digits, zero-padded to width for the sort key.
    void Pad(std::string_view digits, std::size_t width) {
        digits_.append(width - digits.size(), '0');
        digits_.append(digits);
        s_ = {};
    }
    bool Done() const { return s_.empty(); }
    std::string_view Rest() const { return s_; }
    void Skip(std::size_t n) { s_.remove_prefix(n); }
    // Every digit taken so far: the copy's date and time, sortable.
    const std::string& Taken() const { return digits_; }

  private:
    std::string_view s_;
    std::string digits_;
};

int MaxDayOf(int month) {
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return kDays[month - 1];
}

bool ValidDate(int year, int month, int day) {
    return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= MaxDayOf(month);
}

bool ValidTime(int hour, int minute, int second) {
    return hour < 24 && minute < 60 && second < 61;
}

// YYYYMMDD-HHMMSS
bool CompactStamp(Reader& r) {
    int y, mo, d, h, mi, s;
    return r.Digits(4, y) && r.Digits(2, mo) && r.Digits(2, d) && ValidDate(y, mo, d) &&
           r.Literal("-") && r.Digits(2, h) && r.Digits(2, mi) && r.Digits(2, s) &&
           ValidTime(h, mi, s);
}

// YYYY-MM-DD
bool DashedDate(Reader& r) {
    int y, mo, d;
    return r.Digits(4, y) && r.Literal("-") && r.Digits(2, mo) && r.Literal("-") &&
           r.Digits(2, d) && ValidDate(y, mo, d);
}

bool ParseOwn(Reader& r) {
    if (!r.Literal(kOwnTag) || !CompactStamp(r)) return false;
    if (r.Done()) return true;
    // "-N": the counter of a second copy made in the same second. Kept in
    // the sort key at four digits, so that -10 sorts after -9.
    const std::string_view rest = r.Rest();
    if (rest.size() < 2 || rest.size() > 4 || rest[0] != '-' || rest[1] == '0') return false;
    if (!std::all_of(rest.begin() + 1, rest.end(), IsDigit)) return false;
    if (rest == "-1") return false;
    r.Pad(rest.substr(1), 4);
    return true;
}

bool ParseSyncthing(Reader& r) {
    if (!r.Literal(".sync-conflict-") || !CompactStamp(r)) return false;
    // Older versions wrote no device.
    if (r.Done()) return true;
    if (!r.Literal("-")) return false;
    // The first seven characters of the device that made the change.
    const std::string_view id = r.Rest();
    return id.size() == 7 && std::all_of(id.begin(), id.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || IsDigit(c);
           });
}

bool ParseNextcloud(Reader& r) {
    // Older clients wrote "_conflict-YYYYMMDD-HHMMSS".
    if (r.Literal("_conflict-")) return CompactStamp(r) && r.Done();
    constexpr std::size_t kStamp = 10 + 1 + 6 + 1;  // "YYYY-MM-DD HHMMSS)"
    if (!r.Literal(" (conflicted copy ")) return false;
    // A client that knows its user writes "USER " before the stamp; the user holds no
    // parentheses but may hold spaces, so the stamp is found from the end.
    const std::string_view rest = r.Rest();
    if (rest.size() < kStamp) return false;
    const std::string_view user = rest.substr(0, rest.size() - kStamp);
    if (!user.empty() && (user.size() < 2 || user.back() != ' ' ||
                          user.find_first_of("()") != std::string_view::npos)) {
        return false;
    }
    r.Skip(user.size());
    int h, mi, s;
    return DashedDate(r) && r.Literal(" ") && r.Digits(2, h) && r.Digits(2, mi) && r.Digits(2, s) &&
           ValidTime(h, mi, s) && r.Literal(")") && r.Done();
}

// " (N)", which a second copy of the same day gets; kept in the sort key at
// four digits, so that (10) sorts after (9).
bool DropboxCounter(Reader& r) {
    if (r.Done()) return true;
    const std::string_view rest = r.Rest();
    if (rest.size() < 4 || rest.size() > 7 || rest.substr(0, 2) != " (" || rest[2] == '0' ||
        rest.back() != ')') {
        return false;
    }
    const std::string_view digits = rest.substr(2, rest.size() - 3);
    if (!std::all_of(digits.begin(), digits.end(), IsDigit)) return false;
    r.Pad(digits, 4);
    return true;
}

bool ParseDropbox(Reader& r) {
    if (!r.Literal(" (")) return false;
    // A file kept when its folder left the selective sync: no date.
    if (r.Literal("Selective Sync Conflict)")) return DropboxCounter(r);
    // Without a known name: "(conflicted copy YYYY-MM-DD)".
    if (r.Literal("conflicted copy ")) return DashedDate(r) && r.Literal(")") && DropboxCounter(r);
    // The name of the person may hold anything, so the tag is looked for from
    // the end: "'s conflicted copy YYYY-MM-DD)" closes the name, and a
    // counter may follow it.
    constexpr std::string_view kTag = "'s conflicted copy ";
    const std::string_view rest = r.Rest();
    const std::size_t tag = rest.rfind(kTag);
    if (tag == 0 || tag == std::string_view::npos) return false;
    r.Skip(tag + kTag.size());
    return DashedDate(r) && r.Literal(")") && DropboxCounter(r);
}

// Windows takes no computer name longer than this, none made only of
// digits and none that starts with a hyphen; a name outside these rules is
// some other file a person put beside the entry.
constexpr std::size_t kMaxMachineName = 63;

bool IsMachineChar(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_';
}

bool ParseOneDrive(Reader& r) {
    if (!r.Literal("-")) return false;
    const std::string_view machine = r.Rest();
    if (machine.empty() || machine.size() > kMaxMachineName || machine.front() == '-') {
        return false;
    }
    if (!std::all_of(machine.begin(), machine.end(), IsMachineChar)) return false;
    if (std::all_of(machine.begin(), machine.end(), IsDigit)) return false;
    r.Skip(machine.size());
    return true;
}

std::string YearName(int year) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04d", year);
    return buf;
}

std::string LeafOf(const std::string& path) {
    const std::string parent = fsio::ParentOf(path);
    if (parent.empty()) return path;
    return path.substr(parent == "/" ? 1 : parent.size() + 1);
}

bool ByDayThenAge(const ConflictCopy& a, const ConflictCopy& b) {
    if (a.year != b.year) return a.year < b.year;
    if (a.month != b.month) return a.month < b.month;
    if (a.day != b.day) return a.day < b.day;
    if (a.when != b.when) return a.when < b.when;
    return a.path < b.path;
}

bool EndsWith(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Writes bytes to work, whole and flushed; on failure nothing is left.
bool WriteWork(const std::string& work, std::string_view bytes) {
    fsio::OutFile out;
    if (!out.Create(work)) return false;
    bool ok = out.Write(bytes.data(), bytes.size()) && out.Sync();
    ok = out.Close() && ok;
    if (!ok) fsio::Remove(work);
    return ok;
}

// The day a copy in a year folder belongs to, "YYYY-MM-DD"; empty when its
// folder or name tells none.
std::string CopyDay(const std::string& path) {
    const std::string folder = fsio::ParentOf(path);
    const std::optional<ConflictName> n = ParseConflictName(LeafOf(path));
    const std::string year = LeafOf(folder);
    if (!n || year.size() != 4 || !std::all_of(year.begin(), year.end(), IsDigit)) return {};
    return lock::DayLabel(std::stoi(year), n->month, n->day);
}

bool ReadStrongCopy(const std::string& path, PaneContent& out) {
    const std::string day = CopyDay(path);
    const std::shared_ptr<const lock::DiaryKey> key =
        lock::KeyFor(fsio::ParentOf(fsio::ParentOf(path)));
    std::string utf8;
    if (day.empty() || key == nullptr ||
        lock::ReadStrongEntry(path, day, *key, utf8) != lock::EntryRead::Opened) {
        return false;
    }
    out.utf8 = PaneTextFromFile(utf8);
    if (out.utf8.size() > kMaxPaneBytes) return false;
    bool wide = false;
    out.text = PaneTextFromUtf8(utf8, wide);
    out.source = wide ? PaneSource::StrongWide : PaneSource::Strong;
    return true;
}

}  // namespace

std::optional<ConflictName> ParseConflictName(std::string_view name) {
    ConflictName out;
    if (name.size() < 4 + kPlainExt.size()) return std::nullopt;
    const std::string_view ext = name.substr(name.size() - kPlainExt.size());
    if (ext != kPlainExt && ext != kLockedExt && ext != kStrongExt) return std::nullopt;
    out.locked = ext == kLockedExt;
    out.strong = ext == kStrongExt;

    Reader day(name.substr(0, 4));
    if (!day.Digits(2, out.month) || !day.Digits(2, out.day) ||
        !ValidDate(2000, out.month, out.day)) {
        return std::nullopt;
    }
    const std::string_view middle = name.substr(4, name.size() - 4 - ext.size());
    struct Pattern {
        ConflictKind kind;
        bool (*parse)(Reader&);
    };
    static const Pattern kPatterns[] = {
        {ConflictKind::Own, ParseOwn},
        {ConflictKind::Syncthing, ParseSyncthing},
        {ConflictKind::Nextcloud, ParseNextcloud},
        {ConflictKind::Dropbox, ParseDropbox},
        {ConflictKind::OneDrive, ParseOneDrive},
    };
    for (const Pattern& p : kPatterns) {
        Reader r(middle);
        if (p.parse(r)) {
            out.kind = p.kind;
            out.when = r.Taken();
            return out;
        }
    }
    return std::nullopt;
}

std::vector<ConflictCopy> ListConflictCopies(const std::string& dataPath, int year, int month,
                                             int day) {
    std::vector<ConflictCopy> copies;
    if (year < 1 || year > 9999) return copies;
    const std::string folder = dataPath + "/" + YearName(year);
    std::vector<fsio::DirEntry> names;
    if (!fsio::ListDirectory(folder, names)) return copies;
    for (const fsio::DirEntry& e : names) {
        if (e.kind != fsio::Kind::File) continue;
        const std::optional<ConflictName> n = ParseConflictName(e.name);
        if (!n || (month != 0 && (n->month != month || n->day != day))) continue;
        // 29 February only in a leap year's folder.
        if (n->month == 2 && n->day == 29 && !IsLeap(year)) continue;
        copies.push_back(ConflictCopy{year, n->month, n->day, n->locked, n->kind, n->when,
                                      folder + "/" + e.name, n->strong});
    }
    std::sort(copies.begin(), copies.end(), ByDayThenAge);
    return copies;
}

std::vector<ConflictCopy> ListAllConflictCopies(const std::string& dataPath) {
    std::vector<ConflictCopy> all;
    for (int year : ListYears(dataPath)) {
        std::vector<ConflictCopy> copies = ListConflictCopies(dataPath, year, 0, 0);
        all.insert(all.end(), copies.begin(), copies.end());
    }
    return all;
}

bool ReadConflictCopy(const std::string& path, const std::string& password, PaneContent& out) {
    if (EndsWith(path, kStrongExt)) return ReadStrongCopy(path, out);
    std::string bytes;
    if (fsio::ReadWholeFile(path, bytes, kMaxPaneBytes + kCryptHeaderSize) !=
        fsio::ReadStatus::Ok) {
        return false;
    }
    if (!EndsWith(path, kLockedExt)) {
        if (bytes.size() > kMaxPaneBytes) return false;
        out.text = PaneTextFromFile(bytes);
        out.source = PaneSource::Plain;
        return true;
    }
    std::string plain;
    if (CryptDecodeBytes(bytes, password, plain) == CryptResult::Decoded) {
        out.text = PaneTextFromFile(plain);
        out.source = PaneSource::Locked;
        return true;
    }
    if (bytes.size() > kMaxPaneBytes) return false;
    out.text = PaneTextFromFile(bytes);
    const auto* raw = reinterpret_cast<const unsigned char*>(bytes.data());
    out.source = HasCryptMarker(raw, bytes.size()) ? PaneSource::Sealed : PaneSource::Raw;
    return true;
}

std::string AppendConflictText(const std::string& entry, const std::string& copy) {
    if (copy.empty()) return entry;
    if (entry.empty()) return copy;
    std::string out = entry;
    if (!EndsWith(out, "\r\n")) out += "\r\n";
    if (!EndsWith(out, "\r\n\r\n")) out += "\r\n";
    return out + copy;
}

bool DeleteConflictCopy(const std::string& path) {
    if (!ParseConflictName(LeafOf(path))) return false;
    if (!fsio::Remove(path)) return false;
    fsio::SyncParentDirectory(path);
    return true;
}

namespace {

// Puts bytes under the first free copy name of folder/name for when.
ConflictWrite WriteCopyBytes(const std::string& folder, const std::string& name,
                             std::string_view bytes, std::string_view ext, std::time_t when) {
    ConflictWrite result;
    std::tm tm{};
    if (localtime_r(&when, &tm) == nullptr) return result;
    char stamp[32];
    if (std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm) == 0) return result;
    if (!fsio::IsDirectory(folder)) fsio::MakeDirectory(folder);

    const std::string base = folder + "/" + name + std::string(kOwnTag) + stamp;
    const std::string work = base + ".$$$";
    if (!WriteWork(work, bytes)) return result;

    // The finished copy moves in under the first free name; a rename that
    // never replaces keeps even a copy that appeared meanwhile.
    for (int n = 1; n <= kMaxCounter; ++n) {
        std::string target = base;
        if (n > 1) {
            target += '-';
            target += std::to_string(n);
        }
        target += ext;
        if (fsio::KindOf(target) != fsio::Kind::Missing) continue;
        if (fsio::RenameNoReplace(work, target)) {
            fsio::SyncParentDirectory(target);
            result.ok = true;
            result.path = target;
            return result;
        }
        if (fsio::KindOf(target) == fsio::Kind::Missing) break;
    }
    fsio::Remove(work);
    return result;
}

}  // namespace

ConflictWrite WriteConflictCopy(const std::string& folder, const std::string& name,
                                std::string_view text, const std::string& key, std::time_t when) {
    // Under the strong lock a copy in either Windows form would leave the
    // text open on the disk.
    if (lock::HasStrongLock(fsio::ParentOf(folder))) {
        return WriteStrongConflictCopy(folder, name, cp932::ToUtf8(text), when);
    }
    // Locked exactly when a save would lock the entry.
    const bool locked = CryptKeyStorable(key);
    const std::optional<std::string> bytes =
        locked ? CryptEncodeBytes(text, fsio::DosTimeNow(), key) : std::string(text);
    if (!bytes) return ConflictWrite{};
    return WriteCopyBytes(folder, name, *bytes, locked ? kLockedExt : kPlainExt, when);
}

ConflictWrite WriteStrongConflictCopy(const std::string& folder, const std::string& name,
                                      std::string_view utf8, std::time_t when) {
    const std::string year = LeafOf(folder);
    if (year.size() != 4 || name.size() != 4) return ConflictWrite{};
    const std::string day = year + "-" + name.substr(0, 2) + "-" + name.substr(2);
    const std::optional<std::string> sealed =
        lock::SealForDiary(utf8, fsio::ParentOf(folder), day, false, std::string());
    if (!sealed) return ConflictWrite{};
    return WriteCopyBytes(folder, name, *sealed, kStrongExt, when);
}

ConflictWrite CopyEntryFileAsConflict(const std::string& folder, const std::string& name,
                                      bool locked, std::time_t when) {
    std::string bytes;
    const std::string_view ext = locked ? kLockedExt : kPlainExt;
    const std::string path = folder + "/" + name + std::string(ext);
    if (fsio::ReadWholeFile(path, bytes, std::size_t{1} << 31) != fsio::ReadStatus::Ok) {
        return ConflictWrite{};
    }
    return WriteCopyBytes(folder, name, bytes, ext, when);
}

ConflictWrite CopySealedEntryAsConflict(const std::string& folder, const std::string& name,
                                        std::time_t when) {
    std::string bytes;
    const std::string path = folder + "/" + name + std::string(kStrongExt);
    if (fsio::ReadWholeFile(path, bytes, lock::kMaxEntryFile) != fsio::ReadStatus::Ok) {
        return ConflictWrite{};
    }
    return WriteCopyBytes(folder, name, bytes, kStrongExt, when);
}

}  // namespace kuv
