#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include <string>
#include <vector>

#include "app/instance_lock.h"
#include "tests/support/cli_runner.h"
#include "tests/support/reference.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv::test {
namespace {

// Light Argon2id work keeps each run short; the slots carry it.
const std::vector<std::string> kFast = {"--argon2-ops", "1", "--argon2-mib", "8"};

class CliLockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        diary.WriteEntry("2024/0101.dia", "first secretword\r\n");
        diary.WriteEntry("2024/0102.dia", "second\r\n");
    }
    std::vector<std::string> Words(std::vector<std::string> words, bool fast = false) {
        words.insert(words.begin() + 1,
                     {"--app-dir", diary.app.path(), "--data", diary.data.path()});
        if (fast) words.insert(words.end(), kFast.begin(), kFast.end());
        return words;
    }
    ProgramRun Run(const std::string& input, std::vector<std::string> words, bool fast = false) {
        return RunCliWithInput(input, Words(std::move(words), fast), env);
    }
    std::string Lock() {
        const ProgramRun r = Run("pw\n", {"lock", "--password-stdin"}, true);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.size(), 40u) << r.out;  // the code, alone on its line
        return r.out.substr(0, r.out.size() - 1);
    }

    ToolDiary diary;
    TempDir home;
    std::vector<std::string> env = {"XDG_DATA_HOME=" + home.path()};
};

TEST_F(CliLockTest, ReadersNeedTheRightPassword) {
    Lock();
    for (const auto& [name, file] : Snapshot(diary.data.path())) {
        EXPECT_EQ(file.bytes.find("secretword"), std::string::npos) << name;
    }
    struct Case {
        std::string input;
        std::vector<std::string> words;
        int status;
        std::string out;
    } cases[] = {
        {"pw\n", {"show", "--password-stdin", "2024-01-01"}, 0, "first secretword\n"},
        {"", {"show", "--password", "pw", "2024-01-02"}, 0, "second\n"},
        {"wrong\n", {"show", "--password-stdin", "2024-01-01"}, 1, ""},
        {"", {"show", "2024-01-01"}, 2, ""},
        {"pw\n", {"search", "--password-stdin", "secretword"}, 0, "2024-01-01\tfirst secretword\n"},
        {"wrong\n", {"search", "--password-stdin", "secretword"}, 1, ""},
        {"pw\n", {"years", "--password-stdin", "01-02"}, 0, "2024-01-02\nsecond\n\n"},
    };
    for (const Case& c : cases) {
        const ProgramRun r = Run(c.input, c.words);
        EXPECT_EQ(r.status, c.status) << c.words[0] << " " << c.input << r.err;
        EXPECT_EQ(r.out, c.out) << c.words[0] << " " << c.input;
    }
    // A damaged entry is named and keeps no other day from showing.
    WriteBytes(diary.data / "2024/0102.kvd", ReadBytes(diary.data / "2024/0101.kvd"));
    const ProgramRun damaged = Run("pw\n", {"show", "--password-stdin", "2024-01-02"});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_NE(damaged.err.find("0102.kvd"), std::string::npos) << damaged.err;
    EXPECT_EQ(Run("pw\n", {"show", "--password-stdin", "2024-01-01"}).status, 0);
}

TEST_F(CliLockTest, PasswordRecoveryAndUnlock) {
    const std::string code = Lock();
    EXPECT_EQ(Run("pw\n", {"lock", "--password-stdin"}, true).status, 1);  // already on
    struct Step {
        std::vector<std::string> words;
        std::string input;
        int status;
    } steps[] = {
        {{"passwd"}, "wrong\nnew\n", 1},
        {{"passwd"}, "pw\nnew\n", 0},
        {{"recover"}, "AAAA-BBBB\nlost\n", 1},
        {{"recover"}, code + "\nfound\n", 0},
        {{"rekey", "--password-stdin"}, "found\n", 0},
        {{"recover"}, code + "\nagain\n", 1},            // the code of the old key
        {{"unlock", "--password-stdin"}, "found\n", 2},  // no --to
        {{"unlock", "--password-stdin", "--to", "plain"}, "new\n", 1},
        {{"unlock", "--password-stdin", "--to", "plain"}, "found\n", 0},
    };
    for (const Step& s : steps) {
        const ProgramRun r = Run(s.input, s.words, s.words[0] != "unlock");
        EXPECT_EQ(r.status, s.status) << s.words[0] << " " << s.input << r.err;
    }
    EXPECT_EQ(ReadBytes(diary.data / "2024/0101.dia"), "first secretword\r\n");
    EXPECT_FALSE(Exists(diary.data / "kuvandoro.key"));
}

// The format document is whole: a reader written from it alone, on
// libsodium through PyNaCl, opens what the tool sealed.
TEST_F(CliLockTest, AnIndependentReaderOpensTheFiles) {
    diary.WriteEntry("2024/0103.dia", test::Cp932("日本語の日記\r\n"));
    Lock();
    const std::string command = std::string("echo pw | /usr/bin/python3 ") + KUV_LOCK_READER + " " +
                                diary.data.path() + " ";
    for (const auto& [day, want] : std::vector<std::pair<std::string, std::string>>{
             {"2024-01-01", "first secretword\r\n"}, {"2024-01-03", "日本語の日記\r\n"}}) {
        std::FILE* pipe = ::popen((command + day).c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        char buf[256];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
        const int status = ::pclose(pipe);
        if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "PyNaCl is missing (python3-nacl)";
        EXPECT_EQ(WEXITSTATUS(status), 0) << day;
        EXPECT_EQ(out, want) << day;
    }
}

TEST_F(CliLockTest, ChangesNothingWhileAWindowHasTheDiary) {
    const auto before = Snapshot(diary.data.path());
    kuv::DiaryLock window;
    ASSERT_EQ(window.Acquire(diary.data.path(), diary.app / "data", "socket"),
              kuv::LockResult::Acquired);
    const std::vector<std::vector<std::string>> writes = {
        {"lock", "--password-stdin"},
        {"unlock", "--password-stdin", "--to", "plain"},
        {"passwd"},
        {"recover"},
        {"rekey", "--password-stdin"},
    };
    for (const auto& words : writes) {
        EXPECT_EQ(Run("pw\npw\n", words).status, 3) << words[0];
    }
    EXPECT_EQ(SnapshotDiff(before, Snapshot(diary.data.path())), "");
}

}  // namespace
}  // namespace kuv::test
