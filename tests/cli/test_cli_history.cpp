#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "diary/diary_book.h"
#include "history/entry_history.h"
#include "lock/strong_lock.h"
#include "tests/support/cli_runner.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::ProgramRun;

// Saves of 2001-01-17 at known times, the history kept in a folder of the test.
class CliHistoryTest : public ::testing::Test, protected test::ToolDiary {
  protected:
    void SetUp() override {
        ::setenv("XDG_DATA_HOME", share.path().c_str(), 1);
        year = data.path() + "/2001";
        test::MakeDir(year);
    }

    // Saves text; the file it leaves is dated at seconds since 1970.
    void SaveAt(const std::string& text, bool locked, std::time_t when) {
        SaveEntry(year, "0117", text, locked, "pw");
        const std::string path = year + (locked ? "/0117.xda" : "/0117.dia");
        const struct timespec ts[2] = {{0, UTIME_OMIT}, {when, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), ts, 0), 0);
    }

    ProgramRun Run(std::vector<std::string> words) {
        words.insert(words.end() - 1, {"--data", data.path(), "--password", "pw"});
        return test::RunCli(words, {"XDG_DATA_HOME=" + share.path()});
    }

    test::TempDir share;
    std::string year;
};

// 2026-12-08 10:00:00 in Tokyo, where the tests run.
constexpr std::time_t kMorning = 1796691600;

TEST_F(CliHistoryTest, ListsAndShowsTheKeptVersionsNewestFirst) {
    SaveAt("first\r\nline", false, kMorning);
    SaveAt("second", false, kMorning + 60);
    SaveAt("third", true, kMorning + 3600);
    SaveAt("now", true, kMorning + 7200);
    const ProgramRun list = Run({"history", "2001-01-17"});
    ASSERT_EQ(list.status, 0) << list.err;
    // A locked version is counted as its container: a header and the text.
    // The plain file that the first locked save removed was kept sealed.
    EXPECT_EQ(list.out,
              "1\t2026-12-08T11:00:00\t49\n"
              "2\t2026-12-08T10:01:00\t50\n"
              "3\t2026-12-08T10:00:00\t11\n");
    struct Case {
        std::vector<std::string> words;
        int status;
        std::string out;
    };
    const Case cases[] = {
        {{"show", "--version", "1", "2001-01-17"}, 0, "third"},
        {{"show", "--version", "2", "2001-01-17"}, 0, "second"},
        {{"show", "--version", "3", "2001-01-17"}, 0, "first\nline"},
        {{"show", "--raw", "--version", "3", "2001-01-17"}, 0, "first\r\nline"},
        {{"show", "--version", "4", "2001-01-17"}, 1, ""},
        {{"show", "--version", "0", "2001-01-17"}, 2, ""},
        {{"show", "--version", "x", "2001-01-17"}, 2, ""},
        {{"show", "2001-01-17"}, 0, "now"},
    };
    for (const Case& c : cases) {
        const ProgramRun r = Run(c.words);
        EXPECT_EQ(r.status, c.status) << c.words[2] << " " << r.err;
        EXPECT_EQ(r.out, c.out) << c.words[2];
    }
}

// Under the strong lock the kept versions are sealed; the tool opens them
// with the diary's key, every character as it was.
TEST_F(CliHistoryTest, StrongLockedVersionsOpenWithTheKey) {
    lock::KeyFile file;
    lock::DiaryKey key;
    std::string code;
    ASSERT_TRUE(lock::NewKeyFile("pw", lock::Argon2Params{1, 8192}, file, key.key, code));
    ASSERT_TRUE(lock::StoreKeyFile(data.path(), file).ok());
    key.id = file.keyId;
    lock::RememberKey(data.path(), std::move(key));
    for (const char* text : {"first \xF0\x9F\x98\x80\r\nline", "second", "now"}) {
        SaveStrongText(year, "0117", text);
    }
    lock::ForgetKey(data.path());
    struct Case {
        std::vector<std::string> words;
        std::string out;
    } const cases[] = {
        {{"show", "--version", "1", "2001-01-17"}, "second"},
        {{"show", "--version", "2", "2001-01-17"}, "first \xF0\x9F\x98\x80\nline"},
        {{"show", "--raw", "--version", "2", "2001-01-17"}, "first ?\r\nline"},
        {{"show", "2001-01-17"}, "now"},
    };
    for (const Case& c : cases) {
        const ProgramRun r = Run(c.words);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.out) << c.words[2];
    }
}

TEST_F(CliHistoryTest, ADayWithoutVersionsAndForeignFiles) {
    const ProgramRun none = Run({"history", "2001-01-18"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "");
    SaveAt("a", false, kMorning);
    SaveAt("b", false, kMorning + 60);
    const std::string folder = DiaryHistoryFolder(*UserHistoryRoot(), data.path()) + "/2001/0117";
    test::WriteBytes(folder + "/stray.kvz", "not a version");
    const ProgramRun r = Run({"history", "2001-01-17"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1\t2026-12-08T10:00:00\t1\n");
    EXPECT_NE(r.err.find("stray.kvz"), std::string::npos) << r.err;
    EXPECT_EQ(test::ReadBytes(folder + "/stray.kvz"), "not a version");
}

}  // namespace
}  // namespace kuv
