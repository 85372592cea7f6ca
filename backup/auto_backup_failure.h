#pragma once

#include <ctime>
#include <optional>
#include <string>

// The last automatic backup that failed. Nobody asked for that backup, so the
// window says a failure once a day, not at every start, and keeps the reason
// where the user can look it up later; the record lies in the per-user state
// folder, outside the diary and the settings file.
namespace kuv {

struct AutoBackupFailure {
    std::string when;    // local time of the failure, "YYYY-MM-DD HH:MM"
    std::string reason;  // code page 932, as the backup gave it
};

// The record of the last failure, when there is one and it reads whole.
std::optional<AutoBackupFailure> ReadAutoBackupFailure();

// Records a failure at now; true when it is the first failure recorded on
// now's day, which is the one to say. A record that cannot be written still
// says the failure, so that a full disk never hides it.
bool NoteAutoBackupFailure(const std::string& reason, std::time_t now);

// A backup was made: the next failure is news again.
void ClearAutoBackupFailure();

}  // namespace kuv
