#include "app/settings_apply.h"

#include "crypt/cryptogram.h"
#include "platform/errors.h"

namespace kuv {

DialogApplyResult ApplyDialogSettings(const AppPaths& paths, const SettingsReadResult& startUp,
                                      TDiarySettings& settings, const DialogValues& values) {
    if (values.useEncryption && values.password.empty()) return {DialogApply::NoPassword, {}};
    // The container keeps at most 32 key bytes and cannot keep the byte 0xA6
    // (its mask): such a password would lock entries under a key the file
    // cannot hold.
    if (values.useEncryption && !CryptKeyStorable(values.password)) {
        return {DialogApply::UnstorablePassword, {}};
    }
    DialogApplyResult result;
    const SettingsWriteResult written = StoreDialogSettings(paths, startUp, values);
    switch (written.status) {
        case SettingsWrite::Written:
            break;
        case SettingsWrite::KeptUnreadable:
            result = {DialogApply::AppliedNotStored, written.message};
            break;
        default:
            throw AppError(written.message);
    }
    settings.SaveWindow = values.saveWindow;
    settings.AutoInsertDate = values.autoInsertDate;
    settings.DataPath = values.dataPath;
    settings.Password = values.password;
    settings.DateFormat = values.dateFormat;
    if (values.newDayTemplate) settings.NewDayTemplate = *values.newDayTemplate;
    return result;
}

}  // namespace kuv
