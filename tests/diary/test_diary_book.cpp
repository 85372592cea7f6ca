#include "diary/diary_book.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/fileio.h"
#include "tests/support/reference.h"
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

struct TextCase {
    const char* name;
    std::string file;
    std::string pane;
};

TEST(PaneTextFromFile, FollowsTheTextRules) {
    const std::vector<TextCase> cases = {
        {"empty", "", ""},
        {"zero ends the text", std::string("a\0b", 3), "a"},
        {"leading zero", std::string("\0abc", 4), ""},
        {"lone LF", "one\ntwo\n", "one\r\ntwo\r\n"},
        {"lone CR", "one\rtwo\r", "one\r\ntwo\r\n"},
        {"CR LF kept", "one\r\ntwo", "one\r\ntwo"},
        {"LF CR is two breaks", "a\n\rb", "a\r\n\r\nb"},
        {"CR CR LF", "a\r\r\nb", "a\r\n\r\nb"},
        {"mixed", "a\r\nb\nc\rd", "a\r\nb\r\nc\r\nd"},
        {"break before the zero only", std::string("a\nb\0c\nd", 7), "a\r\nb"},
        {"double-byte text", Cp932("日記\n"), Cp932("日記") + "\r\n"},
        // 0x0A never is a trail byte in code page 932, but 0x5C is; it stays.
        {"trail byte 0x5C", Cp932("表\n"), Cp932("表") + "\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PaneTextFromFile(c.file), c.pane) << c.name;
    }
}

TEST(EntryPaths, NameTheYearFolderAndTheDay) {
    EXPECT_EQ(YearFolder("/d", Day(2001, 1, 17)), "/d/2001");
    EXPECT_EQ(YearFolder("/d", Day(987, 5, 4)), "/d/0987");
    EXPECT_EQ(EntryName(Day(2001, 1, 17)), "0117");
    EXPECT_EQ(EntryName(Day(2004, 12, 31)), "1231");
    // The time of day plays no part.
    EXPECT_EQ(EntryName(Day(2004, 2, 29) + 0.999), "0229");
    EXPECT_EQ(YearFolder("/d", Day(2004, 12, 31) + 0.5), "/d/2004");
}

TEST(StatusLine, NamesBothYears) {
    EXPECT_EQ(StatusLine(Day(2001, 1, 17) + 0.25), Cp932("▲ 2001年  ▼ 2000年"));
    // 365 days back from 31 December of a leap year is still that year.
    EXPECT_EQ(StatusLine(Day(2004, 12, 31)), Cp932("▲ 2004年  ▼ 2004年"));
    EXPECT_EQ(StatusLine(Day(2005, 1, 1)), Cp932("▲ 2005年  ▼ 2004年"));
}

class DiaryBookTest : public ::testing::Test {
  protected:
    DiaryBookTest() : book(settings) { settings.DataPath = dir.path(); }
    void TearDown() override { fsio::fault::Reset(); }

    std::string Entry(int year, const char* name) const {
        return dir / (std::to_string(year) + "/" + name);
    }
    void Put(int year, const char* name, const std::string& bytes) {
        ::mkdir((dir / std::to_string(year)).c_str(), 0700);
        WriteBytes(Entry(year, name), bytes);
    }

    TempDir dir;
    TDiarySettings settings;
    DiaryBook book;
};

TEST_F(DiaryBookTest, LoadsBothPanesAndTheStatusLine) {
    Put(2001, "0117.dia", "this year\n");
    Put(2000, "0117.dia", std::string("last\0year", 9));
    const TDateTime day = Day(2001, 1, 17) + 0.5;
    auto loaded = book.LoadDiary(day, day);
    EXPECT_EQ(loaded.upper.text, "this year\r\n");
    EXPECT_EQ(loaded.upper.source, PaneSource::Plain);
    EXPECT_EQ(loaded.lower.text, "last");
    EXPECT_EQ(loaded.lower.source, PaneSource::Plain);
    EXPECT_EQ(loaded.status, Cp932("▲ 2001年  ▼ 2000年"));
    EXPECT_FALSE(loaded.dateInserted);
    EXPECT_EQ(book.YearDir(), dir / "2001");
    EXPECT_EQ(book.LastYearDir(), dir / "2000");
    EXPECT_EQ(book.LoadedDay(), day);
    EXPECT_FALSE(book.Modified());
    EXPECT_FALSE(book.UpperSealed());
}

TEST_F(DiaryBookTest, MissingEntriesLeaveThePanesEmpty) {
    auto loaded = book.LoadDiary(Day(2001, 1, 17), Day(2001, 1, 17));
    EXPECT_EQ(loaded.upper.text, "");
    EXPECT_EQ(loaded.upper.source, PaneSource::None);
    EXPECT_EQ(loaded.lower.source, PaneSource::None);
    // A folder that bears an entry's name is no entry.
    ::mkdir((dir / "2001").c_str(), 0700);
    ::mkdir(Entry(2001, "0117.dia").c_str(), 0700);
    EXPECT_EQ(book.LoadDiary(Day(2001, 1, 17), Day(2001, 1, 17)).upper.source, PaneSource::None);
}

TEST_F(DiaryBookTest, FileNamesComeFromTheDateAndFoldersFromThePicker) {
    Put(2001, "0118.dia", "eighteenth");
    Put(2000, "0118.dia", "a year before");
    auto loaded = book.LoadDiary(Day(2001, 1, 17), Day(2001, 1, 18));
    EXPECT_EQ(loaded.upper.text, "eighteenth");
    EXPECT_EQ(loaded.lower.text, "a year before");
}

TEST_F(DiaryBookTest, LeapYearLookBackReadsTheSameFolder) {
    Put(2004, "1231.dia", "new year's eve");
    const TDateTime day = Day(2004, 12, 31);
    auto loaded = book.LoadDiary(day, day);
    EXPECT_EQ(book.YearDir(), book.LastYearDir());
    EXPECT_EQ(loaded.upper.text, "new year's eve");
    EXPECT_EQ(loaded.lower.text, "new year's eve");
    EXPECT_EQ(loaded.status, Cp932("▲ 2004年  ▼ 2004年"));

    // One day on, the panes read from the folders 2005 and 2004.
    Put(2005, "0101.dia", "upper");
    Put(2004, "0101.dia", "lower");
    loaded = book.LoadDiary(day + 1, day + 1);
    EXPECT_EQ(loaded.upper.text, "upper");
    EXPECT_EQ(loaded.lower.text, "lower");
}

TEST_F(DiaryBookTest, MovingWithoutTypingWritesNothing) {
    settings.AutoInsertDate = true;
    settings.DateFormat = "yyyy\"/\"mm\"/\"dd";
    Put(2000, "0117.dia", "last year");
    const auto before = test::Snapshot(dir.path());
    const TDateTime day = Day(2001, 1, 17);
    auto loaded = book.LoadDiary(day, day);
    EXPECT_TRUE(loaded.dateInserted);
    // Typing into the lower pane counts for nothing: only MarkChanged does.
    book.SaveDiary(day, loaded.upper.text + "typed");
    book.LoadDiary(day + 1, day + 1);
    book.SaveDiary(day + 1, "x");
    EXPECT_EQ(test::Snapshot(dir.path()), before);
}

TEST_F(DiaryBookTest, SaveCreatesTheYearFolderAndWritesTheTextUnchanged) {
    const TDateTime day = Day(2001, 1, 17);
    book.LoadDiary(day, day);
    book.MarkChanged();
    EXPECT_TRUE(book.Unsaved());
    const std::string text = Cp932("一行目\r\n二行目");
    book.SaveDiary(day, text);
    EXPECT_EQ(ReadBytes(Entry(2001, "0117.dia")), text);
    EXPECT_EQ(test::ModeOf(dir / "2001"), 0700u);
    EXPECT_EQ(test::ModeOf(Entry(2001, "0117.dia")), 0600u);
    EXPECT_FALSE(Exists(Entry(2001, "0117.$$$")));
    EXPECT_FALSE(book.Unsaved());
    EXPECT_TRUE(book.Modified());  // only the next load clears it
    EXPECT_EQ(book.YearDir(), dir / "2001");

    // An emptied entry is stored as an empty file.
    book.SaveDiary(day, "");
    EXPECT_EQ(ReadBytes(Entry(2001, "0117.dia")), "");
}

TEST_F(DiaryBookTest, LoneLineFeedsComeBackAsCrLf) {
    Put(2001, "0117.dia", "a\nb\n");
    const TDateTime day = Day(2001, 1, 17);
    auto loaded = book.LoadDiary(day, day);
    book.MarkChanged();
    book.SaveDiary(day, loaded.upper.text);
    EXPECT_EQ(ReadBytes(Entry(2001, "0117.dia")), "a\r\nb\r\n");
}

TEST_F(DiaryBookTest, MissingDataFolderStopsTheSaveWithTheCreateMessage) {
    settings.DataPath = dir / "nowhere";
    const TDateTime day = Day(2001, 1, 17);
    book.LoadDiary(day, day);
    book.MarkChanged();
    try {
        book.SaveDiary(day, "text");
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.what(), CreateMessage(dir / "nowhere/2001/0117.dia"));
    }
    EXPECT_TRUE(test::Snapshot(dir.path()).empty());
    EXPECT_TRUE(book.Modified());
    EXPECT_TRUE(book.Unsaved());
}

TEST_F(DiaryBookTest, YearFolderThatIsAFileStopsTheSave) {
    WriteBytes(dir / "2001", "not a folder");
    EXPECT_THROW(SaveEntry(dir / "2001", "0117", "t", false, ""), AppError);
    EXPECT_EQ(ReadBytes(dir / "2001"), "not a folder");
}

TEST_F(DiaryBookTest, SymbolicLinksAreFollowed) {
    WriteBytes(dir / "elsewhere.txt", "linked\n");
    ::mkdir((dir / "2001").c_str(), 0700);
    ASSERT_EQ(::symlink((dir / "elsewhere.txt").c_str(), Entry(2001, "0117.dia").c_str()), 0);
    EXPECT_EQ(LoadPane(dir / "2001", "0117", "").text, "linked\r\n");
    // A dangling link is no entry.
    ASSERT_EQ(::symlink((dir / "gone").c_str(), Entry(2001, "0118.dia").c_str()), 0);
    EXPECT_EQ(LoadPane(dir / "2001", "0118", "").source, PaneSource::None);
}

TEST_F(DiaryBookTest, AnEntryThatCannotBeOpenedStopsTheLoad) {
    Put(2001, "0117.dia", "upper");
    fsio::fault::FailNth(fsio::fault::Op::Open, 1);
    try {
        book.LoadDiary(Day(2001, 1, 17), Day(2001, 1, 17));
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.what(), OpenMessage(Entry(2001, "0117.dia")));
    }
    EXPECT_TRUE(fsio::fault::Fired());
}

TEST_F(DiaryBookTest, AFailedLoadKeepsWhatWasLoadedBefore) {
    Put(2001, "0117.dia", "upper");
    ::mkdir((dir / "2000").c_str(), 0700);
    // A pipe is never opened, so the load cannot hang on it.
    ASSERT_EQ(::mkfifo(Entry(2000, "0117.dia").c_str(), 0600), 0);
    DiaryBook::Loaded out;
    out.status = "old";
    try {
        book.LoadDiary(Day(2001, 1, 17), Day(2001, 1, 17), out);
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.what(), OpenMessage(Entry(2000, "0117.dia")));
    }
    EXPECT_EQ(out.upper.text, "upper");
    EXPECT_EQ(out.lower.text, "");
    EXPECT_EQ(out.status, "");
    // The upper pane was loaded whole, so it may be edited and saved.
    EXPECT_FALSE(book.UpperSealed());
    book.MarkChanged();
    book.SaveDiary(Day(2001, 1, 17), "edited");
    EXPECT_EQ(ReadBytes(Entry(2001, "0117.dia")), "edited");
}

TEST_F(DiaryBookTest, AnUpperEntryThatCouldNotBeLoadedIsNeverOverwritten) {
    ::mkdir((dir / "2001").c_str(), 0700);
    ASSERT_EQ(::mkfifo(Entry(2001, "0117.xda").c_str(), 0600), 0);
    DiaryBook::Loaded out;
    EXPECT_THROW(book.LoadDiary(Day(2001, 1, 17), Day(2001, 1, 17), out), AppError);
    EXPECT_TRUE(book.UpperSealed());
    const auto before = test::Snapshot(dir.path());
    book.MarkChanged();
    book.SaveDiary(Day(2001, 1, 17), "");
    EXPECT_EQ(test::Snapshot(dir.path()), before);
}

TEST_F(DiaryBookTest, AFileLargerThanThePaneStopsTheLoad) {
    Put(2001, "0117.dia", "");
    ASSERT_EQ(::truncate(Entry(2001, "0117.dia").c_str(), static_cast<off_t>(kMaxPaneBytes) + 1),
              0);
    try {
        LoadPane(dir / "2001", "0117", "");
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.what(), Cp932("文字列の大きさが メモ の制限を越えました"));
    }
    ASSERT_EQ(::truncate(Entry(2001, "0117.dia").c_str(), static_cast<off_t>(kMaxPaneBytes)), 0);
    EXPECT_EQ(LoadPane(dir / "2001", "0117", "").text, "");  // all zero bytes
}

TEST_F(DiaryBookTest, AutomaticDateGoesOnlyIntoAnEmptyUpperPane) {
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
        auto loaded = book.LoadDiary(Day(2001, 1, 17) + 0.5, Day(2001, 1, 17) + 0.5);
        EXPECT_EQ(loaded.upper.text, c.upper) << c.name;
        EXPECT_EQ(loaded.dateInserted, c.inserted) << c.name;
        EXPECT_FALSE(book.Modified()) << c.name;
    }
    settings.AutoInsertDate = false;
    std::remove(Entry(2001, "0117.dia").c_str());
    EXPECT_EQ(book.LoadDiary(Day(2001, 1, 17), Day(2001, 1, 17)).upper.text, "");
}

}  // namespace
}  // namespace kuv
