#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diary/date_insertion.h"
#include "diary/diary_book.h"
#include "diary/navigation.h"
#include "tests/support/reference.h"

namespace kuv {
namespace {

using test::Day;

struct YearStep {
    int y, m, d;
    bool forward;
    int days;
    int toY, toM, toD;
};

TEST(YearStepDays, FollowsTheLeapYearTable) {
    const std::vector<YearStep> cases = {
        // Back, on or before 28 February: Y - 1 decides.
        {2005, 1, 10, false, 366, 2004, 1, 10},
        {2004, 1, 10, false, 365, 2003, 1, 10},
        {2005, 2, 28, false, 366, 2004, 2, 28},
        {1901, 2, 1, false, 365, 1900, 2, 1},  // 1900 is no leap year
        {2001, 1, 1, false, 366, 2000, 1, 1},  // 2000 is one
        // Back, on or after 29 February: Y decides.
        {2004, 3, 1, false, 366, 2003, 3, 1},
        {2005, 3, 1, false, 365, 2004, 3, 1},
        {2004, 2, 29, false, 366, 2003, 2, 28},
        {2004, 12, 31, false, 366, 2003, 12, 31},
        // Forward, on or before 28 February: Y decides.
        {2004, 2, 28, true, 366, 2005, 2, 28},
        {2003, 1, 31, true, 365, 2004, 1, 31},
        {1900, 1, 1, true, 365, 1901, 1, 1},
        // Forward, on or after 29 February: Y + 1 decides.
        {2003, 3, 1, true, 366, 2004, 3, 1},
        {2004, 3, 1, true, 365, 2005, 3, 1},
        {2003, 12, 31, true, 366, 2004, 12, 31},
        {2004, 2, 29, true, 365, 2005, 2, 28},
        {2099, 6, 1, true, 365, 2100, 6, 1},
    };
    for (const auto& c : cases) {
        const TDateTime from = Day(c.y, c.m, c.d) + 0.75;
        const int n = YearStepDays(from, c.forward);
        EXPECT_EQ(n, c.days) << c.y << "-" << c.m << "-" << c.d << (c.forward ? " +" : " -");
        const TDateTime to = c.forward ? from + n : from - n;
        const DateParts p = DecodeDateValue(to);
        EXPECT_EQ(p.year, c.toY) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(p.month, c.toM) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(p.day, c.toD) << c.y << "-" << c.m << "-" << c.d;
        // The time of day rides along.
        EXPECT_DOUBLE_EQ(to - Day(c.toY, c.toM, c.toD), 0.75);
    }
}

TEST(DayStep, CrossesTheYearIntoNewFolders) {
    const TDateTime next = Day(2004, 12, 31) + 1;
    EXPECT_EQ(YearFolder("/d", next), "/d/2005");
    EXPECT_EQ(YearFolder("/d", next - 365), "/d/2004");
    EXPECT_EQ(EntryName(next), "0101");
}

struct Append {
    const char* name;
    std::string text;
    std::string result;
};

TEST(AppendDateLine, AddsTheStampAsANewLastLine) {
    const std::string d = "2001/01/17 (Wed)";
    const std::vector<Append> cases = {
        {"empty", "", d + "\r\n"},
        {"text without a break", "abc", "abc\r\n" + d},
        {"text with a final break", "abc\r\n", "abc\r\n" + d + "\r\n"},
        {"only a break", "\r\n", "\r\n" + d + "\r\n"},
        {"two lines", "a\r\nb", "a\r\nb\r\n" + d},
        {"a lone CR is no line end", "abc\r", "abc\r\r\n" + d},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AppendDateLine(c.text, d), c.result) << c.name;
        // The window appends the same line to the UTF-16 text of its pane.
        const std::u16string wide(c.text.begin(), c.text.end());
        EXPECT_EQ(c.text + DateLine(AtLineStart(wide), d), c.result) << c.name;
    }
    EXPECT_EQ(AppendDateLine("x", ""), "x\r\n");
}

TEST(HoldsNoLine, OnlyTheEmptyText) {
    EXPECT_TRUE(HoldsNoLine(""));
    EXPECT_FALSE(HoldsNoLine("\r\n"));
    EXPECT_FALSE(HoldsNoLine(" "));
    EXPECT_FALSE(HoldsNoLine("\x17"));
}

}  // namespace
}  // namespace kuv
