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

enum class SealWay {
    Plain,     // no lock: the bytes as they are
    Password,  // the Windows container under the settings' password
    Strong,    // sealed with the strong lock's key, the day bound in
    Closed,    // under the strong lock, its key not open: nothing is written
};

// The way for the diary in dataPath: the strong lock wins whenever the data
// folder holds it; the Windows lock when useEncryption is asked.
SealWay SealWayOf(const std::string& dataPath, bool useEncryption);

// plain sealed the chosen way for day ("YYYY-MM-DD"); plain itself when the
// way is Plain. Nothing when the way is Closed or sealing fails (a password
// that cannot be a key, too many bytes): then nothing may be written.
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
