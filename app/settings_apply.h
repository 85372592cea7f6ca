#pragma once

#include "app/settings.h"
#include "app/settings_file.h"

// What applying the settings dialog does to the settings file and to the
// running program's settings record.
namespace kuv {

enum class DialogApply {
    Applied,
    NoPassword,          // encryption ticked with an empty password
    UnstorablePassword,  // encryption ticked with a password no container can hold
};

// Checks the values, writes them to the settings file and then takes them
// into the record: the data folder, the password, the date pattern, the
// automatic date and the window-position switch apply at once; the
// encryption switch only at the next start, so the record keeps its own.
// A refused value changes nothing. Throws AppError when the file cannot be
// written; the record then stays as it was.
DialogApply ApplyDialogSettings(const AppPaths& paths, TDiarySettings& settings,
                                const DialogValues& values);

}  // namespace kuv
