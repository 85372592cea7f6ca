#include "diary/diary_book.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
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

TEST(DiaryBook, YearFolderThatIsAFileStopsTheSave) {
    TempDir dir;
    WriteBytes(dir / "2001", "not a folder");
    EXPECT_THROW(SaveEntry(dir / "2001", "0117", "t", false, ""), AppError);
    EXPECT_EQ(ReadBytes(dir / "2001"), "not a folder");
}

TEST(DiaryBook, SymbolicLinksAreFollowed) {
    TempDir dir;
    WriteBytes(dir / "elsewhere.txt", "linked\n");
    ::mkdir((dir / "2001").c_str(), 0700);
    ASSERT_EQ(::symlink((dir / "elsewhere.txt").c_str(), (dir / "2001/0117.dia").c_str()), 0);
    EXPECT_EQ(LoadPane(dir / "2001", "0117", "").text, "linked\r\n");
    // A dangling link is no entry.
    ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "2001/0118.dia").c_str()), 0);
    EXPECT_EQ(LoadPane(dir / "2001", "0118", "").source, PaneSource::None);
}

TEST(DiaryBook, ThePaneLimitCountsTheTextThePaneGets) {
    TempDir dir;
    ::mkdir((dir / "2001").c_str(), 0700);
    const std::string entry = dir / "2001/0117.dia";
    struct Case {
        const char* name;
        std::string bytes;
        bool fits;
    };
    const std::string zeroAfterText = "short" + std::string(1, '\0');
    const std::vector<Case> cases = {
        {"just at the limit", std::string(kMaxPaneBytes, 'a'), true},
        {"one byte over", std::string(kMaxPaneBytes + 1, 'a'), false},
        // Lone line feeds double in the pane.
        {"line feeds that become CR LF", std::string(kMaxPaneBytes / 2 + 1, '\n'), false},
        // A large file whose text ends at a zero byte gives a short text.
        {"ends early at a zero", zeroAfterText + std::string(kMaxPaneBytes + 10, 'b'), true},
    };
    for (const Case& c : cases) {
        WriteBytes(entry, c.bytes);
        try {
            const PaneContent pane = LoadPane(dir / "2001", "0117", "");
            EXPECT_TRUE(c.fits) << c.name;
            EXPECT_EQ(pane.text, PaneTextFromFile(c.bytes)) << c.name;
        } catch (const AppError& e) {
            EXPECT_FALSE(c.fits) << c.name;
            EXPECT_EQ(e.what(), Cp932("文字列の大きさが メモ の制限を越えました")) << c.name;
        }
    }
}

}  // namespace
}  // namespace kuv
