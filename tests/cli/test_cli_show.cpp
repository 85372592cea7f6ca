#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using kuv::test::Exists;
using kuv::test::ReadBytes;
using kuv::test::TempDir;
using kuv::test::WriteBytes;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& word) {
    std::string q = "'";
    for (char c : word) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

CliRun Show(const TempDir& scratch, const std::vector<std::string>& words) {
    std::string cmd = Quote(std::string(KUV_BIN_DIR) + "/kuvandoro-cli") + " show";
    for (const auto& w : words) cmd.append(" ").append(Quote(w));
    const std::string errPath = scratch / "stderr.txt";
    cmd += " 2>" + Quote(errPath);
    CliRun run;
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (pipe == nullptr) return run;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadBytes(errPath);
    return run;
}

// 今日は晴れ / 明日 in code page 932.
const std::string kSjisLine1 = "\x8d\xa1\x93\xfa\x82\xcd\x90\xb0\x82\xea";
const std::string kSjisLine2 = "\x96\xbe\x93\xfa";

// A container in the Windows layout, built by hand.
std::string Container(const std::string& plain, const std::string& key) {
    std::string out("\x17\0LOCKED", 8);
    out += std::string(4, '\0');
    for (std::size_t i = 0; i < 32; ++i) {
        out += i < key.size() ? static_cast<char>(key[i] ^ '\xA6') : '\0';
    }
    for (std::size_t k = 0; k < plain.size(); ++k) {
        out += static_cast<char>(plain[k] ^ key[(k % 1024) % key.size()]);
    }
    return out;
}

class CliShowTest : public ::testing::Test {
  protected:
    CliShowTest() {
        ::mkdir((data / "2001").c_str(), 0700);
        WriteBytes(data / "2001/0117.dia",
                   kSjisLine1 + "\n" + kSjisLine2 + std::string("\0tail", 5));
        WriteBytes(data / "2001/0118.xda", Container("locked\r\nentry", "pw"));
        // An application folder without a settings file: the defaults.
        ::mkdir((app / "data").c_str(), 0700);
    }
    TempDir scratch, data, app;
};

TEST_F(CliShowTest, PrintsTheUpperPaneAsUtf8WithLineFeeds) {
    CliRun r = Show(scratch, {"--data", data.path(), "2001-01-17"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "今日は晴れ\n明日");
    EXPECT_EQ(r.err, "");
}

TEST_F(CliShowTest, RawPrintsThePaneBytes) {
    CliRun r = Show(scratch, {"--raw", "--data", data.path(), "2001-01-17"});
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
        CliRun r = Show(scratch, c.words);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.out) << c.words[1];
    }
    // Showing never changes the locked file.
    EXPECT_EQ(ReadBytes(data / "2001/0118.xda"), Container("locked\r\nentry", "pw"));
}

TEST_F(CliShowTest, SettingsFileGivesTheDataFolderAndPassword) {
    // A plain settings file written by hand is read as it stands.
    WriteBytes(app / "data/diary.ini",
               "[SYSTEM]\r\nPASSWORD=pw\r\nDATAPATH=" + data.path() + "\r\nAUTOINSERTDATE=1\r\n");
    CliRun r = Show(scratch, {"--app-dir", app.path(), "2001-01-18"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "locked\nentry");
    // No automatic date: a missing entry prints nothing.
    r = Show(scratch, {"--app-dir", app.path(), "2001-01-19"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(CliShowTest, MissingEntryPrintsNothing) {
    CliRun r = Show(scratch, {"--data", data.path(), "1999-12-31"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(Exists(data / "1999"));
}

TEST_F(CliShowTest, MalformedDatesExitWithTwo) {
    const std::vector<std::string> dates = {"2001-1-17",  "2001/01/17", "2001-02-29",
                                            "2001-13-01", "0000-01-01", "20010117",
                                            "2001-01-1x", "",           "2001-01-170"};
    for (const auto& d : dates) {
        CliRun r = Show(scratch, {"--data", data.path(), d});
        EXPECT_EQ(r.status, 2) << d;
        EXPECT_EQ(r.out, "") << d;
        EXPECT_NE(r.err, "") << d;
    }
    CliRun r = Show(scratch, {"--data", data.path()});
    EXPECT_EQ(r.status, 2);
}

TEST_F(CliShowTest, ALoadErrorIsReportedInUtf8) {
    ::mkdir((data / "2002").c_str(), 0700);
    ASSERT_EQ(::mkfifo((data / "2002/0101.dia").c_str(), 0600), 0);
    CliRun r = Show(scratch, {"--data", data.path(), "2002-01-01"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("ファイル " + data.path() + "/2002/0101.dia は開けません"),
              std::string::npos)
        << r.err;
}

}  // namespace
