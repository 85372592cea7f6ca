// kuvandoro-cli export, backup, verify, restore and import.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/cli_runner.h"
#include "tests/support/temp_dir.h"

namespace {

using kuv::test::Exists;
using kuv::test::ProgramRun;
using kuv::test::ReadBytes;
using kuv::test::TempDir;
using kuv::test::WriteBytes;

class CliCarryTest : public ::testing::Test, protected kuv::test::ToolDiary {
  protected:
    CliCarryTest() {
        WriteEntry("2001/0117.dia", "\x8d\xa1\x93\xfa\r\nline two");  // 今日
        WriteEntry("2001/0118.dia", "second day");
    }
    // The per-user data folder, where automatic backups go, lies in scratch.
    ProgramRun Cli(const std::vector<std::string>& words) const {
        return kuv::test::RunCli(words, {"XDG_DATA_HOME=" + scratch / "xdg"});
    }
    std::vector<std::string> Diary(std::vector<std::string> words) const {
        words.insert(words.begin() + 1, {"--app-dir", app.path(), "--data", data.path()});
        return words;
    }
    TempDir scratch, out;
};

TEST_F(CliCarryTest, ExportWritesTheChosenFormatAndRefusesBadInput) {
    const ProgramRun ok =
        Cli(Diary({"export", "--format", "md", "--to", "2001-01-17", out / "d.md"}));
    EXPECT_EQ(ok.status, 0) << ok.err;
    // The heading in the settings' date pattern, the weekday in the locale's words.
    const std::string md = ReadBytes(out / "d.md");
    EXPECT_EQ(md.rfind("# 日記 – 2001-01-17\n\n## 2001/01/17 (", 0), 0u) << md;
    EXPECT_NE(md.find(")\n\n今日\\\nline two\n"), std::string::npos) << md;
    EXPECT_EQ(md.find("second day"), std::string::npos);
    const struct {
        std::vector<std::string> words;
    } bad[] = {
        {{"export", "--format", "doc", out / "x"}},
        {{"export", out / "x"}},
        {{"export", "--format", "txt", "--from", "2001-02-30", out / "x"}},
        {{"export", "--format", "txt", "--from", "2001-02-01", "--to", "2001-01-01", out / "x"}},
        {{"export", "--format", "txt"}},
    };
    for (const auto& b : bad) {
        const ProgramRun r = Cli(Diary(b.words));
        EXPECT_EQ(r.status, 2) << b.words[5];
        EXPECT_FALSE(Exists(out / "x"));
    }
}

TEST_F(CliCarryTest, BackupVerifyAndRestore) {
    const std::string archive = out / "b.tar.gz";
    ProgramRun r = Cli(Diary({"backup", archive}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Cli({"verify", archive}).status, 0);
    WriteBytes(data / "2001/0117.dia", "changed");
    r = Cli(Diary({"restore", archive}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(data / "2001/0117.dia"), "\x8d\xa1\x93\xfa\r\nline two");

    WriteBytes(out / "bad.tar.gz", ReadBytes(archive).substr(0, 40));
    r = Cli({"verify", out / "bad.tar.gz"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("壊れています"), std::string::npos) << r.err;
    EXPECT_EQ(Cli(Diary({"restore", out / "bad.tar.gz"})).status, 1);
    EXPECT_EQ(Cli({"verify"}).status, 2);
}

TEST_F(CliCarryTest, ImportReportsEachFileAndTheCounts) {
    WriteBytes(out / "2001-01-18.txt", "appended");
    WriteBytes(out / "2001-01-19.md", "new");
    WriteBytes(out / "2001-01-20.txt", "face 😀");
    const ProgramRun r = Cli(Diary({"import", out.path()}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("新しい日記 1 件、追記 1 件、取り込まなかったファイル 1 件"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find("U+1F600"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("😀"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(data / "2001/0118.dia"), "second day\r\n\r\nappended");
}

}  // namespace
