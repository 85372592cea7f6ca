#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

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

CliRun Cli(const TempDir& scratch, const std::vector<std::string>& words) {
    std::string cmd = Quote(std::string(KUV_BIN_DIR) + "/kuvandoro-cli");
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

// Code page 932 bytes of the texts below.
const std::string kTokyoWalk = "\x93\x8c\x8b\x9e\x82\xf0\x95\xe0\x82\xad";  // 東京を歩く
const std::string kRain = "\x89\x4a";                                       // 雨
const std::string kNeko = "\xc8\xba";                                       // ﾈｺ
const std::string kTokyo = "\x93\x8c\x8b\x9e";                              // 東京

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

class CliSearchTest : public ::testing::Test {
  protected:
    CliSearchTest() {
        for (const char* y : {"2000", "2001", "2004"}) ::mkdir((data / y).c_str(), 0700);
        WriteBytes(data / "2000/0229.dia", kRain + "\r\n" + kTokyoWalk + "\r\n");
        WriteBytes(data / "2001/0117.dia", "say \"hi\" \\ " + kNeko + "\r\n" + kTokyo);
        WriteBytes(data / "2001/0229.dia", kTokyo);  // no such day: never read
        WriteBytes(data / "2004/0229.xda", Container(kTokyo + " locked", "pw"));
        ::mkdir((app / "data").c_str(), 0700);
    }
    TempDir scratch, data, app;
};

TEST_F(CliSearchTest, PrintsOneLinePerEntryNewestFirst) {
    CliRun r = Cli(scratch, {"search", "--data", data.path(), "--password", "pw", "東京"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "2004-02-29\t東京 locked\n"
              "2001-01-17\t東京\n"
              "2000-02-29\t東京を歩く\n");
    EXPECT_EQ(r.err, "");

    // Folded terms, every one required.
    r = Cli(scratch, {"search", "--data", data.path(), "--password", "pw", "ねこ", "とうきょう"});
    EXPECT_EQ(r.status, 1) << r.err;
    r = Cli(scratch, {"search", "--data", data.path(), "--password", "pw", "ねこ　ＨＩ"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2001-01-17\tsay \"hi\" \\ ﾈｺ\n");
}

TEST_F(CliSearchTest, JsonGivesDateLineAndLocked) {
    CliRun r =
        Cli(scratch, {"search", "--json", "--data", data.path(), "--password", "pw", "東京"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "[\n"
              "  {\"date\": \"2004-02-29\", \"line\": \"東京 locked\", \"locked\": true},\n"
              "  {\"date\": \"2001-01-17\", \"line\": \"東京\", \"locked\": false},\n"
              "  {\"date\": \"2000-02-29\", \"line\": \"東京を歩く\", \"locked\": false}\n"
              "]\n");
    r = Cli(scratch, {"search", "--json", "--data", data.path(), "hi"});
    EXPECT_EQ(r.out,
              "[\n  {\"date\": \"2001-01-17\", \"line\": \"say \\\"hi\\\" \\\\ ﾈｺ\", "
              "\"locked\": false}\n]\n");
    r = Cli(scratch, {"search", "--json", "--data", data.path(), "nothing"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "[]\n");
}

TEST_F(CliSearchTest, LockedEntriesNeedThePassword) {
    // The settings file (plain, written by hand) gives the folder and no
    // password: the locked entry is left out and counted.
    WriteBytes(app / "data/diary.ini", "[SYSTEM]\r\nDATAPATH=" + data.path() + "\r\n");
    CliRun r = Cli(scratch, {"search", "--app-dir", app.path(), "locked"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("1 locked entries left out"), std::string::npos) << r.err;
    WriteBytes(app / "data/diary.ini",
               "[SYSTEM]\r\nPASSWORD=pw\r\nDATAPATH=" + data.path() + "\r\n");
    r = Cli(scratch, {"search", "--app-dir", app.path(), "locked"});
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
        CliRun r = Cli(scratch, words);
        EXPECT_EQ(r.status, 2) << words.back();
        EXPECT_EQ(r.out, "") << words.back();
    }
}

TEST_F(CliSearchTest, YearsPrintsTheDayOfEveryYear) {
    CliRun r = Cli(scratch, {"years", "--data", data.path(), "--password", "pw", "02-29"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "2004-02-29\n東京 locked\n\n"
              "2000-02-29\n雨\n東京を歩く\n\n");
    r = Cli(scratch, {"years", "--data", data.path(), "02-29"});
    EXPECT_EQ(r.out, "2000-02-29\n雨\n東京を歩く\n\n");
    EXPECT_NE(r.err.find("1 locked entries left out"), std::string::npos) << r.err;
    r = Cli(scratch, {"years", "--data", data.path(), "01-17"});
    EXPECT_EQ(r.out, "2001-01-17\nsay \"hi\" \\ ﾈｺ\n東京\n\n");
    r = Cli(scratch, {"years", "--data", data.path(), "12-31"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
}

}  // namespace
