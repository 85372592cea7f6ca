#include "backup/auto_backup.h"

#include <cstdlib>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "app/profile.h"
#include "app/settings_file.h"
#include "backup/auto_backup_failure.h"
#include "crypt/cryptogram.h"
#include "history/entry_history.h"
#include "tests/support/reference.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Exists;
using test::TempDir;
using test::WriteBytes;

std::time_t At(int year, int month, int day, int hour) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::vector<std::string> Names(const std::vector<std::string>& paths) {
    std::vector<std::string> names;
    for (const auto& p : paths) names.push_back(p.substr(p.rfind('/') + 1));
    return names;
}

class AutoBackupTest : public ::testing::Test {
  protected:
    AutoBackupTest() {
        ::mkdir((data / "2001").c_str(), 0700);
        WriteBytes(data / "2001/0117.dia", "words");
        request.sources = {data.path(), "", {}};
        request.folder = home / "kuvandoro/backups";
        ::mkdir((home / "kuvandoro").c_str(), 0700);
        ::mkdir(request.folder.c_str(), 0700);
    }
    AutoBackupResult RunOn(int day, int hour = 9) {
        request.now = At(2024, 5, day, hour);
        return RunAutoBackup(request);
    }
    TempDir data, home;
    AutoBackupRequest request;
};

TEST_F(AutoBackupTest, OnePerDayOnlyWhenTheDiaryChanged) {
    const struct {
        int day, hour;
        AutoBackupOutcome outcome;
        const char* change;  // written into the diary before this start
    } starts[] = {
        {1, 9, AutoBackupOutcome::Made, nullptr},
        {1, 18, AutoBackupOutcome::AlreadyToday, "same day"},
        {2, 9, AutoBackupOutcome::Made, nullptr},  // the change of day 1
        {3, 9, AutoBackupOutcome::Unchanged, nullptr},
        {4, 9, AutoBackupOutcome::Made, "new words"},
    };
    for (const auto& s : starts) {
        if (s.change != nullptr) WriteBytes(data / "2001/0118.dia", s.change);
        request.now = At(2024, 5, s.day, s.hour);
        // The window loads the archive code only for a start that is due.
        EXPECT_EQ(AutoBackupDue(request), s.outcome != AutoBackupOutcome::AlreadyToday);
        const AutoBackupResult r = RunOn(s.day, s.hour);
        EXPECT_EQ(r.outcome, s.outcome) << s.day << " " << s.hour;
        if (s.outcome == AutoBackupOutcome::Made) {
            EXPECT_TRUE(VerifyBackup(r.archivePath).Whole());
        }
    }
    EXPECT_EQ(Names(ListAutoBackups(request.folder)),
              (std::vector<std::string>{"kuvandoro-20240501-090000.tar.gz",
                                        "kuvandoro-20240502-090000.tar.gz",
                                        "kuvandoro-20240504-090000.tar.gz"}));
    request.enabled = false;
    EXPECT_FALSE(AutoBackupDue(request));
    EXPECT_EQ(RunOn(5).outcome, AutoBackupOutcome::Off);
}

// The day's automatic run thins the days of the history that no save has
// thinned since they aged.
TEST_F(AutoBackupTest, TheDailyRunThinsTheHistory) {
    const std::string savedShare = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    ::setenv("XDG_DATA_HOME", home.path().c_str(), 1);
    const std::string history = DiaryHistoryFolder(*UserHistoryRoot(), data.path());
    for (int edit = 0; edit < 5; ++edit) {
        const std::time_t t = At(2024, 3, 1, 9) + edit * 60;
        ASSERT_EQ(KeepEntryVersion(history, "2024", "0301", std::to_string(edit), false, t, t),
                  KeepStatus::Kept);
    }
    ASSERT_EQ(RunOn(10).outcome, AutoBackupOutcome::Made);
    EXPECT_EQ(ListEntryVersions(history, "2024", "0301").versions.size(), 1u);
    ::setenv("XDG_DATA_HOME", savedShare.c_str(), 1);
}

TEST_F(AutoBackupTest, KeepsTheLastThirtyAndCleansAStaleWorkFile) {
    WriteBytes(home / "kuvandoro/backups/my-own.tar.gz", "not the program's");
    for (int day = 1; day <= 32; ++day) {
        WriteBytes(data / "2001/0118.dia", std::to_string(day));
        WriteBytes(request.folder + "/kuvandoro-20240101-000000.tar.gz.$$$", "cut off");
        ASSERT_EQ(RunOn(day).outcome, AutoBackupOutcome::Made);
        EXPECT_FALSE(Exists(request.folder + "/kuvandoro-20240101-000000.tar.gz.$$$"));
    }
    const std::vector<std::string> kept = Names(ListAutoBackups(request.folder));
    ASSERT_EQ(kept.size(), 30u);
    EXPECT_EQ(kept.front(), "kuvandoro-20240503-090000.tar.gz");
    EXPECT_EQ(kept.back(), "kuvandoro-20240601-090000.tar.gz");
    EXPECT_TRUE(Exists(request.folder + "/my-own.tar.gz"));
}

TEST_F(AutoBackupTest, TheSettingLivesInItsOwnSection) {
    TempDir app;
    const AppPaths paths = FixedAppPaths(app.path());
    TDiarySettings s = DefaultSettings(paths);
    EXPECT_TRUE(s.AutoBackup);
    DialogValues values;
    values.password = "pw";
    WriteDialogSettings(paths, values);  // leaves the switch alone
    ASSERT_TRUE(ReadSettings(s, paths));
    EXPECT_TRUE(s.AutoBackup);
    values.autoBackup = false;
    WriteDialogSettings(paths, values);
    ASSERT_TRUE(ReadSettings(s, paths));
    EXPECT_FALSE(s.AutoBackup);
    EXPECT_EQ(s.Password, "pw");
    std::string text;
    ASSERT_EQ(CryptDecodeToMemory(paths.settingsPath, kSettingsKey, text, 1 << 20),
              CryptResult::Decoded);
    EXPECT_EQ(ProfileRead(text, "KUVANDORO", "AUTOBACKUP", "?", 2048), "0");
    EXPECT_EQ(ProfileRead(text, "SYSTEM", "AUTOBACKUP", "?", 2048), "?");
    EXPECT_FALSE(AutoBackupRequestFor(s, paths).enabled);
}

// A failure is told at the first start of each day it happens on, and stays
// on record until a backup is made.
TEST(AutoBackupFailure, ToldOnceADay) {
    TempDir state;
    ::setenv("XDG_STATE_HOME", state.path().c_str(), 1);
    const struct {
        int day, hour;
        const char* event;  // "fail", "made", or a record written by hand
        bool told;
    } steps[] = {
        {3, 9, "fail", true},     {3, 9, "fail", false}, {3, 23, "fail", false},
        {4, 0, "fail", true},     {4, 8, "made", false}, {4, 9, "fail", true},
        {5, 9, "garbage", false}, {5, 9, "fail", true},  {5, 10, "fail", false},
    };
    for (const auto& s : steps) {
        const std::string event = s.event;
        if (event == "made") {
            ClearAutoBackupFailure();
            EXPECT_FALSE(ReadAutoBackupFailure().has_value());
        } else if (event == "garbage") {
            WriteBytes(state / "kuvandoro/autobackup-failure", "not a record");
            EXPECT_FALSE(ReadAutoBackupFailure().has_value());
        } else {
            EXPECT_EQ(NoteAutoBackupFailure("reason " + std::to_string(s.hour),
                                            At(2024, 5, s.day, s.hour)),
                      s.told)
                << s.day << " " << s.hour;
            const std::optional<AutoBackupFailure> last = ReadAutoBackupFailure();
            ASSERT_TRUE(last.has_value());
            EXPECT_EQ(last->reason, "reason " + std::to_string(s.hour));
            EXPECT_EQ(last->when.substr(0, 10), "2024-05-0" + std::to_string(s.day));
        }
    }
    ::unsetenv("XDG_STATE_HOME");
}

}  // namespace
}  // namespace kuv
