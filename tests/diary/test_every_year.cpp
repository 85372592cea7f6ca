#include "diary/every_year.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diary/catalog.h"
#include "diary/search.h"
#include "lock/strong_lock.h"
#include "platform/cp932.h"
#include "tests/support/reference.h"
#include "tests/support/session_rig.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Cp932;
using test::HandContainer;
using test::TempDir;
using test::WriteBytes;

class EveryYearTest : public ::testing::Test {
  protected:
    void Put(const std::string& path, const std::string& bytes) {
        ::mkdir((data / path.substr(0, 4)).c_str(), 0700);
        WriteBytes(data / path, bytes);
    }
    TempDir data;
};

TEST_F(EveryYearTest, ListsTheDayOfEveryYearNewestFirst) {
    Put("2001/0117.dia", Cp932("一行目\r\n二行目\r\n三行目\r\n四行目\r\n"));
    Put("2003/0117.xda", HandContainer(Cp932("鍵の日記"), "pw", 0));
    Put("2004/0117.xda", HandContainer(Cp932("別の鍵"), "other", 0));
    Put("2005/0117.dia", Cp932("一行だけ"));
    Put("2005/0118.dia", "next day");
    Put("2006/0116.dia", "day before");

    EveryYear list = ListEveryYear(data.path(), 1, 17, "pw", 2);
    ASSERT_EQ(list.entries.size(), 3u);
    EXPECT_EQ(list.entries[0].year, 2005);
    EXPECT_EQ(list.entries[0].firstLines, Cp932("一行だけ"));
    EXPECT_EQ(list.entries[1].year, 2003);
    EXPECT_EQ(list.entries[1].source, PaneSource::Locked);
    EXPECT_EQ(list.entries[1].text, Cp932("鍵の日記"));
    EXPECT_EQ(list.entries[2].year, 2001);
    EXPECT_EQ(list.entries[2].firstLines, Cp932("一行目\r\n二行目"));
    EXPECT_EQ(list.entries[2].text, Cp932("一行目\r\n二行目\r\n三行目\r\n四行目\r\n"));
    EXPECT_EQ(list.sealed, 1u);

    // While the diary is locked, both locked entries are left out and counted.
    list = ListEveryYear(data.path(), 1, 17, "");
    EXPECT_EQ(list.entries.size(), 2u);
    EXPECT_EQ(list.sealed, 2u);
    EXPECT_TRUE(ListEveryYear(data / "missing", 1, 17, "").entries.empty());
    EXPECT_TRUE(ListEveryYear(data.path(), 13, 1, "").entries.empty());
}

TEST_F(EveryYearTest, StrongLockedEntriesKeepEveryCharacter) {
    TempDir home;
    ::setenv("XDG_DATA_HOME", home.path().c_str(), 1);
    test::PutUnderStrongLock(data.path());
    const std::shared_ptr<const lock::DiaryKey> key = lock::KeyFor(data.path());
    const std::string text = "\xF0\x9F\x98\x80 one\r\ntwo\r\nthree";
    Put("2024/0117.kvd", *lock::SealEntry(text, "2024-01-17", key->id, key->key));
    const EveryYear list = ListEveryYear(data.path(), 1, 17, "", 2);
    lock::ForgetKey(data.path());
    ASSERT_EQ(list.entries.size(), 1u);
    EXPECT_EQ(list.entries[0].source, PaneSource::StrongWide);
    EXPECT_EQ(list.entries[0].utf8, text);
    EXPECT_EQ(list.entries[0].firstLinesUtf8, "\xF0\x9F\x98\x80 one\r\ntwo");
    EXPECT_EQ(list.entries[0].firstLines, "? one\r\ntwo");
}

TEST_F(EveryYearTest, LeapDayListsLeapYearsOnly) {
    for (const char* y : {"1900", "2000", "2003", "2004", "2100"}) {
        Put(std::string(y) + "/0229.dia", y);  // written by hand into common years too
    }
    std::vector<int> years;
    for (const YearEntry& e : ListEveryYear(data.path(), 2, 29, "").entries) {
        years.push_back(e.year);
    }
    EXPECT_EQ(years, (std::vector<int>{2004, 2000}));
}

TEST(FirstLines, CutsAtTheLineBreaks) {
    struct Case {
        const char* text;
        int count;
        const char* want;
    };
    const Case cases[] = {
        {"a\r\nb\r\nc", 2, "a\r\nb"},
        {"a\r\nb\r\n", 5, "a\r\nb"},
        {"", 3, ""},
        {"a\r\n\r\nb", 2, "a"},
        {"abc", 0, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(FirstLines(c.text, c.count), c.want) << c.text;
}

TEST(MonthMarks, MarkWrittenAndLockedDays) {
    TempDir data;
    ::mkdir((data / "2004").c_str(), 0700);
    for (const char* f : {"2004/0201.dia", "2004/0214.xda", "2004/0229.xda", "2004/0229.dia",
                          "2004/0230.dia", "2004/0301.xda", "2004/0215.txt"}) {
        WriteBytes(data / f, "x");
    }
    const MonthMarks feb = MarkMonth(data.path(), 2004, 2);
    EXPECT_EQ(feb.written, (std::bitset<32>{}.set(1).set(14).set(29)));
    EXPECT_EQ(feb.locked, std::bitset<32>{}.set(14));  // 29th: the .dia is what opens
    EXPECT_EQ(MarkMonth(data.path(), 2004, 3).locked, std::bitset<32>{}.set(1));
    EXPECT_EQ(MarkMonth(data.path(), 2005, 2), MonthMarks{});
    EXPECT_EQ(MarkMonth(data.path(), 2004, 0), MonthMarks{});
    EXPECT_EQ(DaysInMonth(2004, 2), 29);
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(2001, 13), 0);
}

// An entry that shows nothing keeps its file but is no entry: no mark, no year
// in 毎年の今日, not counted by a search. Each row is 17 January of its own year.
TEST(BlankEntries, CountAsNoEntry) {
    struct Case {
        std::string bytes;
        bool locked;  // a .xda under "pw"
        bool marked, listed;
    };
    const Case cases[] = {
        {"", false, false, false},
        {" \t\r\n \r\n", false, false, false},
        {Cp932("\u3000\r\n \u3000"), false, false, false},
        {std::string("\r\n\0text", 7), false, false, false},  // the zero byte ends the text
        {std::string(9000, ' ') + "x", false, true, true},    // beyond the first read
        {Cp932("\u3000\u30a1"), false, true, true},           // ァ: 0x83 0x40
        {" .", false, true, true},
        {HandContainer("", "pw", 0), true, false, false},
        {std::string(44, 'x'), true, true, true},              // no container: shown as stored
        {HandContainer(" \r\n", "pw", 0), true, true, false},  // blank only with the password
        {HandContainer(Cp932("鍵"), "pw", 0), true, true, true},
    };
    TempDir data;
    std::vector<int> listed;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const int year = 2001 + static_cast<int>(i);
        ::mkdir((data / std::to_string(year)).c_str(), 0700);
        const std::string file =
            std::to_string(year) + (cases[i].locked ? "/0117.xda" : "/0117.dia");
        WriteBytes(data / file, cases[i].bytes);
        EXPECT_EQ(MarkMonth(data.path(), year, 1).written.test(17), cases[i].marked) << file;
        if (cases[i].listed) listed.insert(listed.begin(), year);
    }
    std::vector<int> years;
    for (const YearEntry& e : ListEveryYear(data.path(), 1, 17, "pw").entries) {
        years.push_back(e.year);
    }
    EXPECT_EQ(years, listed);
    const SearchQuery query = ParseQuery(Cp932("x"));
    EXPECT_EQ(SearchFiles(data.path(), "pw", query).searched, listed.size());
    SearchCorpus corpus(data.path());
    ASSERT_TRUE(corpus.Refresh("pw"));
    EXPECT_EQ(corpus.Search(query).searched, listed.size());
}

}  // namespace
}  // namespace kuv
