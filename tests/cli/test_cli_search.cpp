#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/cli_runner.h"
#include "tests/support/reference.h"
#include "tests/support/temp_dir.h"

namespace {

using kuv::test::ProgramRun;
using kuv::test::RunCli;
using kuv::test::WriteBytes;

// Code page 932 bytes of the texts below.
const std::string kTokyoWalk = "\x93\x8c\x8b\x9e\x82\xf0\x95\xe0\x82\xad";  // 東京を歩く
const std::string kRain = "\x89\x4a";                                       // 雨
const std::string kNeko = "\xc8\xba";                                       // ﾈｺ
const std::string kTokyo = "\x93\x8c\x8b\x9e";                              // 東京

class CliSearchTest : public ::testing::Test, protected kuv::test::ToolDiary {
  protected:
    CliSearchTest() {
        WriteEntry("2000/0229.dia", kRain + "\r\n" + kTokyoWalk + "\r\n");
        WriteEntry("2001/0117.dia", "say \"hi\" \\ " + kNeko + "\r\n" + kTokyo);
        WriteEntry("2001/0229.dia", kTokyo);  // no such day: never read
        WriteEntry("2004/0229.xda", kuv::test::HandContainer(kTokyo + " locked", "pw", 0));
    }
};

TEST_F(CliSearchTest, PrintsOneLinePerEntryNewestFirst) {
    ProgramRun r = RunCli({"search", "--data", data.path(), "--password", "pw", "東京"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "2004-02-29\t東京 locked\n"
              "2001-01-17\t東京\n"
              "2000-02-29\t東京を歩く\n");
    EXPECT_EQ(r.err, "");

    // Folded terms, every one required.
    r = RunCli({"search", "--data", data.path(), "--password", "pw", "ねこ", "とうきょう"});
    EXPECT_EQ(r.status, 1) << r.err;
    r = RunCli({"search", "--data", data.path(), "--password", "pw", "ねこ　ＨＩ"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2001-01-17\tsay \"hi\" \\ ﾈｺ\n");
}

TEST_F(CliSearchTest, JsonGivesDateLineAndLocked) {
    ProgramRun r = RunCli({"search", "--json", "--data", data.path(), "--password", "pw", "東京"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "[\n"
              "  {\"date\": \"2004-02-29\", \"line\": \"東京 locked\", \"locked\": true},\n"
              "  {\"date\": \"2001-01-17\", \"line\": \"東京\", \"locked\": false},\n"
              "  {\"date\": \"2000-02-29\", \"line\": \"東京を歩く\", \"locked\": false}\n"
              "]\n");
    r = RunCli({"search", "--json", "--data", data.path(), "hi"});
    EXPECT_EQ(r.out,
              "[\n  {\"date\": \"2001-01-17\", \"line\": \"say \\\"hi\\\" \\\\ ﾈｺ\", "
              "\"locked\": false}\n]\n");
    r = RunCli({"search", "--json", "--data", data.path(), "nothing"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "[]\n");
}

TEST_F(CliSearchTest, LockedEntriesNeedThePassword) {
    // The settings file (plain, written by hand) gives the folder and no
    // password: the locked entry is left out and counted.
    WriteBytes(SettingsPath(), "[SYSTEM]\r\nDATAPATH=" + data.path() + "\r\n");
    ProgramRun r = RunCli({"search", "--app-dir", app.path(), "locked"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("1 locked entries left out"), std::string::npos) << r.err;
    WriteBytes(SettingsPath(), "[SYSTEM]\r\nPASSWORD=pw\r\nDATAPATH=" + data.path() + "\r\n");
    r = RunCli({"search", "--app-dir", app.path(), "locked"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2004-02-29\t東京 locked\n");
}

TEST_F(CliSearchTest, BadInputExitsWithTwo) {
    const std::vector<std::vector<std::string>> runs = {
        {"search", "--data", data.path()},
        {"search", "--data", data.path(), " 　"},
        {"search", "--data", data.path(), "😀"},
        {"search", "--bogus", "x"},
        {"years", "--data", data.path()},
        {"years", "--data", data.path(), "2-29"},
        {"years", "--data", data.path(), "02-30"},
        {"years", "--data", data.path(), "13-01"},
        {"years", "--data", data.path(), "00-01"},
        {"years", "--data", data.path(), "02-2x"},
        {"years", "--data", data.path(), "2001-02-28"},
    };
    for (const auto& words : runs) {
        ProgramRun r = RunCli(words);
        EXPECT_EQ(r.status, 2) << words.back();
        EXPECT_EQ(r.out, "") << words.back();
    }
}

TEST_F(CliSearchTest, YearsPrintsTheDayOfEveryYear) {
    ProgramRun r = RunCli({"years", "--data", data.path(), "--password", "pw", "02-29"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "2004-02-29\n東京 locked\n\n"
              "2000-02-29\n雨\n東京を歩く\n\n");
    r = RunCli({"years", "--data", data.path(), "02-29"});
    EXPECT_EQ(r.out, "2000-02-29\n雨\n東京を歩く\n\n");
    EXPECT_NE(r.err.find("1 locked entries left out"), std::string::npos) << r.err;
    r = RunCli({"years", "--data", data.path(), "01-17"});
    EXPECT_EQ(r.out, "2001-01-17\nsay \"hi\" \\ ﾈｺ\n東京\n\n");
    r = RunCli({"years", "--data", data.path(), "12-31"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
}

}  // namespace
