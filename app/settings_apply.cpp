#include "app/settings_apply.h"

#include "crypt/cryptogram.h"

namespace kuv {

DialogApply ApplyDialogSettings(const AppPaths& paths, TDiarySettings& settings,
                                const DialogValues& values) {
    if (values.useEncryption && values.password.empty()) return DialogApply::NoPassword;
    // The container keeps at most 32 key bytes and cannot keep the byte 0xA6
    // (its mask): such a password would lock entries under a key the file
    // cannot hold.
    if (values.useEncryption && !CryptKeyStorable(values.password)) {
        return DialogApply::UnstorablePassword;
    }
    WriteDialogSettings(paths, values);
    settings.SaveWindow = values.saveWindow;
    settings.AutoInsertDate = values.autoInsertDate;
    settings.DataPath = values.dataPath;
    settings.Password = values.password;
    settings.DateFormat = values.dateFormat;
    return DialogApply::Applied;
}

}  // namespace kuv
