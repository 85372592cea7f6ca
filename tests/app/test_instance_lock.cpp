#include "app/instance_lock.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Exists;
using test::TempDir;
using test::WriteBytes;

// Every test has a runtime folder of its own, and a program folder whose
// data folder (the default, also the settings folder) holds one entry.
class InstanceLockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
        ::mkdir(Data().c_str(), 0700);
        ::mkdir((Data() + "/2001").c_str(), 0700);
        WriteBytes(Data() + "/2001/0117.dia", "entry");
    }
    void TearDown() override { ::unsetenv("XDG_RUNTIME_DIR"); }
    std::string Data() const { return program_ / "data"; }

    TempDir runtime_;
    TempDir program_;
};

TEST_F(InstanceLockTest, TwoWindowsOfOneDiaryExcludeEachOther) {
    DiaryLock first, second;
    ASSERT_EQ(first.Acquire(Data(), Data(), "socket-1"), LockResult::Acquired);
    EXPECT_EQ(second.Acquire(Data(), Data(), "socket-2"), LockResult::Busy);
    EXPECT_EQ(second.HolderNote(), "socket-1");
    EXPECT_FALSE(second.Held());
    std::string note;
    EXPECT_TRUE(DiaryFolderInUse(Data(), &note));
    EXPECT_EQ(note, "socket-1");

    first.Release();
    EXPECT_FALSE(DiaryFolderInUse(Data()));
    EXPECT_EQ(second.Acquire(Data(), Data(), "socket-2"), LockResult::Acquired);
    // Nothing of the locks lies in the data folder, which may be synced.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Data()), {}), 1);
    // The program folder's lock and socket are not the diary lock of that folder.
    ProgramLock program;
    EXPECT_EQ(program.Acquire(program_.path() + "/data/.."), LockResult::Acquired);
    EXPECT_FALSE(DiaryFolderInUse(program_.path()));
    const std::string socket = InstanceSocketPath(program_.path());
    EXPECT_EQ(socket.rfind(runtime_.path() + "/kuvandoro/", 0), 0u) << socket;
    EXPECT_NE(socket, InstanceSocketPath(Data()));
}

TEST_F(InstanceLockTest, AnotherProgramFolderOnTheSameDataFolderIsTheSameDiary) {
    TempDir other;
    const std::string otherSettings = other / "data";
    ::mkdir(otherSettings.c_str(), 0700);
    // The data folder reached through a link is still the same folder.
    const std::string link = other / "link";
    ASSERT_EQ(::symlink(Data().c_str(), link.c_str()), 0);

    DiaryLock first;
    ASSERT_EQ(first.Acquire(Data(), Data(), "first"), LockResult::Acquired);
    struct Case {
        std::string data, settings;
        LockResult want;
    };
    const Case cases[] = {
        {Data(), otherSettings, LockResult::Busy},                   // same data folder
        {link + "/", otherSettings, LockResult::Busy},               // the same through a link
        {otherSettings, Data(), LockResult::Busy},                   // same settings folder
        {other / "elsewhere", otherSettings, LockResult::Acquired},  // another diary
    };
    for (const Case& c : cases) {
        DiaryLock second;
        EXPECT_EQ(second.Acquire(c.data, c.settings, "second"), c.want) << c.data;
        if (c.want == LockResult::Busy) {
            EXPECT_EQ(second.HolderNote(), "first") << c.data;
        }
    }
}

TEST_F(InstanceLockTest, FindsTheOpenDiaryAboveAPath) {
    TempDir elsewhere;
    const std::string settingsFolder = elsewhere / "settings";
    ::mkdir(settingsFolder.c_str(), 0700);
    DiaryLock lock;
    ASSERT_EQ(lock.Acquire(Data(), settingsFolder, "w"), LockResult::Acquired);
    const std::string data = CanonicalPathOf(Data());
    const std::string settings = CanonicalPathOf(settingsFolder);
    struct Case {
        std::string path, want;
    };
    const Case cases[] = {
        {Data() + "/2001/0117.dia", data},
        {Data() + "/2009/new/0101.dia", data},      // not there yet, nor its folders
        {Data() + "/../data/2001/0117.dia", data},  // "." and ".." resolved
        {settingsFolder + "/diary.ini", settings},
        {program_.path(), ""},  // above the diary is outside it
    };
    for (const Case& c : cases) EXPECT_EQ(OpenDiaryHolding(c.path), c.want) << c.path;
    lock.Release();
    EXPECT_EQ(OpenDiaryHolding(Data() + "/2001/0117.dia"), "");
}

TEST_F(InstanceLockTest, ALockDiesWithAKilledProcess) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DiaryLock held;
        ProgramLock program;
        const bool ok = held.Acquire(Data(), Data(), "child") == LockResult::Acquired &&
                        program.Acquire(program_.path()) == LockResult::Acquired;
        const char byte = ok ? 'y' : 'n';
        [[maybe_unused]] const ssize_t n = ::write(ready[1], &byte, 1);
        for (;;) ::pause();
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');

    DiaryLock mine;
    ProgramLock program;
    EXPECT_EQ(mine.Acquire(Data(), Data(), "parent"), LockResult::Busy);
    EXPECT_EQ(mine.HolderNote(), "child");
    EXPECT_EQ(program.Acquire(program_.path()), LockResult::Busy);

    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    // The lock files are still there, and block nothing.
    EXPECT_FALSE(DiaryFolderInUse(Data()));
    EXPECT_EQ(mine.Acquire(Data(), Data(), "parent"), LockResult::Acquired);
    EXPECT_EQ(program.Acquire(program_.path()), LockResult::Acquired);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(InstanceLockTest, MovingTheDataFolderMovesItsLock) {
    TempDir second;
    DiaryLock lock, other;
    ASSERT_EQ(lock.Acquire(Data(), Data(), "w"), LockResult::Acquired);
    EXPECT_EQ(lock.MoveData(second.path()), LockResult::Acquired);
    EXPECT_TRUE(DiaryFolderInUse(second.path()));
    // The settings folder stays locked: it still holds the settings file.
    EXPECT_TRUE(DiaryFolderInUse(Data()));

    // A data folder that another window has: refused, the old lock kept.
    TempDir third;
    ASSERT_EQ(other.Acquire(third.path(), third / "settings", "other"), LockResult::Acquired);
    EXPECT_EQ(lock.MoveData(third.path()), LockResult::Busy);
    EXPECT_EQ(lock.HolderNote(), "other");
    EXPECT_TRUE(DiaryFolderInUse(second.path()));

    EXPECT_EQ(lock.MoveData(Data()), LockResult::Acquired);
    EXPECT_FALSE(DiaryFolderInUse(second.path()));
    EXPECT_TRUE(DiaryFolderInUse(Data()));
}

TEST_F(InstanceLockTest, RuntimeFolderIsPrivate) {
    const std::string fallback = "/tmp/kuvandoro-" + std::to_string(::geteuid());
    struct Case {
        const char* xdg;  // nullptr: unset
        std::string want;
    };
    const std::string mine = runtime_.path() + "/kuvandoro";
    const Case cases[] = {
        {runtime_.path().c_str(), mine},
        {nullptr, fallback},
        {"/nonexistent-runtime-dir", fallback},
    };
    for (const Case& c : cases) {
        if (c.xdg == nullptr) {
            ::unsetenv("XDG_RUNTIME_DIR");
        } else {
            ::setenv("XDG_RUNTIME_DIR", c.xdg, 1);
        }
        EXPECT_EQ(RuntimeFolder(), c.want) << (c.xdg ? c.xdg : "(unset)");
        struct stat st {};
        ASSERT_EQ(::lstat(c.want.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
    // A folder that others may enter is not used.
    ::setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
    ::chmod(mine.c_str(), 0755);
    EXPECT_EQ(RuntimeFolder(), fallback);
    EXPECT_TRUE(Exists(fallback));
}

}  // namespace
}  // namespace kuv
