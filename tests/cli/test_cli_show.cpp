#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/support/cli_runner.h"
#include "tests/support/reference.h"
#include "tests/support/temp_dir.h"

namespace {

using kuv::test::Exists;
using kuv::test::HandContainer;
using kuv::test::ProgramRun;
using kuv::test::ReadBytes;
using kuv::test::WriteBytes;

ProgramRun Show(std::vector<std::string> words) {
    words.insert(words.begin(), "show");
    return kuv::test::RunCli(words);
}

// 今日は晴れ / 明日 in code page 932.
const std::string kSjisLine1 = "\x8d\xa1\x93\xfa\x82\xcd\x90\xb0\x82\xea";
const std::string kSjisLine2 = "\x96\xbe\x93\xfa";

// An application folder without a settings file (the defaults), and entries.
class CliShowTest : public ::testing::Test, protected kuv::test::ToolDiary {
  protected:
    CliShowTest() {
        WriteEntry("2001/0117.dia", kSjisLine1 + "\n" + kSjisLine2 + std::string("\0tail", 5));
        WriteEntry("2001/0118.xda", HandContainer("locked\r\nentry", "pw", 0));
    }
};

TEST_F(CliShowTest, PrintsTheUpperPaneAsUtf8WithLineFeeds) {
    ProgramRun r = Show({"--data", data.path(), "2001-01-17"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "今日は晴れ\n明日");
    EXPECT_EQ(r.err, "");
}

TEST_F(CliShowTest, RawPrintsThePaneBytes) {
    ProgramRun r = Show({"--raw", "--data", data.path(), "2001-01-17"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kSjisLine1 + "\r\n" + kSjisLine2);
}

TEST_F(CliShowTest, LockedEntriesFollowThePassword) {
    struct Case {
        std::vector<std::string> words;
        std::string out;
    };
    const std::vector<Case> cases = {
        {{"--password", "pw", "--data", data.path(), "2001-01-18"}, "locked\nentry"},
        {{"--raw", "--password", "pw", "--data", data.path(), "2001-01-18"}, "locked\r\nentry"},
        {{"--raw", "--password", "other", "--data", data.path(), "2001-01-18"}, "\x17"},
        {{"--raw", "--data", data.path(), "--app-dir", app.path(), "2001-01-18"}, "\x17"},
    };
    for (const auto& c : cases) {
        ProgramRun r = Show(c.words);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.out) << c.words[1];
    }
    // Showing never changes the locked file.
    EXPECT_EQ(ReadBytes(data / "2001/0118.xda"), HandContainer("locked\r\nentry", "pw", 0));
}

TEST_F(CliShowTest, SettingsFileGivesTheDataFolderAndPassword) {
    // A plain settings file written by hand is read as it stands.
    WriteBytes(SettingsPath(),
               "[SYSTEM]\r\nPASSWORD=pw\r\nDATAPATH=" + data.path() + "\r\nAUTOINSERTDATE=1\r\n");
    ProgramRun r = Show({"--app-dir", app.path(), "2001-01-18"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "locked\nentry");
    // No automatic date: a missing entry prints nothing.
    r = Show({"--app-dir", app.path(), "2001-01-19"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(CliShowTest, MissingEntryPrintsNothing) {
    ProgramRun r = Show({"--data", data.path(), "1999-12-31"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(Exists(data / "1999"));
}

TEST_F(CliShowTest, MalformedDatesExitWithTwo) {
    const std::vector<std::string> dates = {"2001-1-17",  "2001/01/17", "2001-02-29",
                                            "2001-13-01", "0000-01-01", "20010117",
                                            "2001-01-1x", "",           "2001-01-170"};
    for (const auto& d : dates) {
        ProgramRun r = Show({"--data", data.path(), d});
        EXPECT_EQ(r.status, 2) << d;
        EXPECT_EQ(r.out, "") << d;
        EXPECT_NE(r.err, "") << d;
    }
    ProgramRun r = Show({"--data", data.path()});
    EXPECT_EQ(r.status, 2);
}

TEST_F(CliShowTest, ALoadErrorIsReportedInUtf8) {
    ::mkdir((data / "2002").c_str(), 0700);
    ASSERT_EQ(::mkfifo((data / "2002/0101.dia").c_str(), 0600), 0);
    ProgramRun r = Show({"--data", data.path(), "2002-01-01"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("ファイル " + data.path() + "/2002/0101.dia は開けません"),
              std::string::npos)
        << r.err;
}

}  // namespace
