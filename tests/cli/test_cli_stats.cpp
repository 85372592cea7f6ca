#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "dates/calendar.h"
#include "diary/diary_stats.h"
#include "tests/support/cli_runner.h"
#include "tests/support/reference.h"

namespace {

using kuv::test::Cp932;
using kuv::test::ProgramRun;
using kuv::test::RunCli;

// "yyyy/mmdd.dia" of the day days before today.
std::string DaysAgo(int days) {
    const kuv::DateParts d = kuv::DecodeDateValue(kuv::CurrentDateTime() - days);
    char name[40];
    std::snprintf(name, sizeof name, "%04d/%02d%02d.dia", d.year, d.month, d.day);
    return name;
}

std::string ExpectedJson(const kuv::DiaryStats& s) {
    std::string out = "{\"days\": " + std::to_string(s.days) +
                      ", \"characters\": " + std::to_string(s.characters) +
                      ", \"longest_run\": " + std::to_string(s.longestRun) +
                      ", \"current_run\": " + std::to_string(s.currentRun) + ", \"years\": {";
    for (std::size_t i = 0; i < s.years.size(); ++i) {
        out += (i > 0 ? ", \"" : "\"") + std::to_string(s.years[i].year) +
               "\": {\"days\": " + std::to_string(s.years[i].days) +
               ", \"characters\": " + std::to_string(s.years[i].characters) + "}";
    }
    return out + "}}\n";
}

class CliStatsTest : public ::testing::Test, protected kuv::test::ToolDiary {
  protected:
    CliStatsTest() {
        // A run of three days up to yesterday, a gap, and older days.
        for (int ago : {1, 2, 3, 5}) WriteEntry(DaysAgo(ago), Cp932("今日の日記 #日記"));
        WriteEntry(DaysAgo(400), Cp932("#ﾘｮｺｳ\r\n#日記 と #旅行"));
        WriteEntry(DaysAgo(401), " \r\n");
        WriteEntry("2000/0229.xda", kuv::test::HandContainer(Cp932("#旅行 の鍵"), "pw", 0));
    }
};

TEST_F(CliStatsTest, AgreesWithTheCore) {
    for (const char* password : {"", "pw"}) {
        SCOPED_TRACE(password);
        const ProgramRun r =
            RunCli({"stats", "--json", "--data", data.path(), "--password", password});
        ASSERT_EQ(r.status, 0) << r.err;
        const kuv::DateParts today = kuv::DecodeDateValue(kuv::CurrentDateTime());
        const kuv::DiaryStats s = kuv::Summarise(kuv::CountDaysFromText(data.path(), password),
                                                 today.year, today.month, today.day);
        EXPECT_EQ(s.days, 6);
        EXPECT_EQ(s.currentRun, 3);
        EXPECT_EQ(r.out, ExpectedJson(s));
        EXPECT_EQ(r.err.empty(), *password != '\0');
    }
}

TEST_F(CliStatsTest, PrintsTheDiaryThenEachYear) {
    const ProgramRun r = RunCli({"stats", "--data", data.path(), "--password", "pw"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("days\t6\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("current_run\t3\n"), std::string::npos);
    EXPECT_NE(r.out.find("\n2000\t1\t6\t6\t1\n"), std::string::npos) << r.out;
}

TEST_F(CliStatsTest, TagsMostUsedFirst) {
    ProgramRun r = RunCli({"tags", "--data", data.path(), "--password", "pw"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "日記\t5\n旅行\t2\nﾘｮｺｳ\t1\n");
    r = RunCli({"tags", "--data", data.path()});
    EXPECT_EQ(r.out, "日記\t5\nﾘｮｺｳ\t1\n旅行\t1\n");
    EXPECT_NE(r.err.find("1 locked entries left out"), std::string::npos);
    EXPECT_EQ(RunCli({"tags", "--data", data.path(), "extra"}).status, 2);
    EXPECT_EQ(RunCli({"stats", "--bogus"}).status, 2);
}

}  // namespace
