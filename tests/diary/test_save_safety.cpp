#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "diary/diary_book.h"
#include "history/entry_history.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "tests/support/reference.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using fsio::fault::Op;
using test::Cp932;
using test::Exists;
using test::ReadBytes;
using test::Snapshot;
using test::TempDir;

const char* const kPassword = "secret";

std::string Filled(char c, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>(c + i % 7);
    return s;
}

const std::string kOld = Filled('a', 3000) + "\r\n";
const std::string kNew = Filled('n', 5000);

enum class Prior { Plain, Locked, Both };

const char* PriorName(Prior p) {
    switch (p) {
        case Prior::Plain:
            return "plain";
        case Prior::Locked:
            return "locked";
        case Prior::Both:
            return "both";
    }
    return "?";
}

const char* OpName(Op op) {
    static const char* const kNames[] = {"Open",  "Create",     "Read",    "ShortRead",
                                         "Write", "ShortWrite", "NoSpace", "Sync",
                                         "Close", "Rename",     "Remove",  "MakeDirectory"};
    return kNames[static_cast<int>(op)];
}

class SaveSafetyTest : public ::testing::Test {
  protected:
    // The faults here count the entry file's own calls; keeping the earlier
    // version has its own tests.
    void SetUp() override { KeepVersionsOnSave(false); }
    void TearDown() override {
        fsio::fault::Reset();
        KeepVersionsOnSave(true);
    }

    std::string Folder() const { return dir / "2001"; }

    // The old entry of the day, stored the way prior says.
    void Store(Prior prior) {
        std::error_code ec;
        std::filesystem::remove_all(Folder(), ec);
        fsio::fault::Reset();
        if (prior == Prior::Both) {
            SaveEntry(Folder(), "0117", kOld, true, kPassword);
            SaveEntry(Folder(), "0117", kOld, false, kPassword);
        } else {
            SaveEntry(Folder(), "0117", kOld, prior == Prior::Locked, kPassword);
        }
        fsio::fault::Reset();
    }

    TempDir dir;
};

TEST_F(SaveSafetyTest, AFailedWriteKeepsThePreviousEntryByteForByte) {
    const Op ops[] = {Op::Create, Op::Write,  Op::ShortWrite, Op::NoSpace,
                      Op::Sync,   Op::Rename, Op::Close};
    const std::string plain = Folder() + "/0117.dia";
    for (Prior prior : {Prior::Plain, Prior::Locked, Prior::Both}) {
        for (Op op : ops) {
            Store(prior);
            const auto before = Snapshot(dir.path());
            fsio::fault::FailNth(op, 1);
            try {
                SaveEntry(Folder(), "0117", kNew, false, kPassword);
                ADD_FAILURE() << "no error: " << OpName(op) << " " << PriorName(prior);
            } catch (const AppError& e) {
                EXPECT_EQ(e.what(), FormatMessage(Cp932("ファイル %s を作成できません"), plain));
            }
            EXPECT_TRUE(fsio::fault::Fired()) << OpName(op);
            fsio::fault::Reset();
            EXPECT_EQ(Snapshot(dir.path()), before) << OpName(op) << " " << PriorName(prior);
            EXPECT_EQ(LoadPane(Folder(), "0117", kPassword).text, kOld) << OpName(op);
        }
    }
}

// A failing locked file falls back to a plain entry with the new text; only
// when that fails too is the save refused, with the old entry untouched.
TEST_F(SaveSafetyTest, AFailedLockedFileFallsBackToPlainText) {
    const Op ops[] = {Op::Create, Op::Write,  Op::ShortWrite, Op::NoSpace,
                      Op::Sync,   Op::Rename, Op::Close};
    for (Prior prior : {Prior::Plain, Prior::Locked, Prior::Both}) {
        for (Op op : ops) {
            Store(prior);
            const auto lockedBefore = ReadBytes(Folder() + "/0117.xda");
            fsio::fault::FailNth(op, 1);
            SaveEntry(Folder(), "0117", kNew, true, kPassword);
            EXPECT_TRUE(fsio::fault::Fired()) << OpName(op);
            fsio::fault::Reset();
            EXPECT_EQ(ReadBytes(Folder() + "/0117.xda"), lockedBefore) << OpName(op);
            EXPECT_EQ(LoadPane(Folder(), "0117", kPassword).text, kNew) << OpName(op);
            EXPECT_EQ(LoadPane(Folder(), "0117", kPassword).source, PaneSource::Plain);
        }
    }
}

TEST_F(SaveSafetyTest, AYearFolderThatCannotBeMadeStopsTheSave) {
    fsio::fault::FailNth(Op::MakeDirectory, 1);
    EXPECT_THROW(SaveEntry(Folder(), "0117", kNew, false, ""), AppError);
    EXPECT_TRUE(fsio::fault::Fired());
    EXPECT_TRUE(Snapshot(dir.path()).empty());
    // Tried once, not over and over.
    EXPECT_EQ(fsio::fault::Calls(Op::MakeDirectory), 1);
}

// Every file call of a save fails in turn: the save either reports the
// failure or succeeds, and in every case the day stays readable, with the new
// text whenever no failure was reported.
TEST_F(SaveSafetyTest, EveryFailingCallLeavesAReadableEntry) {
    int failures = 0;
    for (Prior prior : {Prior::Plain, Prior::Locked, Prior::Both}) {
        for (bool encrypt : {false, true}) {
            Store(prior);
            SaveEntry(Folder(), "0117", kNew, encrypt, kPassword);
            std::vector<int> calls;
            for (int op = 0; op < static_cast<int>(Op::Count_); ++op) {
                calls.push_back(fsio::fault::Calls(static_cast<Op>(op)));
            }
            for (int op = 0; op < static_cast<int>(Op::Count_); ++op) {
                for (int nth = 1; nth <= calls[static_cast<std::size_t>(op)]; ++nth) {
                    const std::string what = std::string(OpName(static_cast<Op>(op))) + " #" +
                                             std::to_string(nth) + " " + PriorName(prior) +
                                             (encrypt ? " locked" : "");
                    Store(prior);
                    fsio::fault::FailNth(static_cast<Op>(op), nth);
                    bool threw = false;
                    try {
                        SaveEntry(Folder(), "0117", kNew, encrypt, kPassword);
                    } catch (const AppError&) {
                        threw = true;
                        ++failures;
                    }
                    fsio::fault::Reset();
                    const PaneContent pane = LoadPane(Folder(), "0117", kPassword);
                    EXPECT_TRUE(pane.source == PaneSource::Plain ||
                                pane.source == PaneSource::Locked)
                        << what;
                    if (threw) {
                        EXPECT_TRUE(pane.text == kOld || pane.text == kNew) << what;
                    } else {
                        EXPECT_EQ(pane.text, kNew) << what;
                    }
                }
            }
        }
    }
    EXPECT_GT(failures, 0);
}

// A child saves over and over, alternating texts and plain and locked
// saves, and is killed at random moments; each time the day must still load
// as one of the two texts.
TEST_F(SaveSafetyTest, AKilledSaveLeavesTheOldOrTheNewEntry) {
    const std::string a = Filled('A', 6000);
    const std::string b = Cp932("日記の二つ目の文") + Filled('b', 4000);
    SaveEntry(Folder(), "0117", a, false, kPassword);

    std::mt19937 random(20010117);
    std::uniform_int_distribution<int> delayUs(0, 20000);
    bool sawB = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int round = 0; round < 50 && std::chrono::steady_clock::now() < deadline; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (unsigned i = 0;; ++i) {
                try {
                    SaveEntry(Folder(), "0117", i % 2 == 0 ? b : a, (i / 2 + round) % 2 == 1,
                              kPassword);
                } catch (...) {
                    ::_exit(3);
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself, round " << round;

        const PaneContent pane = LoadPane(Folder(), "0117", kPassword);
        EXPECT_TRUE(pane.text == a || pane.text == b) << "round " << round;
        EXPECT_TRUE(pane.source == PaneSource::Plain || pane.source == PaneSource::Locked)
            << "round " << round;
        sawB = sawB || pane.text == b;
    }
    EXPECT_TRUE(sawB) << "the child never completed a save";
    // Whatever a kill left behind, the next save still works.
    SaveEntry(Folder(), "0117", "after", true, kPassword);
    EXPECT_EQ(LoadPane(Folder(), "0117", kPassword).text, "after");
    EXPECT_FALSE(Exists(Folder() + "/0117.dia"));
    EXPECT_FALSE(Exists(Folder() + "/0117.$$$"));
}

}  // namespace
}  // namespace kuv
