#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/instance_lock.h"
#include "tests/support/cli_runner.h"
#include "tests/support/temp_dir.h"

namespace {

using kuv::test::ProgramRun;
using kuv::test::ReadBytes;
using kuv::test::RunCli;
using kuv::test::TempDir;
using kuv::test::WriteBytes;

// A program folder whose data folder (the default) holds entries and copies.
class CliConflictsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
        for (const char* d : {"/data", "/data/2001", "/data/2002"}) {
            ::mkdir((app_.path() + d).c_str(), 0700);
        }
        for (const char* f : {"2002/0101.dia", "2002/0101 (conflicted copy 2002-01-02 101010).dia",
                              "2002/0101 (conflicted copy 2002-01-03).dia", "2001/0117.dia",
                              "2001/0117.conflict-20010118-090000.xda",
                              "2001/0117.sync-conflict-20010117-230000-ABCDEF7.dia",
                              "2001/0117.$$$", "2002/0101-DESKTOP-7QK2M1A.dia"}) {
            WriteBytes(Data() + "/" + f, "entry text long enough to be a container: 35 bytes");
        }
    }
    void TearDown() override { ::unsetenv("XDG_RUNTIME_DIR"); }
    std::string Data() const { return app_ / "data"; }

    TempDir runtime_;
    TempDir app_;
};

TEST_F(CliConflictsTest, ListsEveryCopyByDayOldestFirst) {
    const std::string want = "2001-01-17\t" + Data() +
                             "/2001/0117.sync-conflict-20010117-230000-ABCDEF7.dia\n"
                             "2001-01-17\t" +
                             Data() +
                             "/2001/0117.conflict-20010118-090000.xda\n"
                             "2002-01-01\t" +
                             Data() + "/2002/0101-DESKTOP-7QK2M1A.dia\n" + "2002-01-01\t" + Data() +
                             "/2002/0101 (conflicted copy 2002-01-02 101010).dia\n" +
                             "2002-01-01\t" + Data() +
                             "/2002/0101 (conflicted copy 2002-01-03).dia\n";
    for (const auto& words : std::vector<std::vector<std::string>>{
             {"conflicts", "--data", Data()},
             {"conflicts", "--app-dir", app_.path()},
         }) {
        const ProgramRun run = RunCli(words);
        EXPECT_EQ(run.status, 0) << words[1];
        EXPECT_EQ(run.out, want) << words[1];
    }
}

TEST_F(CliConflictsTest, WritingCommandsWaitForTheWindowToClose) {
    const std::string entry = Data() + "/2001/0117.dia";
    const std::string ini = Data() + "/diary.ini";
    WriteBytes(ini, "[SYSTEM]\r\nFORMAT=yyyy\r\n");
    const std::string entryBefore = ReadBytes(entry);
    const std::string iniBefore = ReadBytes(ini);

    TempDir incoming;
    WriteBytes(incoming / "2001-01-17.txt", "imported");
    kuv::DiaryLock window;
    ASSERT_EQ(window.Acquire(Data(), Data(), "socket"), kuv::LockResult::Acquired);
    const std::vector<std::vector<std::string>> writes = {
        {"encode", entry, "key"},
        {"decode", entry, "key"},
        {"profile", "set", ini, "SYSTEM", "FORMAT", "mm"},
        {"import", "--data", Data(), "--password", "", incoming.path()},
        {"restore", "--data", Data(), incoming / "any.tar.gz"},
    };
    for (const auto& words : writes) {
        EXPECT_EQ(RunCli(words).status, 3) << words[0] << " " << words[1];
    }
    EXPECT_EQ(ReadBytes(entry), entryBefore);
    EXPECT_EQ(ReadBytes(ini), iniBefore);

    // Reading goes on as before.
    const ProgramRun get = RunCli({"profile", "get", ini, "SYSTEM", "FORMAT"});
    EXPECT_EQ(get.status, 0);
    EXPECT_EQ(get.out, "yyyy\n");
    EXPECT_EQ(RunCli({"conflicts", "--data", Data()}).status, 0);
    // Outside the open diary, writing goes on as before too.
    TempDir elsewhere;
    WriteBytes(elsewhere / "note.txt", "note");
    EXPECT_EQ(RunCli({"encode", elsewhere / "note.txt", "key"}).status, 0);

    window.Release();
    EXPECT_EQ(RunCli({"profile", "set", ini, "SYSTEM", "FORMAT", "mm"}).status, 0);
    EXPECT_EQ(RunCli({"encode", entry, "key"}).status, 0);
    EXPECT_NE(ReadBytes(entry), entryBefore);
}

}  // namespace
