#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diary/diary_book.h"

// Conflict copies: a second version of a day's entry kept beside it when two
// writers met, under a name that no program loads as an entry. The program
// writes its own; sync tools write theirs. Both are found here, so that the
// window can offer them and nothing a writer wrote is lost.
namespace kuv {

enum class ConflictKind {
    Own,        // mmdd.conflict-YYYYMMDD-HHMMSS[-N].dia
    Syncthing,  // mmdd.sync-conflict-YYYYMMDD-HHMMSS[-XXXXXXX].dia
    // mmdd (conflicted copy [USER ]YYYY-MM-DD HHMMSS).dia, also ownCloud's, and the
    // older mmdd_conflict-YYYYMMDD-HHMMSS.dia
    Nextcloud,
    // mmdd ([NAME's ]conflicted copy YYYY-MM-DD)[ (N)].dia, and
    // mmdd (Selective Sync Conflict)[ (N)].dia
    Dropbox,
    // mmdd-MACHINE.dia: OneDrive keeps the other version under the name of the
    // computer that wrote it, after a hyphen
    OneDrive,
};

// What a copy's name tells; every kind also comes as .xda, the copy of a
// locked entry, and as .kvd, the copy of a strong-locked one.
struct ConflictName {
    int month = 0, day = 0;
    bool locked = false;  // .xda
    bool strong = false;  // .kvd
    ConflictKind kind = ConflictKind::Own;
    std::string when;  // the digits of the copy's date and time, oldest sorts first
};

// The name of a conflict copy of a day that some year has (29 February
// included); nothing for any other name, an entry's own name among them.
std::optional<ConflictName> ParseConflictName(std::string_view name);

struct ConflictCopy {
    int year = 0, month = 0, day = 0;
    bool locked = false;
    ConflictKind kind = ConflictKind::Own;
    std::string when;
    std::string path;     // code page 932
    bool strong = false;  // a sealed .kvd, opened with the diary's key
};

// The copies of one day, oldest first.
std::vector<ConflictCopy> ListConflictCopies(const std::string& dataPath, int year, int month,
                                             int day);
// The copies of the whole data folder, by day, then oldest first. This reads
// every year folder: never on a day step.
std::vector<ConflictCopy> ListAllConflictCopies(const std::string& dataPath);

// A copy's text under the pane's text rules, with the source as a load gives
// it (Locked when the password opens a locked copy, Sealed when it does not:
// then the text is not the entry's; Strong or StrongWide for a sealed copy
// opened with the key this process holds for its diary, the UTF-8 in utf8).
// False when it cannot be read, is larger than a pane takes, or is sealed
// and its key is not open or does not open it.
bool ReadConflictCopy(const std::string& path, const std::string& password, PaneContent& out);

// The entry's text with the copy's text appended after an empty line (none
// added when the entry is empty or the copy is).
std::string AppendConflictText(const std::string& entry, const std::string& copy);

// Deletes a copy; refuses any path whose name is no conflict copy's, so that
// it can never take an entry.
bool DeleteConflictCopy(const std::string& path);

struct ConflictWrite {
    bool ok = false;
    std::string path;  // the copy written
};

// Writes text as a new copy of the entry folder/name (name is "mmdd"),
// dated when in local time: mmdd.conflict-YYYYMMDD-HHMMSS.dia, with "-2",
// "-3" ... when that name is taken, so no copy is ever replaced. With a key
// that can lock an entry it is a locked .xda; otherwise plain, as a save
// would store the entry. Under the strong lock it is sealed (.kvd) as
// WriteStrongConflictCopy does. Written whole through a work file and flushed.
ConflictWrite WriteConflictCopy(const std::string& folder, const std::string& name,
                                std::string_view text, const std::string& key, std::time_t when);

// The copy of a strong-locked diary's entry: utf8 sealed for its day with the
// key the process holds for the diary (mmdd.conflict-...kvd). Nothing is
// written without that key: never a copy in the open.
ConflictWrite WriteStrongConflictCopy(const std::string& folder, const std::string& name,
                                      std::string_view utf8, std::time_t when);

// Keeps the entry file folder/name.dia (or .xda when locked) as it lies, byte
// for byte, as a new copy of the same kind: a locked entry's copy stays
// locked without its password.
ConflictWrite CopyEntryFileAsConflict(const std::string& folder, const std::string& name,
                                      bool locked, std::time_t when);
// The same for the sealed folder/name.kvd: the copy stays sealed for its day.
ConflictWrite CopySealedEntryAsConflict(const std::string& folder, const std::string& name,
                                        std::time_t when);

}  // namespace kuv
