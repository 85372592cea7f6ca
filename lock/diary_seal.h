#pragma once

#include <optional>
#include <string>
#include <string_view>

// The one place that chooses how a diary's text that must never lie plain is
// written outside its entry files (drafts, kept versions, conflict copies,
// texts kept for recovery): under the strong lock, sealed with the diary's
// data key for its day; under the Windows lock, in the entries' own
// container under the password; otherwise as it is.
namespace kuv::lock {

// plain sealed for day ("YYYY-MM-DD") the way the diary in dataPath needs:
// with the strong lock's key whenever the data folder is under it (the key
// this process holds; nothing while it is not open), in the Windows
// container under password when useEncryption asks for it, otherwise plain
// itself. Nothing when sealing fails (a password that cannot be a key, too
// many bytes): then nothing may be written.
std::optional<std::string> SealForDiary(std::string_view plain, const std::string& dataPath,
                                        std::string_view day, bool useEncryption,
                                        const std::string& password);

enum class Unsealed {
    Plain,    // the bytes were never sealed: out holds them as they are
    Opened,   // out holds what was sealed
    Closed,   // sealed, and neither the open key nor the password opens them
    Damaged,  // sealed under this diary's key, but altered or for another day
};
// Opens what SealForDiary made, whichever way it was sealed.
Unsealed OpenForDiary(std::string_view bytes, const std::string& dataPath, std::string_view day,
                      const std::string& password, std::string& out);

}  // namespace kuv::lock
