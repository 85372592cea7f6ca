#include "app/settings_apply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/errors.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

// What applying the dialog does to the running record: the encryption switch
// waits for the next start, everything else applies at once; refused values
// and a failed write change nothing.
TEST(ApplyDialogSettings, AppliesAtOnceAllButTheEncryptionSwitch) {
    struct Case {
        const char* name;
        bool useEncryption;
        std::string password;
        DialogApply result;
    };
    const std::vector<Case> cases = {
        {"no encryption, empty password", false, "", DialogApply::Applied},
        {"encryption with a password", true, "pw", DialogApply::Applied},
        {"a password of spaces", true, "   ", DialogApply::Applied},
        {"encryption, no password", true, "", DialogApply::NoPassword},
        {"a password too long for the key field", true, std::string(33, 'k'),
         DialogApply::UnstorablePassword},
        {"a password with the mask byte", true, "a\xA6", DialogApply::UnstorablePassword},
        // Without encryption the password is only stored.
        {"no encryption, a long password", false, std::string(33, 'k'), DialogApply::Applied},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const AppPaths paths = FixedAppPaths(dir.path());
        TDiarySettings s = DefaultSettings(paths);
        const TDiarySettings before = s;
        DialogValues v;
        v.password = c.password;
        v.useEncryption = c.useEncryption;
        v.dataPath = "/elsewhere";
        v.dateFormat = "yyyy";
        v.fontName = "IPAGothic";
        v.saveWindow = false;
        v.autoInsertDate = true;
        const DialogApplyResult r = ApplyDialogSettings(paths, SettingsReadResult{}, s, v);
        EXPECT_EQ(r.status, c.result) << c.name;
        if (c.result != DialogApply::Applied) {
            EXPECT_EQ(s.DataPath, before.DataPath) << c.name;
            EXPECT_FALSE(test::Exists(paths.settingsPath)) << c.name;
            continue;
        }
        EXPECT_EQ(s.DataPath, "/elsewhere") << c.name;
        EXPECT_EQ(s.Password, c.password) << c.name;
        EXPECT_EQ(s.DateFormat, "yyyy") << c.name;
        EXPECT_FALSE(s.SaveWindow) << c.name;
        EXPECT_TRUE(s.AutoInsertDate) << c.name;
        EXPECT_EQ(s.UseEncryption, before.UseEncryption) << c.name;  // the next start's
        EXPECT_TRUE(test::Exists(paths.settingsPath)) << c.name;
    }
}

TEST(ApplyDialogSettings, AFailedWriteChangesNothingAndAnUnreadableFileIsKept) {
    test::TempDir dir;
    const AppPaths paths = FixedAppPaths(dir.path());
    TDiarySettings s = DefaultSettings(paths);
    DialogValues v;
    v.dataPath = "/elsewhere";
    // The settings folder cannot be made: a file stands in its place.
    test::WriteBytes(paths.settingsFolder, "not a folder");
    EXPECT_THROW(ApplyDialogSettings(paths, SettingsReadResult{}, s, v), AppError);
    EXPECT_NE(s.DataPath, "/elsewhere");

    // A file start-up could not read is left as it is; the values apply for
    // this run only, and the message says so.
    SettingsReadResult unreadable;
    unreadable.status = SettingsRead::ForeignKey;
    unreadable.message = "unreadable";
    const DialogApplyResult r = ApplyDialogSettings(paths, unreadable, s, v);
    EXPECT_EQ(r.status, DialogApply::AppliedNotStored);
    EXPECT_EQ(s.DataPath, "/elsewhere");
    EXPECT_EQ(test::ReadBytes(paths.settingsFolder), "not a folder");
}

}  // namespace
}  // namespace kuv
