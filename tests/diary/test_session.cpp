#include "diary/session.h"

#include <cstdlib>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "app/recovery.h"
#include "crypt/seal.h"
#include "lock/strong_lock.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "platform/unicode.h"
#include "tests/support/reference.h"
#include "tests/support/session_rig.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Cp932;
using test::Day;
using test::Exists;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::string CreateMessage(const std::string& path) {
    return FormatMessage(Cp932("ファイル %s を作成できません"), path);
}
std::string OpenMessage(const std::string& path) {
    return FormatMessage(Cp932("ファイル %s は開けません"), path);
}

class SessionTest : public ::testing::Test {
  protected:
    SessionTest() : rig(dir.path()), settings(rig.settings()) {}
    void TearDown() override { fsio::fault::Reset(); }

    std::string Entry(int year, const char* name) const {
        return dir / (std::to_string(year) + "/" + name);
    }
    void Put(int year, const char* name, const std::string& bytes) {
        ::mkdir((dir / std::to_string(year)).c_str(), 0700);
        WriteBytes(Entry(year, name), bytes);
    }

    TempDir dir;
    test::SessionRig rig;
    TDiarySettings& settings;
    DiarySession& session = rig.session;
};

TEST_F(SessionTest, LoadsBothPanesAndTheStatusLine) {
    Put(2001, "0117.dia", "this year\n");
    Put(2000, "0117.dia", std::string("last\0year", 9));
    const TDateTime day = Day(2001, 1, 17) + 0.5;
    auto loaded = rig.GoTo(day);
    EXPECT_EQ(loaded.upper.text, "this year\r\n");
    EXPECT_EQ(loaded.upper.source, PaneSource::Plain);
    EXPECT_EQ(loaded.lower.text, "last");
    EXPECT_EQ(loaded.lower.source, PaneSource::Plain);
    EXPECT_EQ(loaded.status, Cp932("▲ 2001年  ▼ 2000年"));
    EXPECT_FALSE(loaded.dateInserted);
    EXPECT_EQ(session.YearDir(), dir / "2001");
    EXPECT_EQ(session.LastYearDir(), dir / "2000");
    EXPECT_EQ(EntryName(session.LoadedDay()), "0117");
    EXPECT_FALSE(session.Modified());
    EXPECT_FALSE(session.UpperReadOnly());
}

TEST_F(SessionTest, MissingEntriesLeaveThePanesEmpty) {
    auto loaded = rig.GoTo(Day(2001, 1, 17));
    EXPECT_EQ(loaded.upper.text, "");
    EXPECT_EQ(loaded.upper.source, PaneSource::None);
    EXPECT_EQ(loaded.lower.source, PaneSource::None);
    // A folder that bears an entry's name is no entry.
    ::mkdir((dir / "2001").c_str(), 0700);
    ::mkdir(Entry(2001, "0117.dia").c_str(), 0700);
    EXPECT_EQ(rig.GoTo(Day(2001, 1, 17)).upper.source, PaneSource::None);
}

TEST_F(SessionTest, LeapYearLookBackReadsTheSameFolder) {
    Put(2004, "1231.dia", "new year's eve");
    const TDateTime day = Day(2004, 12, 31);
    auto loaded = rig.GoTo(day);
    EXPECT_EQ(session.YearDir(), session.LastYearDir());
    EXPECT_EQ(loaded.upper.text, "new year's eve");
    EXPECT_EQ(loaded.lower.text, "new year's eve");
    EXPECT_EQ(loaded.status, Cp932("▲ 2004年  ▼ 2004年"));

    // One day on, the panes read from the folders 2005 and 2004.
    Put(2005, "0101.dia", "upper");
    Put(2004, "0101.dia", "lower");
    loaded = rig.GoTo(day + 1);
    EXPECT_EQ(loaded.upper.text, "upper");
    EXPECT_EQ(loaded.lower.text, "lower");
}

TEST_F(SessionTest, MovingWithoutTypingWritesNothing) {
    settings.AutoInsertDate = true;
    settings.DateFormat = "yyyy\"/\"mm\"/\"dd";
    Put(2000, "0117.dia", "last year");
    const auto before = test::Snapshot(dir.path());
    const TDateTime day = Day(2001, 1, 17);
    auto loaded = rig.GoTo(day);
    EXPECT_TRUE(loaded.dateInserted);
    // Text in the pane counts for nothing without a change of the upper pane.
    rig.Save(loaded.upper.text + "typed");
    rig.GoTo(day + 1);
    rig.Save("x");
    EXPECT_EQ(test::Snapshot(dir.path()), before);
}

TEST_F(SessionTest, SaveCreatesTheYearFolderAndWritesTheTextUnchanged) {
    const TDateTime day = Day(2001, 1, 17);
    rig.GoTo(day);
    session.UpperChanged();
    EXPECT_TRUE(session.Unsaved());
    const std::string text = Cp932("一行目\r\n二行目");
    rig.Save(text);
    EXPECT_EQ(ReadBytes(Entry(2001, "0117.dia")), text);
    EXPECT_EQ(test::ModeOf(dir / "2001"), 0700u);
    EXPECT_EQ(test::ModeOf(Entry(2001, "0117.dia")), 0600u);
    EXPECT_FALSE(Exists(Entry(2001, "0117.$$$")));
    EXPECT_FALSE(session.Unsaved());
    EXPECT_TRUE(session.Modified());  // only the next load clears it
    EXPECT_EQ(session.YearDir(), dir / "2001");

    // An emptied entry is stored as an empty file.
    rig.Save("");
    EXPECT_EQ(ReadBytes(Entry(2001, "0117.dia")), "");
}

TEST_F(SessionTest, LoneLineFeedsComeBackAsCrLf) {
    Put(2001, "0117.dia", "a\nb\n");
    const TDateTime day = Day(2001, 1, 17);
    auto loaded = rig.GoTo(day);
    session.UpperChanged();
    rig.Save(loaded.upper.text);
    EXPECT_EQ(ReadBytes(Entry(2001, "0117.dia")), "a\r\nb\r\n");
}

TEST_F(SessionTest, MissingDataFolderStopsTheSaveWithTheCreateMessage) {
    settings.DataPath = dir / "nowhere";
    const TDateTime day = Day(2001, 1, 17);
    rig.GoTo(day);
    session.UpperChanged();
    try {
        rig.Save("text");
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.what(), CreateMessage(dir / "nowhere/2001/0117.dia"));
    }
    EXPECT_TRUE(test::Snapshot(dir.path()).empty());
    EXPECT_TRUE(session.Modified());
    EXPECT_TRUE(session.Unsaved());
}

TEST_F(SessionTest, AnEntryThatCannotBeOpenedStopsTheLoad) {
    Put(2001, "0117.dia", "upper");
    // The first open reads the file for its version; the second is the load.
    fsio::fault::FailNth(fsio::fault::Op::Open, 2);
    try {
        rig.GoTo(Day(2001, 1, 17));
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.what(), OpenMessage(Entry(2001, "0117.dia")));
    }
    EXPECT_TRUE(fsio::fault::Fired());
}

TEST_F(SessionTest, AFailedLoadKeepsWhatWasLoadedBefore) {
    Put(2001, "0117.dia", "upper");
    ::mkdir((dir / "2000").c_str(), 0700);
    // A pipe is never opened, so the load cannot hang on it.
    ASSERT_EQ(::mkfifo(Entry(2000, "0117.dia").c_str(), 0600), 0);
    try {
        rig.GoTo(Day(2001, 1, 17));
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.what(), OpenMessage(Entry(2000, "0117.dia")));
    }
    EXPECT_EQ(rig.view.incompleteLoads, 1);
    EXPECT_EQ(session.Upper().text, "upper");
    EXPECT_EQ(session.Lower().text, "");
    EXPECT_EQ(session.StatusLine(), "");  // the status bar keeps what it had
    // The upper pane was loaded whole, so it may be edited and saved.
    EXPECT_FALSE(session.UpperReadOnly());
    rig.Type("edited");
    session.Save();
    EXPECT_EQ(ReadBytes(Entry(2001, "0117.dia")), "edited");
}

TEST_F(SessionTest, AnUpperEntryThatCouldNotBeLoadedIsNeverOverwritten) {
    ::mkdir((dir / "2001").c_str(), 0700);
    ASSERT_EQ(::mkfifo(Entry(2001, "0117.xda").c_str(), 0600), 0);
    EXPECT_THROW(rig.GoTo(Day(2001, 1, 17)), AppError);
    EXPECT_TRUE(session.UpperReadOnly());
    EXPECT_EQ(session.Upper().source, PaneSource::Unreadable);
    const auto before = test::Snapshot(dir.path());
    rig.Type("");
    session.Save();
    EXPECT_EQ(test::Snapshot(dir.path()), before);
}

TEST_F(SessionTest, AutomaticDateGoesOnlyIntoAnEmptyUpperPane) {
    settings.AutoInsertDate = true;
    settings.DateFormat = "yyyy\"/\"mm\"/\"dd";
    struct Case {
        const char* name;
        std::optional<std::string> stored;  // nullopt: no file
        std::string upper;
        bool inserted;
    };
    const std::vector<Case> cases = {
        {"no entry", std::nullopt, "2001/01/17\r\n", true},
        {"empty entry", "", "2001/01/17\r\n", true},
        {"zero byte first", std::string("\0x", 2), "2001/01/17\r\n", true},
        {"only a line break", "\n", "\r\n", false},
        {"text", "abc", "abc", false},
    };
    for (const auto& c : cases) {
        std::remove(Entry(2001, "0117.dia").c_str());
        if (c.stored) Put(2001, "0117.dia", *c.stored);
        auto loaded = rig.GoTo(Day(2001, 1, 17) + 0.5);
        EXPECT_EQ(loaded.upper.text, c.upper) << c.name;
        EXPECT_EQ(loaded.dateInserted, c.inserted) << c.name;
        EXPECT_FALSE(session.Modified()) << c.name;
    }
    settings.AutoInsertDate = false;
    std::remove(Entry(2001, "0117.dia").c_str());
    EXPECT_EQ(rig.GoTo(Day(2001, 1, 17)).upper.text, "");
}

// The current day as year, month, day.
std::vector<int> Ymd(TDateTime value) {
    const DateParts d = DecodeDateValue(value);
    return {d.year, d.month, d.day};
}

TEST_F(SessionTest, StepsKeepTheTimeOfDayAndStopAtTheCalendarsEnds) {
    struct Case {
        const char* name;
        TDateTime from;
        int days;  // 0: a year step
        bool forward;
        std::optional<TDateTime> to;  // nothing: the step is refused
    };
    const TDateTime time = 0.75;  // 18:00
    const std::vector<Case> cases = {
        {"day forward across the year", Day(2004, 12, 31), 1, true, Day(2005, 1, 1)},
        {"day back before 1899", Day(1899, 12, 31), -1, false, Day(1899, 12, 30) - 0.0},
        {"day back into 1899", Day(1899, 12, 30), -1, false, Day(1899, 12, 29)},
        {"year back from a leap day", Day(2004, 2, 29), 0, false, Day(2003, 2, 28)},
        {"year forward from a leap day", Day(2004, 2, 29), 0, true, Day(2005, 2, 28)},
        {"year forward into 1900", Day(1899, 12, 28), 0, true, Day(1900, 12, 28)},
        {"last day forward", Day(9999, 12, 31), 1, true, std::nullopt},
        {"last year forward", Day(9999, 6, 1), 0, true, std::nullopt},
        {"first day back", Day(1601, 1, 1), -1, false, std::nullopt},
        {"first year back", Day(1601, 12, 1), 0, false, std::nullopt},
    };
    for (const Case& c : cases) {
        // Before 1899-12-30 the time of day counts away from zero.
        const TDateTime from = c.from >= 0 ? c.from + time : c.from - time;
        rig.session.SetClock([from] { return from; });
        ASSERT_FALSE(session.Open()) << c.name;
        rig.Type("edge");
        const int changes = rig.view.dayChanges;
        try {
            if (c.days != 0) {
                session.StepDays(c.days);
            } else {
                session.StepYear(c.forward);
            }
            EXPECT_TRUE(c.to.has_value()) << c.name;
        } catch (const AppError& e) {
            EXPECT_FALSE(c.to.has_value()) << c.name;
            EXPECT_EQ(e.what(), Cp932("カレンダーに日付時刻を設定できません。")) << c.name;
        }
        // The entry left is saved either way.
        EXPECT_EQ(ReadBytes(YearFolder(dir.path(), from) + "/" + EntryName(from) + ".dia"), "edge")
            << c.name;
        const TDateTime want = c.to ? *c.to : c.from;
        EXPECT_EQ(Ymd(session.Day()), Ymd(want)) << c.name;
        EXPECT_EQ(DecodeTimeValue(session.Day()).hour, 18) << c.name;
        EXPECT_EQ(rig.view.dayChanges - changes, c.to ? 1 : 0) << c.name;
    }
}

TEST_F(SessionTest, PickerEnterSavesAndAChangeOnlyLoads) {
    Put(2001, "0118.dia", "next day");
    session.Open();
    rig.Type("before the pick");
    session.PickerEntered();
    EXPECT_EQ(ReadBytes(Entry(2001, "0117.dia")), "before the pick");
    EXPECT_FALSE(session.Unsaved());

    fsio::fault::Reset();
    rig.Type("typed after the save, in the picker's time");
    session.PickerChanged(2001, 1, 18);
    // The change went to the day it belongs to, and nothing else was written
    // but the replaced text, kept as an earlier version.
    EXPECT_EQ(ReadBytes(Entry(2001, "0117.dia")), "typed after the save, in the picker's time");
    EXPECT_EQ(fsio::fault::Calls(fsio::fault::Op::Create), 2);
    EXPECT_EQ(Ymd(session.Day()), (std::vector<int>{2001, 1, 18}));
    EXPECT_EQ(session.Upper().text, "next day");
    EXPECT_DOUBLE_EQ(session.Day() - Day(2001, 1, 18), 0.5);

    // Without a change a pick writes nothing.
    session.PickerChanged(2001, 1, 19);
    EXPECT_EQ(fsio::fault::Calls(fsio::fault::Op::Create), 2);
}

TEST_F(SessionTest, APickWhoseSaveFailsGoesBack) {
    session.Open();
    rig.Put("");
    rig.pane.text += cp932::ToUtf16(session.InsertDate());
    fsio::fault::FailNth(fsio::fault::Op::Create, 1);
    const int changes = rig.view.dayChanges;
    EXPECT_THROW(session.PickerChanged(2001, 2, 1), AppError);
    EXPECT_EQ(Ymd(session.Day()), (std::vector<int>{2001, 1, 17}));
    EXPECT_EQ(rig.view.dayChanges, changes + 1);  // the picker is told to go back
    EXPECT_TRUE(session.Modified());
    EXPECT_FALSE(Exists(Entry(2001, "0117.dia")));
}

TEST_F(SessionTest, InsertDateAppendsALineAndCountsAsAChange) {
    settings.DateFormat = "yyyy\"/\"mm\"/\"dd";
    session.Open();
    struct Case {
        std::u16string pane;
        std::string appended;
    };
    const std::vector<Case> cases = {
        {u"", "2001/01/17\r\n"},
        {u"abc", "\r\n2001/01/17"},
        {u"abc\r\n", "2001/01/17\r\n"},
        {u"abc\r", "\r\n2001/01/17"},
    };
    for (const Case& c : cases) {
        session.Load();
        rig.pane.text = c.pane;
        EXPECT_FALSE(session.Modified());
        EXPECT_EQ(session.InsertDate(), c.appended);
        EXPECT_TRUE(session.Modified());
    }
    // A pattern without a specifier goes in as it is.
    settings.DateFormat = "\"--\"";
    rig.pane.text.clear();
    EXPECT_EQ(session.InsertDate(), "--\r\n");
}

TEST_F(SessionTest, ASealedEntryTakesNoDateAndIsNeverSaved) {
    Put(2001, "0117.xda", test::HandContainer("old", "other", 0));
    settings.Password = "mine";
    session.Open();
    EXPECT_EQ(session.Upper().source, PaneSource::Sealed);
    EXPECT_TRUE(session.UpperReadOnly());
    EXPECT_EQ(session.InsertDate(), "");
    EXPECT_FALSE(session.Modified());
    const auto before = test::Snapshot(dir.path());
    rig.Type("overwrite");
    session.StepDays(1);
    EXPECT_EQ(test::Snapshot(dir.path()), before);
}

TEST_F(SessionTest, TextThatCodePage932CannotHoldStopsTheSave) {
    session.Open();
    rig.pane.text = u"晴れ\U0001F600のち";
    session.UpperChanged();
    try {
        session.StepDays(1);
        FAIL() << "no error";
    } catch (const UnstorableTextError& e) {
        EXPECT_EQ(e.character(), U'\U0001F600');
        EXPECT_EQ(std::string(e.what()).substr(0, 9), "(U+1F600)");
    }
    EXPECT_EQ(Ymd(session.Day()), (std::vector<int>{2001, 1, 17}));
    EXPECT_TRUE(session.Unsaved());
    EXPECT_TRUE(test::Snapshot(dir.path()).empty());
}

// Under the strong lock the entry is UTF-8 inside: whatever characters it
// holds, it loads whole, takes typing and is saved as typed.
TEST_F(SessionTest, UnderTheStrongLockAnyCharacterIsKept) {
    TempDir home;
    ::setenv("XDG_DATA_HOME", home.path().c_str(), 1);
    test::PutUnderStrongLock(dir.path());
    const std::shared_ptr<const lock::DiaryKey> key = lock::KeyFor(dir.path());
    struct Case {
        const char* what;
        std::string stored, shown;
        PaneSource source;
    } cases[] = {
        {"code page 932 only", "\xE6\x99\xB4\xE3\x82\x8C\r\nline",
         "\xE6\x99\xB4\xE3\x82\x8C\r\nline", PaneSource::Strong},
        {"an emoji", "\xF0\x9F\x98\x80 smile", "\xF0\x9F\x98\x80 smile", PaneSource::StrongWide},
        {"a character of another script", "\xE2\x82\xAC \xEA\xB0\x80", "\xE2\x82\xAC \xEA\xB0\x80",
         PaneSource::StrongWide},
        {"lone line feeds and a zero byte", std::string("\xF0\x9F\x98\x80\na\rb\0c", 11),
         "\xF0\x9F\x98\x80\r\na\r\nb", PaneSource::StrongWide},
    };
    for (const Case& c : cases) {
        Put(2001, "0117.kvd", *lock::SealEntry(c.stored, "2001-01-17", key->id, key->key));
        // The prompt has opened the key: the session then unlocks.
        ASSERT_TRUE(session.Open());
        ASSERT_TRUE(session.UnlockOpened());
        EXPECT_EQ(session.Upper().source, c.source) << c.what;
        EXPECT_EQ(session.Upper().utf8, c.shown) << c.what;
        EXPECT_FALSE(session.UpperReadOnly()) << c.what;
        const std::string typed = c.shown + "\r\n\xF0\x9F\x8C\xB8";
        rig.pane.text.clear();
        unicode::Utf8ToUtf16(typed, rig.pane.text);
        session.UpperChanged();
        session.Save();
        std::string back;
        ASSERT_EQ(lock::ReadStrongEntry(Entry(2001, "0117.kvd"), "2001-01-17", *key, back),
                  lock::EntryRead::Opened);
        EXPECT_EQ(back, typed) << c.what;
        // A second save of the same day meets its own write, no conflict.
        rig.pane.text += u"!";
        session.UpperChanged();
        session.StepDays(1);
        EXPECT_TRUE(rig.view.conflicts.empty()) << c.what;
        EXPECT_FALSE(Exists(Entry(2001, "0117.dia"))) << c.what;
    }
    lock::ForgetKey(dir.path());
}

TEST_F(SessionTest, APasswordOpensTheDiaryOnTheDayItIsGiven) {
    settings.UseEncryption = true;
    settings.Password = "Pass";
    Put(2001, "0118.dia", "the next morning");
    EXPECT_TRUE(session.Open());
    EXPECT_TRUE(session.Locked());
    EXPECT_EQ(rig.view.loads, 0);
    // Compared byte for byte: case counts, and a wrong try changes nothing.
    for (const char* wrong : {"pass", "Pass ", ""}) EXPECT_FALSE(session.Unlock(wrong)) << wrong;
    EXPECT_TRUE(session.Locked());
    // The prompt was left open over midnight.
    rig.session.SetClock([] { return Day(2001, 1, 18) + 0.01; });
    EXPECT_TRUE(session.Unlock("Pass"));
    EXPECT_FALSE(session.Locked());
    EXPECT_EQ(session.Upper().text, "the next morning");
    EXPECT_EQ(Ymd(session.Day()), (std::vector<int>{2001, 1, 18}));

    // An empty password is opened by an empty text.
    test::SessionRig empty(dir / "other");
    empty.settings().UseEncryption = true;
    EXPECT_TRUE(empty.session.Open());
    EXPECT_TRUE(empty.session.Unlock(""));
}

TEST_F(SessionTest, AnUnreadableEntryDoesNotShutTheDiary) {
    settings.UseEncryption = true;
    settings.Password = "pw";
    ::mkdir((dir / "2001").c_str(), 0700);
    ASSERT_EQ(::mkfifo(Entry(2001, "0117.dia").c_str(), 0600), 0);
    session.Open();
    EXPECT_THROW(session.Unlock("pw"), AppError);
    EXPECT_FALSE(session.Locked());
    EXPECT_TRUE(session.UpperReadOnly());
}

TEST_F(SessionTest, TheEndsSaveTheEntryAndOnlyClosingWritesTheSettings) {
    struct Case {
        const char* name;
        bool close;
        bool failSave;
    };
    for (const Case& c :
         {Case{"close", true, false}, Case{"exit", false, false},
          Case{"close, save fails", true, true}, Case{"exit, save fails", false, true}}) {
        TempDir app;
        DiarySession s(FixedAppPaths(app.path()), DefaultSettings(FixedAppPaths(app.path())));
        test::TestPane pane;
        s.SetUpperPane(&pane);
        s.Open();
        pane.text = u"last words";
        s.UpperChanged();
        if (c.failSave) fsio::fault::FailNth(fsio::fault::Op::Create, 1);
        ClosingState state;
        try {
            if (c.close) {
                EXPECT_EQ(s.CloseWindow(state), "") << c.name;
            } else {
                s.Exit();
            }
        } catch (const AppError&) {
            EXPECT_TRUE(c.failSave) << c.name;
        }
        fsio::fault::Reset();
        EXPECT_EQ(s.Ended(), !c.failSave) << c.name;
        const std::string entry =
            YearFolder(app / "data", s.Day()) + "/" + EntryName(s.Day()) + ".dia";
        EXPECT_EQ(Exists(entry), !c.failSave) << c.name;
        // The default data folder is made at the first save, the settings file only on a close.
        EXPECT_EQ(Exists(app / "data/diary.ini"), c.close && !c.failSave) << c.name;
    }
}

TEST_F(SessionTest, AFolderTheUserChoseIsNotMadeByASave) {
    settings.DataPath = dir / "unmounted/diary";
    session.Open();
    rig.Type("text");
    EXPECT_THROW(session.Save(), AppError);
    EXPECT_FALSE(Exists(dir / "unmounted"));
}

TEST_F(SessionTest, UntouchedCharactersKeepTheirCodes) {
    // Three characters that code page 932 has twice, then "end".
    Put(2001, "0117.dia",
        "\xED\x40\x87\x90\xFA\x54"
        "end");
    session.Open();
    rig.Show();
    rig.pane.text += u"Z";
    session.UpperChanged();
    session.Save();
    EXPECT_EQ(ReadBytes(Entry(2001, "0117.dia")),
              "\xED\x40\x87\x90\xFA\x54"
              "endZ");
}

// The end of a desktop session waits on no one: what cannot be saved is kept
// in a recovery file, sealed under the password in a locked diary, and the
// next start says so once.
TEST(SessionEnd, TheEndOfASessionKeepsWhatCannotBeSaved) {
    const struct {
        bool locked;
        const char* ending;
    } cases[] = {{false, ".txt"}, {true, ".xda"}};
    const std::string text = "晴れ\U0001F600";
    for (const auto& c : cases) {
        TempDir dir;
        test::SessionRig rig(dir.path());
        const std::string state = dir / "state";
        const char* saved = std::getenv("XDG_STATE_HOME");
        ::setenv("XDG_STATE_HOME", state.c_str(), 1);
        rig.settings().UseEncryption = c.locked;
        rig.settings().Password = "pw";
        test::MakeDir(dir / "2001");
        WriteBytes(dir / "2001/0117.dia", "old words");
        if (rig.session.Open()) {
            ASSERT_TRUE(rig.session.Unlock("pw"));
        }
        const auto before = test::Snapshot(dir / "2001");
        rig.pane.text = u"晴れ\U0001F600";
        rig.session.UpperChanged();
        rig.session.EndSession(ClosingState{});
        EXPECT_TRUE(rig.session.Ended());
        EXPECT_EQ(test::Snapshot(dir / "2001"), before);
        const std::vector<std::string> kept = UnannouncedRecoveredFiles(state + "/kuvandoro");
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(kept[0].substr(kept[0].size() - 4), c.ending);
        const std::string bytes = ReadBytes(kept[0]);
        if (c.locked) {
            EXPECT_EQ(bytes.find("\xe6\x99\xb4"), std::string::npos) << "a plain word on disk";
            EXPECT_EQ(OpenSealed(bytes, "pw"), text);
        } else {
            EXPECT_EQ(bytes, text);
        }
        EXPECT_EQ(test::ModeOf(kept[0]), 0600u);

        test::SessionRig next(dir.path());
        const std::string notice = next.session.TakeRecoveryNotice();
        EXPECT_NE(notice.find(kept[0]), std::string::npos);
        EXPECT_EQ(notice.find("kuvandoro-cli decode") != std::string::npos, c.locked);
        EXPECT_EQ(next.session.TakeRecoveryNotice(), "");
        if (saved != nullptr) {
            ::setenv("XDG_STATE_HOME", saved, 1);
        } else {
            ::unsetenv("XDG_STATE_HOME");
        }
    }
}

TEST_F(SessionTest, AnUnreadableSettingsFileIsKeptAndDoesNotHoldTheCloseUp) {
    TempDir app;
    const AppPaths paths = FixedAppPaths(app.path());
    ::mkdir(paths.settingsFolder.c_str(), 0700);
    WriteBytes(paths.settingsPath,
               test::HandContainer("[SYSTEM]\r\nUSEPASSWORD=1\r\n", "another key", 0));
    const std::string stored = ReadBytes(paths.settingsPath);
    DiarySession s(paths, DefaultSettings(paths));
    EXPECT_FALSE(s.ReadSettings().usable());
    EXPECT_FALSE(s.Settings().UseEncryption);
    s.Open();
    const std::string notice = s.CloseWindow(ClosingState{});
    EXPECT_TRUE(s.Ended());
    EXPECT_NE(notice.find(paths.settingsPath), std::string::npos);
    EXPECT_EQ(ReadBytes(paths.settingsPath), stored);
}

}  // namespace
}  // namespace kuv
