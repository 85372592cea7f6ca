#include "diary/diary_stats.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/reference.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Cp932;
using test::HandContainer;
using test::TempDir;
using test::WriteBytes;

// A day of a hand-made diary: "yyyy/mmdd.dia" or ".xda" (locked under "pw").
struct Put {
    const char* file;
    const char* utf8;
};

void Write(const TempDir& data, const Put& p) {
    const std::string file = p.file;
    ::mkdir((data / file.substr(0, 4)).c_str(), 0700);
    const std::string text = Cp932(p.utf8);
    WriteBytes(data / file, file.ends_with(".xda") ? HandContainer(text, "pw", 0) : text);
}

struct YearWant {
    int year, days;
    std::int64_t characters;
    int longestRun;
};

struct Case {
    const char* name;
    std::vector<Put> files;
    const char* password;
    int today[3];
    int days;
    std::int64_t characters;
    int longestRun, currentRun, estimated;
    std::vector<YearWant> years;  // newest first
};

TEST(DiaryStats, RunsAndCountsOfHandMadeDiaries) {
    const Case cases[] = {
        {"empty diary", {}, "", {2001, 1, 17}, 0, 0, 0, 0, 0, {}},
        {"a run across the year's end, still going yesterday",
         {{"2000/1230.dia", "一二三"},
          {"2000/1231.dia", "ab\r\ncd"},
          {"2001/0101.dia", "あ"},
          {"2001/0102.dia", "ｱｲｳ"}},
         "",
         {2001, 1, 3},
         4,
         3 + 4 + 1 + 3,
         4,
         4,
         0,
         {{2001, 2, 4, 2}, {2000, 2, 7, 2}}},
        {"leap days join February to March; today written",
         {{"2004/0228.dia", "x"},
          {"2004/0229.dia", "y"},
          {"2004/0301.dia", "z"},
          {"2003/0228.dia", "w"},
          {"2003/0301.dia", "v"}},
         "",
         {2004, 3, 1},
         5,
         5,
         3,
         3,
         0,
         {{2004, 3, 3, 3}, {2003, 2, 2, 2}}},
        {"white space only is no written day and breaks the run",
         {{"2010/0501.dia", "日記"},
          {"2010/0502.dia", " \r\n\t　"},
          {"2010/0503.dia", ""},
          {"2010/0504.dia", "記"}},
         "",
         {2010, 5, 6},
         2,
         3,
         1,
         0,
         0,
         {{2010, 2, 3, 1}}},
        {"locked entries without the password count as days, not characters",
         {{"2020/0101.xda", "秘密の日記"}, {"2020/0102.xda", "秘密"}, {"2020/0103.dia", "abc"}},
         "",
         {2020, 1, 3},
         3,
         3,
         3,
         3,
         2,
         {{2020, 3, 3, 3}}},
        {"the same with the password",
         {{"2020/0101.xda", "秘密の日記"}, {"2020/0102.xda", "秘密"}, {"2020/0103.dia", "abc"}},
         "pw",
         {2020, 1, 3},
         3,
         5 + 2 + 3,
         3,
         3,
         0,
         {{2020, 3, 10, 3}}},
        {"a day ahead of today does not end the current run",
         {{"2020/0601.dia", "a"}, {"2020/0602.dia", "b"}, {"2020/0610.dia", "c"}},
         "",
         {2020, 6, 2},
         3,
         3,
         2,
         2,
         0,
         {{2020, 3, 3, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir data;
        for (const Put& p : c.files) Write(data, p);
        for (unsigned threads : {1u, 2u}) {
            const DiaryStats s = Summarise(CountDaysFromText(data.path(), c.password, threads),
                                           c.today[0], c.today[1], c.today[2]);
            EXPECT_EQ(s.days, c.days);
            EXPECT_EQ(s.characters, c.characters);
            EXPECT_EQ(s.longestRun, c.longestRun);
            EXPECT_EQ(s.currentRun, c.currentRun);
            EXPECT_EQ(s.estimated, c.estimated);
            ASSERT_EQ(s.years.size(), c.years.size());
            for (std::size_t i = 0; i < c.years.size(); ++i) {
                EXPECT_EQ(s.years[i].year, c.years[i].year);
                EXPECT_EQ(s.years[i].days, c.years[i].days);
                EXPECT_EQ(s.years[i].characters, c.years[i].characters);
                EXPECT_EQ(s.years[i].longestRun, c.years[i].longestRun);
            }
        }
    }
}

TEST(DiaryStats, MonthsAddUpToTheYear) {
    TempDir data;
    for (const Put& p : std::vector<Put>{{"2004/0131.dia", "一月"},
                                         {"2004/0229.dia", "閏日です"},
                                         {"2004/1231.dia", "大晦日"}}) {
        Write(data, p);
    }
    const DiaryStats s = Summarise(CountDaysFromText(data.path(), ""), 2004, 12, 31);
    ASSERT_EQ(s.years.size(), 1u);
    const YearStats& y = s.years[0];
    EXPECT_EQ(y.monthCharacters[0], 2);
    EXPECT_EQ(y.monthCharacters[1], 4);
    EXPECT_EQ(y.monthCharacters[11], 3);
    EXPECT_EQ(y.monthDays[1], 1);
    EXPECT_EQ(y.monthDays[2], 0);
    EXPECT_EQ(s.Average(), 3);
}

TEST(DiaryStats, SizesGiveTheSameDaysBeforeAnyRead) {
    TempDir data;
    for (const Put& p : std::vector<Put>{
             {"2001/0101.dia", "あいうえお"}, {"2001/0102.xda", "鍵"}, {"2001/0103.dia", ""}}) {
        Write(data, p);
    }
    const std::vector<DayCount> sized = CountDaysFromSizes(data.path());
    ASSERT_EQ(sized.size(), 3u);
    EXPECT_EQ(sized[0].kind, DayCountKind::FromSize);
    EXPECT_TRUE(sized[0].written);
    EXPECT_TRUE(sized[1].written);
    EXPECT_FALSE(sized[2].written);
    const std::vector<DayCount> read = CountDaysFromText(data.path(), "pw");
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0].characters, 5u);
    EXPECT_EQ(read[1].kind, DayCountKind::Read);
    EXPECT_EQ(ShadeOf(read[2]), 0);
}

TEST(DiaryStats, CharactersAndWriting) {
    struct Row {
        const char* utf8;
        std::uint32_t characters;
        bool writing;
    };
    const Row rows[] = {
        {"", 0, false},      {"\r\n\r\n", 0, false}, {"　 \t", 3, false},
        {"表ソ\\", 3, true},  // second bytes 0x5C are no characters of their own
        {"ｶﾞ", 2, true},     {"a\r\nb", 2, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.utf8);
        EXPECT_EQ(CountCharacters(Cp932(r.utf8)), r.characters);
        EXPECT_EQ(HoldsWriting(Cp932(r.utf8)), r.writing);
    }
}

TEST(DiaryStats, ShadesByLength) {
    const std::pair<std::uint32_t, int> rows[] = {{1, 1},   {199, 1},  {200, 2},
                                                  {600, 3}, {1199, 3}, {5000, 4}};
    for (const auto& [characters, shade] : rows) {
        DayCount d;
        d.written = true;
        d.characters = characters;
        EXPECT_EQ(ShadeOf(d), shade) << characters;
    }
}

}  // namespace
}  // namespace kuv
