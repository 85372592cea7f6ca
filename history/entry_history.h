#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

// Earlier versions of the diary's entries: before a save replaces an entry
// file, its bytes are kept exactly as they were on disk (a locked entry stays
// locked), compressed, outside the data folder, so that a text typed over by
// mistake can come back. Under the strong lock a sealed entry is kept as it
// lies and a plain one is sealed first. Paths are code page 932 bytes.
namespace kuv {

// $XDG_DATA_HOME/kuvandoro/history (by default ~/.local/share/...); nothing
// when there is no home folder. Creates nothing.
std::optional<std::string> UserHistoryRoot();

// The folder of one diary's versions under root: the data folder's last
// name and a hash of its whole path, so that two diaries never mix.
std::string DiaryHistoryFolder(const std::string& root, const std::string& dataPath);

// One kept version of a day's entry file.
struct EntryVersionFile {
    std::string path;
    std::int64_t time = 0;   // when the kept bytes were written, seconds since 1970
    bool locked = false;     // the bytes are an .xda container
    std::uint64_t size = 0;  // the bytes as they were on disk
    bool strong = false;     // the bytes are sealed as a .kvd is, for the day
};

struct VersionList {
    std::vector<EntryVersionFile> versions;  // newest first
    std::vector<std::string> skipped;        // damaged or foreign files, never touched
};

// The versions of the day yearName/entryName ("2026", "1208") in a diary's
// history folder. Only their headers are read.
VersionList ListEntryVersions(const std::string& diaryFolder, const std::string& yearName,
                              const std::string& entryName);

// A kept version's bytes, as they were on disk; false when the file is
// damaged or no version. A strong one counts as locked here.
bool ReadEntryVersion(const std::string& path, std::string& bytes, bool& locked);
bool ReadEntryVersion(const std::string& path, std::string& bytes, bool& locked, bool& strong);

// Rewrites the kept version at path with bytes of another kind (locked, or
// strong: sealed for its day), keeping its time and its name. The new file
// is renamed over the old one, so that a crash leaves one or the other.
bool RewriteEntryVersion(const std::string& path, const std::string& bytes, bool locked,
                         bool strong, std::int64_t time);

enum class VersionOpen {
    Opened,
    Damaged,  // no version, or its bytes are altered
    Closed,   // the password, or the key this process holds, does not open it
};
struct VersionText {
    std::string text;   // code page 932 as the entry file held it; UTF-8 when utf8
    bool utf8 = false;  // a strong-locked version
};
// A kept version's text: a plain one as it is, a locked one opened with
// password, a strong one with the key this process holds for dataPath, for
// the day of yearName/entryName.
VersionOpen OpenEntryVersion(const std::string& path, const std::string& dataPath,
                             const std::string& yearName, const std::string& entryName,
                             const std::string& password, VersionText& out);

enum class KeepStatus {
    Kept,       // the bytes are a new version
    Unchanged,  // the newest version already holds them
    Failed,     // nothing could be written: the save must not go on
};

// Keeps bytes (the entry file yearName/entryName as it is on disk, dated
// time) as a new version, then thins the day's versions by the retention
// rules as of now.
KeepStatus KeepEntryVersion(const std::string& diaryFolder, const std::string& yearName,
                            const std::string& entryName, const std::string& bytes, bool locked,
                            std::int64_t time, std::int64_t now);

// Saves keep versions unless this turned it off: only tests of the entry
// file's own writing, which count its file calls, turn it off.
void KeepVersionsOnSave(bool on);

// What a save asks before it replaces folder/name (folder being the data
// folder's year folder): the files it will replace or remove are kept. Plain
// is the text the save writes: a plain file that holds it already is no
// change. A save that locks the entry (password given) keeps a plain file it
// removes sealed under the password: with the lock on, no plain copy is
// made. Empty when all went well or there was nothing to keep (no home
// folder for the history), otherwise the message that stops the save. Under
// the strong lock the sealed .kvd is kept as it lies and a plain file sealed
// with the diary's key (lockPassword plays no part); without that key open
// nothing is kept, and the save stops on its own.
std::string KeepBeforeSave(const std::string& folder, const std::string& name,
                           const std::string& plain, const std::string& lockPassword);

// Thins every day of a diary's history by the retention rules (a day's own
// versions are thinned only when the day is saved). Reads the whole history:
// never on the window's thread. Returns how many versions went.
int PruneDiaryHistory(const std::string& diaryFolder, std::int64_t now);

// The warning for a file of the history that is skipped (code page 932).
std::string SkippedVersionMessage(const std::string& path);

}  // namespace kuv
