#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "diary/entry_version.h"

// Drafts: the text of the upper pane while it differs from the saved entry,
// kept outside the data folder (sync tools and the Windows program never see
// it) so that typing survives a crash. One draft per day of a diary; the
// entry file itself is written only by the ordinary saves. In a locked diary
// a draft is sealed as lock/diary_seal.h chooses (the strong lock's key, or
// the password), never plain. Paths are
// code page 932 bytes; the text is UTF-8, so that any character is kept.
namespace kuv {

// stateFolder/drafts (stateFolder as UserStateFolder gives it).
std::string DraftsFolder(const std::string& stateFolder);

struct Draft {
    std::string dataPath;  // the diary
    int year = 0, month = 0, day = 0;
    std::int64_t time = 0;  // when it was written, seconds since 1970
    EntryVersion base;      // the entry file as the text was loaded from it
    std::string utf8;       // the pane's text
};

// Where the draft of that day of the diary lies.
std::string DraftPath(const std::string& stateFolder, const std::string& dataPath, int year,
                      int month, int day);

// Writes the draft of its day, replacing the one before, through a work
// file (folders 0700, file 0600). With sealed it is sealed under password,
// and nothing is written when the password cannot seal. Under the strong
// lock it is sealed with the diary's key for its day whatever sealed says,
// and nothing is written while that key is not open.
bool WriteDraft(const std::string& stateFolder, const Draft& draft, bool sealed,
                const std::string& password);

// Removes the day's draft (saved, or the pane is back at the saved text);
// true when none is left.
bool RemoveDraft(const std::string& stateFolder, const std::string& dataPath, int year, int month,
                 int day);

// The draft files of a diary, in name order (oldest day first); a file of
// another name is none of them.
std::vector<std::string> ListDraftFiles(const std::string& stateFolder,
                                        const std::string& dataPath);

// What a window hands its worker thread to keep the pane's text: a draft to
// write, or the day's draft to remove (the pane holds the saved text again).
struct DraftJob {
    std::string stateFolder;
    Draft draft;  // its diary and day also name the draft to remove
    bool remove = false;
    bool sealed = false;  // a locked diary's draft, under password
    std::string password;
};
// Does the job; false when the draft could not be written or removed.
bool RunDraftJob(const DraftJob& job);

enum class DraftRead {
    Ok,
    Damaged,  // not a draft, or cut short
    Sealed,   // sealed, and neither the password nor the diary's open key opens it
};
DraftRead ReadDraft(const std::string& path, const std::string& password, Draft& out);
// The same for a draft of the diary in dataPath, which a strong-locked one
// needs to find its key.
DraftRead ReadDraft(const std::string& path, const std::string& dataPath,
                    const std::string& password, Draft& out);

}  // namespace kuv
