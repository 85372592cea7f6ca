// The session beside other writers: an entry changed on disk between its
// load and its save is never overwritten in silence.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "diary/conflict_copies.h"
#include "diary/session.h"
#include "lock/strong_lock.h"
#include "platform/unicode.h"
#include "tests/support/reference.h"
#include "tests/support/session_rig.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Day;
using test::Exists;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

class ConflictTest : public ::testing::Test {
  protected:
    ConflictTest() : rig(dir.path()) { ::mkdir((dir / "2001").c_str(), 0700); }

    std::string Entry(const char* ext = ".dia") const {
        return dir / (std::string("2001/0117") + ext);
    }
    // The other writer: replaces the entry through a rename, as sync tools do.
    void Replace(const std::string& bytes, const char* ext = ".dia") {
        WriteBytes(dir / "incoming", bytes);
        ASSERT_EQ(std::rename((dir / "incoming").c_str(), Entry(ext).c_str()), 0);
    }
    std::vector<std::string> CopyTexts(const std::string& password = "") {
        std::vector<std::string> texts;
        for (const ConflictCopy& c : ListConflictCopies(dir.path(), 2001, 1, 17)) {
            PaneContent pane;
            EXPECT_TRUE(ReadConflictCopy(c.path, password, pane));
            texts.push_back(pane.text);
        }
        return texts;
    }

    TempDir dir;
    test::SessionRig rig;
    DiarySession& session = rig.session;
};

TEST_F(ConflictTest, EveryOrderOfEventsIsSettledWithoutLosingAVersion) {
    struct Case {
        const char* name;
        const char* stored;  // nullptr: no entry when the day is loaded
        const char* other;   // nullptr: the other writer removed the entry
        ConflictChoice choice;
        const char* entryAfter;  // nullptr: no entry file afterwards
        std::vector<std::string> copies;
    };
    const std::vector<Case> cases = {
        {"replaced, keep mine", "old", "theirs", ConflictChoice::KeepMine, "mine", {"theirs"}},
        {"replaced, take theirs", "old", "theirs", ConflictChoice::TakeTheirs, "theirs", {"mine"}},
        {"created meanwhile, keep mine",
         nullptr,
         "theirs",
         ConflictChoice::KeepMine,
         "mine",
         {"theirs"}},
        {"created meanwhile, take theirs",
         nullptr,
         "theirs",
         ConflictChoice::TakeTheirs,
         "theirs",
         {"mine"}},
        {"removed, keep mine", "old", nullptr, ConflictChoice::KeepMine, "mine", {}},
        {"removed, take theirs", "old", nullptr, ConflictChoice::TakeTheirs, nullptr, {"mine"}},
        // The same size and time to the second, other bytes: still another version.
        {"rewritten in place", "abc", "xyz", ConflictChoice::TakeTheirs, "xyz", {"mine"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(Entry().c_str());
        for (const ConflictCopy& copy : ListConflictCopies(dir.path(), 2001, 1, 17)) {
            DeleteConflictCopy(copy.path);
        }
        if (c.stored != nullptr) WriteBytes(Entry(), c.stored);
        rig.view.conflicts.clear();
        rig.view.choice = c.choice;
        session.Open();
        rig.Type("mine");
        if (c.other != nullptr) {
            Replace(c.other);
        } else {
            std::remove(Entry().c_str());
        }
        session.StepDays(1);
        EXPECT_EQ(rig.view.conflicts.size(), 1u);
        if (c.entryAfter != nullptr) {
            EXPECT_EQ(ReadBytes(Entry()), c.entryAfter);
        } else {
            EXPECT_FALSE(Exists(Entry()));
        }
        EXPECT_EQ(CopyTexts(), c.copies);
    }
}

TEST_F(ConflictTest, ACancelWritesNothingAndStaysOnTheDay) {
    WriteBytes(Entry(), "old");
    session.Open();
    rig.Type("mine");
    Replace("theirs");
    rig.view.choice = ConflictChoice::Cancel;
    EXPECT_THROW(session.StepDays(1), Cancelled);
    EXPECT_EQ(ReadBytes(Entry()), "theirs");
    EXPECT_TRUE(CopyTexts().empty());
    EXPECT_EQ(EntryName(session.Day()), "0117");
    EXPECT_TRUE(session.Unsaved());
}

TEST_F(ConflictTest, TwoSessionsOnOneFolderBothKeepTheirWords) {
    WriteBytes(Entry(), "morning");
    test::SessionRig second(dir.path());
    session.Open();
    second.session.Open();
    second.Type("second window");
    second.session.Exit();
    rig.Type("first window text");
    // The first window closes last; its text meets the second's.
    rig.view.choice = ConflictChoice::KeepMine;
    session.Exit();
    EXPECT_EQ(ReadBytes(Entry()), "first window text");
    EXPECT_EQ(CopyTexts(), std::vector<std::string>{"second window"});
    // A save that follows its own save is no conflict.
    test::SessionRig third(dir.path());
    third.session.Open();
    third.Type("one");
    third.session.Save();
    third.Type("two");
    third.session.Save();
    EXPECT_TRUE(third.view.conflicts.empty());
}

TEST_F(ConflictTest, ALockedEntrysCopiesStayLocked) {
    rig.settings().UseEncryption = true;
    rig.settings().Password = "pw";
    WriteBytes(Entry(".xda"), test::HandContainer("old", "pw", 0));
    session.Open();
    rig.Type("mine");
    const std::string theirs = test::HandContainer("theirs", "pw", 0);
    Replace(theirs, ".xda");
    rig.view.choice = ConflictChoice::KeepMine;
    session.StepDays(1);
    const std::vector<ConflictCopy> copies = ListConflictCopies(dir.path(), 2001, 1, 17);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_TRUE(copies[0].locked);
    EXPECT_EQ(ReadBytes(copies[0].path), theirs);  // kept byte for byte
    EXPECT_EQ(CopyTexts("pw"), std::vector<std::string>{"theirs"});
    EXPECT_NE(ReadBytes(Entry(".xda")), theirs);

    // Taking theirs keeps mine as a locked copy too.
    session.StepDays(-1);
    rig.Type("mine again");
    Replace(test::HandContainer("theirs again", "pw", 0), ".xda");
    rig.view.choice = ConflictChoice::TakeTheirs;
    session.StepDays(1);
    const std::vector<ConflictCopy> after = ListConflictCopies(dir.path(), 2001, 1, 17);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_TRUE(after[1].locked);
    EXPECT_EQ(CopyTexts("pw")[1], "mine again");
}

// Under the strong lock the version that does not stay the entry is kept as
// a sealed copy for the same day, whichever is chosen, and reads back with
// the key; my text may hold any character.
TEST_F(ConflictTest, AStrongLockedEntrysCopiesStaySealed) {
    TempDir home;
    ::setenv("XDG_DATA_HOME", home.path().c_str(), 1);
    test::PutUnderStrongLock(dir.path());
    const std::shared_ptr<const lock::DiaryKey> key = lock::KeyFor(dir.path());
    const auto seal = [&](const std::string& utf8) {
        return *lock::SealEntry(utf8, "2001-01-17", key->id, key->key);
    };
    const std::string mine = "mine \xF0\x9F\x98\x80", theirs = "theirs";
    struct Case {
        ConflictChoice choice;
        std::string entryAfter, copy;
    } cases[] = {
        {ConflictChoice::KeepMine, mine, theirs},
        {ConflictChoice::TakeTheirs, theirs, mine},
    };
    for (const Case& c : cases) {
        WriteBytes(Entry(".kvd"), seal("old"));
        // The prompt has opened the key: the session then unlocks.
        ASSERT_TRUE(session.Open());
        ASSERT_TRUE(session.UnlockOpened());
        ASSERT_FALSE(session.UpperReadOnly());
        rig.pane.text.clear();
        unicode::Utf8ToUtf16(mine, rig.pane.text);
        session.UpperChanged();
        Replace(seal(theirs), ".kvd");
        rig.view.choice = c.choice;
        session.StepDays(1);
        std::string entry;
        ASSERT_EQ(lock::ReadStrongEntry(Entry(".kvd"), "2001-01-17", *key, entry),
                  lock::EntryRead::Opened);
        EXPECT_EQ(entry, c.entryAfter);
        const std::vector<ConflictCopy> copies = ListConflictCopies(dir.path(), 2001, 1, 17);
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_TRUE(copies[0].strong);
        EXPECT_EQ(ReadBytes(copies[0].path).find(c.copy.substr(0, 4)), std::string::npos);
        PaneContent pane;
        ASSERT_TRUE(ReadConflictCopy(copies[0].path, "", pane));
        EXPECT_EQ(pane.utf8, c.copy);
        EXPECT_TRUE(DeleteConflictCopy(copies[0].path));
    }
    lock::ForgetKey(dir.path());
}

TEST_F(ConflictTest, TheEndOfASessionKeepsTheOtherVersionAndCopiesMine) {
    WriteBytes(Entry(), "old");
    session.Open();
    rig.Type("mine");
    Replace("theirs");
    rig.view.choice = ConflictChoice::Cancel;  // never asked
    session.EndSession(ClosingState{});
    EXPECT_TRUE(session.Ended());
    EXPECT_TRUE(rig.view.conflicts.empty());
    EXPECT_EQ(ReadBytes(Entry()), "theirs");
    EXPECT_EQ(CopyTexts(), std::vector<std::string>{"mine"});
}

TEST_F(ConflictTest, AChangeOnDiskReloadsAnUntouchedPaneAndMarksATouchedOne) {
    WriteBytes(Entry(), "old");
    session.Open();
    EXPECT_FALSE(session.CheckDisk().reloaded);
    Replace("theirs");
    DiarySession::DiskCheck check = session.CheckDisk();
    EXPECT_TRUE(check.reloaded);
    EXPECT_EQ(session.Upper().text, "theirs");

    rig.Type("mine");
    Replace("theirs again");
    check = session.CheckDisk();
    EXPECT_TRUE(check.conflict);
    EXPECT_TRUE(session.ConflictPending());
    EXPECT_EQ(session.Upper().text, "theirs");  // the pane keeps the user's text
    // Last year's entry changed too: only the lower pane is loaded anew.
    ::mkdir((dir / "2000").c_str(), 0700);
    WriteBytes(dir / "2000/0117.dia", "last year");
    session.CheckDisk();
    EXPECT_EQ(rig.view.lowerLoads, 1);
    EXPECT_EQ(session.Lower().text, "last year");
}

}  // namespace
}  // namespace kuv
