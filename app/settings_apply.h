#pragma once

#include <string>

#include "app/settings.h"
#include "app/settings_file.h"

// What applying the settings dialog does to the settings file and to the
// running program's settings record.
namespace kuv {

enum class DialogApply {
    Applied,
    AppliedNotStored,    // in effect for this run; the unreadable settings file is kept
    NoPassword,          // encryption ticked with an empty password
    UnstorablePassword,  // encryption ticked with a password no container can hold
};

struct DialogApplyResult {
    DialogApply status = DialogApply::Applied;
    std::string message;  // code page 932, for AppliedNotStored
};

// Checks the values, writes them to the settings file and then takes them
// into the record: the data folder, the password, the date pattern, the
// automatic date and the window-position switch apply at once; the
// encryption switch only at the next start, so the record keeps its own.
// A refused value changes nothing. Throws AppError when the file cannot be
// written; the record then stays as it was. A settings file that start-up
// could not read is kept as it is: the values then apply for this run only.
DialogApplyResult ApplyDialogSettings(const AppPaths& paths, const SettingsReadResult& startUp,
                                      TDiarySettings& settings, const DialogValues& values);

}  // namespace kuv
