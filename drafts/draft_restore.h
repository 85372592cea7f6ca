#pragma once

#include <ctime>
#include <string>
#include <vector>

// The next start after a run that did not end cleanly: the drafts it left
// come back. A draft whose entry is still the version it started from goes
// back into that day's pane as an unsaved change; one whose entry changed
// meanwhile (another machine, a sync tool) is kept as a conflict copy beside
// the entry, overwriting nothing. A draft that cannot be read stays where it
// is and is named. Nothing is deleted that was not restored.
namespace kuv {

struct RestoredDraft {
    int year = 0, month = 0, day = 0;
    std::string utf8;  // the text for the day's pane
    std::string path;  // the draft, left until the text is saved
};

struct DraftRestore {
    std::vector<RestoredDraft> putBack;       // oldest day first
    std::vector<std::string> conflictCopies;  // copies written, to be compared
    std::vector<std::string> kept;            // drafts that could not come back, left as they are
    // 「前回保存されなかった文章を戻しました」 or, when every draft became a
    // copy, that they were kept as copies; empty when nothing came back.
    std::string StatusText() const;
    // The drafts left as they were, one message each (code page 932).
    std::vector<std::string> KeptMessages() const;
};

// Restores the drafts of the diary in dataPath, after its password for a
// locked one. Copies are locked like the entries when useEncryption is on,
// and sealed under the strong lock, whose drafts come back only once the
// diary's key is open.
DraftRestore RestoreDrafts(const std::string& stateFolder, const std::string& dataPath,
                           bool useEncryption, const std::string& password, std::time_t now);

}  // namespace kuv
