#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Texts kept when an entry cannot be saved at the end of a desktop session.
// The program may not wait on a box then: it writes the pane's whole text to
// a new file outside the data folder and ends; the entry file stays as it
// was. The next start says, once, that such a text exists and where.
// Paths are code page 932 bytes, as everywhere in the file layer.
namespace kuv {

// $XDG_STATE_HOME/kuvandoro, by default ~/.local/state/kuvandoro (an unset,
// empty or relative XDG_STATE_HOME is ignored, as the XDG rules say); nothing
// when there is no home folder to put it in.
std::optional<std::string> UserStateFolder();

// The folder of the recovered texts: stateFolder/recovered.
std::string RecoveredFolder(const std::string& stateFolder);

// The calendar day of the entry whose text is kept.
struct RecoveryDay {
    int year = 0;
    int month = 0;
    int day = 0;
};

struct RecoveredFile {
    bool ok = false;
    std::string path;  // where the text lies, when ok
};

// Writes text, as UTF-8, to a new file in RecoveredFolder(stateFolder), made
// with the folders above it (mode 0700); the file is private (mode 0600) and
// goes through a work file. Its name gives the local date and time of now
// and the entry's day: 2026-12-08_entry-2026-12-07_231502.txt; an earlier
// file of that name is never replaced (-2, -3, ... is added instead).
RecoveredFile WriteRecoveredText(const std::string& stateFolder, std::string_view utf8,
                                 const RecoveryDay& entry, std::time_t now);
// The same for the pane's UTF-16 text. A lone surrogate (a byte of the entry
// file that was no character, which the entry file still holds) is written
// as U+FFFD.
RecoveredFile WriteRecoveredText(const std::string& stateFolder, std::u16string_view text,
                                 const RecoveryDay& entry, std::time_t now);

// The same sealed under the diary's password (crypt/seal.h), for a locked
// diary: the text never lies plain on disk. The name ends in ".xda"; nothing
// is written when the password cannot seal.
RecoveredFile WriteSealedRecoveredText(const std::string& stateFolder, std::u16string_view text,
                                       const RecoveryDay& entry, std::time_t now,
                                       const std::string& password);

// The same for a text already sealed with the strong lock's key for its day
// (lock/diary_seal.h, which this layer cannot see): the name ends in ".kvd".
RecoveredFile WriteStrongRecoveredText(const std::string& stateFolder, std::string_view sealed,
                                       const RecoveryDay& entry, std::time_t now);

// The recovered texts that no start has announced yet, oldest first.
std::vector<std::string> UnannouncedRecoveredFiles(const std::string& stateFolder);
// Records that these have been announced. The record lies in the state
// folder, never in the data folder, and forgets files that are gone.
bool MarkRecoveredFilesAnnounced(const std::string& stateFolder,
                                 const std::vector<std::string>& paths);

// The message that announces them (code page 932); a sealed one is named
// with how to open it.
std::string RecoveredFilesMessage(const std::vector<std::string>& paths);

}  // namespace kuv
