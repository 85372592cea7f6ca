#include "app/recovery.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "app/user_folder.h"
#include "crypt/seal.h"
#include "platform/fileio.h"
#include "platform/texts.h"
#include "platform/unicode.h"

namespace kuv {

namespace {

// Names with these endings are recovered texts; the work file has another.
constexpr std::string_view kTextExt = ".txt";
// A text sealed under the diary's password.
constexpr std::string_view kSealedExt = ".xda";
// "（鍵付きの文章です。kuvandoro-cli decode ファイル パスワード で読める形に戻せます）"
constexpr const char* kSealedHint =
    "\x81i\x8c\xae\x95t\x82\xab\x82\xcc\x95\xb6\x8f\xcd\x82\xc5\x82\xb7\x81"
    "Bkuvandoro-cli decode \x83t\x83@\x83"
    "C\x83\x8b \x83p\x83X\x83\x8f\x81[\x83h "
    "\x82\xc5\x93\xc7\x82\xdf\x82\xe9\x8c`\x82\xc9\x96\xdf\x82\xb9\x82\xdc\x82\xb7\x81j";
// A text sealed with the strong lock's key, as its entry would be.
constexpr std::string_view kStrongExt = ".kvd";
// "（強い鍵で封じた文章です。日記をパスワードで開くと、下書きとして戻ります）"
constexpr const char* kStrongHint =
    "\x81i\x8b\xad\x82\xa2\x8c\xae\x82\xc5\x95\x95\x82\xb6\x82\xbd\x95\xb6\x8f\xcd\x82\xc5\x82\xb7"
    "\x81"
    "B\x93\xfa\x8bL\x82\xf0\x83p\x83X\x83\x8f\x81[\x83h\x82\xc5\x8aJ\x82\xad\x82\xc6\x81"
    "A\x89\xba\x8f\x91\x82\xab\x82\xc6\x82\xb5\x82\xc4\x96\xdf\x82\xe8\x82\xdc\x82\xb7\x81j";
// How many files of one name stem a folder may hold before a write gives up.
constexpr int kMaxSameName = 1000;

std::string NameOf(const std::string& path) {
    const std::string parent = fsio::ParentOf(path);
    if (parent.empty()) return path;
    return path.substr(parent.size() + (parent.back() == '/' ? 0 : 1));
}

std::string AnnouncedRecord(const std::string& stateFolder) {
    return JoinPath(stateFolder, "recovered-announced");
}

bool EndsWith(const std::string& name, std::string_view ext) {
    return name.size() > ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0;
}

bool IsRecoveredName(const std::string& name) {
    return EndsWith(name, kTextExt) || EndsWith(name, kSealedExt) || EndsWith(name, kStrongExt);
}

// The names of the recovered texts in the folder; nothing when it cannot be read.
std::optional<std::set<std::string>> PresentNames(const std::string& stateFolder) {
    std::vector<fsio::DirEntry> entries;
    if (!fsio::ListDirectory(RecoveredFolder(stateFolder), entries)) return std::nullopt;
    std::set<std::string> names;
    for (const fsio::DirEntry& e : entries) {
        if (e.kind == fsio::Kind::File && IsRecoveredName(e.name)) names.insert(e.name);
    }
    return names;
}

// The names already announced, one to a line.
std::set<std::string> AnnouncedNames(const std::string& stateFolder) {
    std::string text;
    std::set<std::string> names;
    if (fsio::ReadWholeFile(AnnouncedRecord(stateFolder), text, std::size_t{1} << 20) !=
        fsio::ReadStatus::Ok) {
        return names;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) names.insert(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// "<date of now>_entry-<entry's day>_<time of now>"; nothing when the local
// time of now cannot be had.
std::optional<std::string> NameStem(const RecoveryDay& entry, std::time_t now) {
    std::tm tm{};
    if (localtime_r(&now, &tm) == nullptr) return std::nullopt;
    char buf[80];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d_entry-%04d-%02d-%02d_%02d%02d%02d",
                  tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, entry.year, entry.month, entry.day,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return std::string(buf);
}

}  // namespace

std::optional<std::string> UserStateFolder() {
    return UserFolder("XDG_STATE_HOME", ".local/state");
}

std::string RecoveredFolder(const std::string& stateFolder) {
    return JoinPath(stateFolder, "recovered");
}

namespace {

// Writes bytes as a new recovered file with the extension ext.
RecoveredFile WriteRecoveredFile(const std::string& stateFolder, std::string_view bytes,
                                 std::string_view ext, const RecoveryDay& entry, std::time_t now) {
    const std::optional<std::string> stem = NameStem(entry, now);
    const std::string folder = RecoveredFolder(stateFolder);
    if (!stem || !fsio::MakeDirectories(folder)) return {};
    const std::string work = JoinPath(folder, *stem + ".$$$");
    fsio::OutFile out;
    if (!out.Create(work)) return {};
    bool ok = out.Write(bytes.data(), bytes.size()) && out.Sync();
    ok = out.Close() && ok;
    if (ok) {
        for (int n = 1; n <= kMaxSameName; ++n) {
            std::string name = *stem;
            if (n > 1) name.append("-").append(std::to_string(n));
            const std::string path = JoinPath(folder, name.append(ext));
            if (fsio::RenameNoReplace(work, path)) {
                fsio::SyncParentDirectory(path);
                return {true, path};
            }
            // Only a name that is taken is worth another try.
            if (fsio::KindOf(path) == fsio::Kind::Missing) break;
        }
    }
    fsio::Remove(work);
    return {};
}

}  // namespace

RecoveredFile WriteRecoveredText(const std::string& stateFolder, std::string_view utf8,
                                 const RecoveryDay& entry, std::time_t now) {
    return WriteRecoveredFile(stateFolder, utf8, kTextExt, entry, now);
}

RecoveredFile WriteSealedRecoveredText(const std::string& stateFolder, std::u16string_view text,
                                       const RecoveryDay& entry, std::time_t now,
                                       const std::string& password) {
    const std::optional<std::string> sealed =
        SealUnderPassword(unicode::Utf16ToUtf8(text), password);
    if (!sealed) return {};
    return WriteRecoveredFile(stateFolder, *sealed, kSealedExt, entry, now);
}

RecoveredFile WriteStrongRecoveredText(const std::string& stateFolder, std::string_view sealed,
                                       const RecoveryDay& entry, std::time_t now) {
    return WriteRecoveredFile(stateFolder, sealed, kStrongExt, entry, now);
}

RecoveredFile WriteRecoveredText(const std::string& stateFolder, std::u16string_view text,
                                 const RecoveryDay& entry, std::time_t now) {
    return WriteRecoveredText(stateFolder, unicode::Utf16ToUtf8(text), entry, now);
}

std::vector<std::string> UnannouncedRecoveredFiles(const std::string& stateFolder) {
    const std::optional<std::set<std::string>> present = PresentNames(stateFolder);
    if (!present) return {};
    const std::set<std::string> announced = AnnouncedNames(stateFolder);
    std::vector<std::string> paths;
    // The names begin with the date and time of writing: in name order, oldest first.
    for (const std::string& name : *present) {
        if (announced.count(name) == 0) {
            paths.push_back(JoinPath(RecoveredFolder(stateFolder), name));
        }
    }
    return paths;
}

bool MarkRecoveredFilesAnnounced(const std::string& stateFolder,
                                 const std::vector<std::string>& paths) {
    std::set<std::string> announced = AnnouncedNames(stateFolder);
    for (const std::string& p : paths) announced.insert(NameOf(p));
    const std::set<std::string> present =
        PresentNames(stateFolder).value_or(std::set<std::string>());
    std::string text;
    for (const std::string& name : announced) {
        if (present.count(name) != 0) text += name + "\n";
    }
    const std::string record = AnnouncedRecord(stateFolder);
    return fsio::MakeDirectories(stateFolder) &&
           fsio::WriteFileAtomic(record, text, fsio::ChangeExtension(record, ".$$$"));
}

std::string RecoveredFilesMessage(const std::vector<std::string>& paths) {
    std::string message = TextOf(TextId::RecoveredTexts);
    for (const std::string& p : paths) {
        message += "\n" + p;
        if (EndsWith(p, kSealedExt)) message += kSealedHint;
        if (EndsWith(p, kStrongExt)) message += kStrongHint;
    }
    return message;
}

}  // namespace kuv
