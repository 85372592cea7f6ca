#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "crypt/seal.h"
#include "diary/conflict_copies.h"
#include "diary/diary_book.h"
#include "drafts/draft_restore.h"
#include "drafts/draft_store.h"
#include "lock/strong_lock.h"
#include "platform/cp932.h"
#include "platform/unicode.h"
#include "tests/support/reference.h"
#include "tests/support/session_rig.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr std::time_t kNow = 1796691600;

// A diary with the entry of 2001-01-17 and its state folder.
struct Diary {
    TempDir dir;
    std::string data = dir / "data";
    std::string state = dir / "state";
    std::string year = data + "/2001";
    Diary() {
        test::MakeDir(data);
        test::MakeDir(year);
    }
    // A draft of the day as a window would write it over what it loaded.
    void DraftOver(const std::string& utf8, bool locked) {
        Draft d;
        d.dataPath = data;
        d.year = 2001;
        d.month = 1;
        d.day = 17;
        d.time = kNow;
        d.base = CaptureEntryVersion(year, "0117");
        d.utf8 = utf8;
        ASSERT_TRUE(WriteDraft(state, d, locked, "pw"));
    }
    std::string DraftFile() const { return DraftPath(state, data, 2001, 1, 17); }
};

TEST(DraftRestore, EachDraftComesBackOrBecomesACopy) {
    enum class Then { PutBack, Copy, Gone, Kept };
    struct Case {
        const char* what;
        bool locked;
        const char* before;  // the entry the draft started from; nullptr: none
        std::string draft;   // UTF-8
        const char* after;   // written by another writer meanwhile; nullptr: nothing
        Then then;
    };
    const Case cases[] = {
        {"an unchanged entry", false, "old", "old and new", nullptr, Then::PutBack},
        {"no entry yet", false, nullptr, "first words", nullptr, Then::PutBack},
        {"an emoji", false, "old", "old \U0001F600", nullptr, Then::PutBack},
        {"changed meanwhile", false, "old", "mine", "theirs", Then::Copy},
        {"created meanwhile", false, nullptr, "mine", "theirs", Then::Copy},
        {"saved after all", false, "old", "new", "new", Then::Gone},
        {"the same as the entry", false, "old", "old", nullptr, Then::Gone},
        {"an emoji over a change", false, "old", "\U0001F600", "theirs", Then::Kept},
        {"locked, unchanged", true, "old", "old and new", nullptr, Then::PutBack},
        {"locked, changed", true, "old", "mine", "theirs", Then::Copy},
    };
    for (const Case& c : cases) {
        Diary d;
        if (c.before) SaveEntry(d.year, "0117", c.before, c.locked, "pw");
        d.DraftOver(c.draft, c.locked);
        if (c.after) SaveEntry(d.year, "0117", c.after, c.locked, "pw");
        const std::string entryBefore = LoadPane(d.year, "0117", "pw").text;
        const DraftRestore r = RestoreDrafts(d.state, d.data, c.locked, "pw", kNow);
        EXPECT_EQ(LoadPane(d.year, "0117", "pw").text, entryBefore) << c.what;
        EXPECT_EQ(r.putBack.size(), c.then == Then::PutBack ? 1u : 0u) << c.what;
        EXPECT_EQ(r.conflictCopies.size(), c.then == Then::Copy ? 1u : 0u) << c.what;
        EXPECT_EQ(r.kept.size(), c.then == Then::Kept ? 1u : 0u) << c.what;
        EXPECT_EQ(r.StatusText().empty(), c.then == Then::Gone || c.then == Then::Kept) << c.what;
        // Only what came back into a pane is still to be saved.
        const bool draftLeft = c.then == Then::PutBack || c.then == Then::Kept;
        EXPECT_EQ(test::Exists(d.DraftFile()), draftLeft) << c.what;
        if (c.then == Then::PutBack) {
            EXPECT_EQ(r.putBack[0].utf8, c.draft) << c.what;
            EXPECT_EQ(r.StatusText(), *cp932::FromUtf8("前回保存されなかった文章を戻しました"));
        }
        if (c.then == Then::Copy) {
            PaneContent copy;
            ASSERT_TRUE(ReadConflictCopy(r.conflictCopies[0], "pw", copy)) << c.what;
            EXPECT_EQ(copy.text, c.draft) << c.what;
            EXPECT_EQ(copy.source, c.locked ? PaneSource::Locked : PaneSource::Plain) << c.what;
        }
    }
}

// Under the strong lock a draft comes back with any character it holds, or
// becomes a sealed copy; with the key closed it stays as it is.
TEST(DraftRestore, StrongLockedDraftsComeBackWithAnyCharacter) {
    enum class Then { PutBack, Copy, Gone, Kept };
    struct Case {
        const char* what;
        std::string draft;
        const char* after;  // written by another writer meanwhile; nullptr: nothing
        bool keyOpen;
        Then then;
    };
    const Case cases[] = {
        {"an unchanged entry", "old \U0001F600", nullptr, true, Then::PutBack},
        {"changed meanwhile", "mine \U0001F600", "theirs", true, Then::Copy},
        {"saved after all", "new \U0001F600", "new \U0001F600", true, Then::Gone},
        {"the key not open", "mine", nullptr, false, Then::Kept},
    };
    for (const Case& c : cases) {
        Diary d;
        ::setenv("XDG_DATA_HOME", (d.dir / "share").c_str(), 1);
        test::PutUnderStrongLock(d.data);
        SaveStrongText(d.year, "0117", "old");
        d.DraftOver(c.draft, false);
        if (c.after) SaveStrongText(d.year, "0117", c.after);
        if (!c.keyOpen) lock::ForgetKey(d.data);
        const DraftRestore r = RestoreDrafts(d.state, d.data, false, "", kNow);
        EXPECT_EQ(r.putBack.size(), c.then == Then::PutBack ? 1u : 0u) << c.what;
        EXPECT_EQ(r.conflictCopies.size(), c.then == Then::Copy ? 1u : 0u) << c.what;
        EXPECT_EQ(r.kept.size(), c.then == Then::Kept ? 1u : 0u) << c.what;
        EXPECT_EQ(test::Exists(d.DraftFile()), c.then == Then::PutBack || c.then == Then::Kept)
            << c.what;
        if (c.then == Then::PutBack) {
            EXPECT_EQ(r.putBack[0].utf8, c.draft) << c.what;
        }
        if (c.then == Then::Copy) {
            EXPECT_EQ(ReadBytes(r.conflictCopies[0]).find("mine"), std::string::npos);
            PaneContent copy;
            ASSERT_TRUE(ReadConflictCopy(r.conflictCopies[0], "", copy)) << c.what;
            EXPECT_EQ(copy.utf8, c.draft) << c.what;
            EXPECT_EQ(copy.source, PaneSource::StrongWide) << c.what;
        }
        lock::ForgetKey(d.data);
    }
}

TEST(DraftRestore, DraftsThatCannotBeReadAreKeptAndNamed) {
    Diary d;
    d.DraftOver("sealed words", true);
    const std::string sealed = d.DraftFile();
    const std::string damaged = DraftPath(d.state, d.data, 2001, 1, 18);
    WriteBytes(damaged, "KUVDRAFT1\ncut");
    // The right content under another day's name is no draft of that day.
    const std::string misnamed = DraftPath(d.state, d.data, 2001, 1, 19);
    WriteBytes(misnamed, ReadBytes(sealed));
    const DraftRestore r = RestoreDrafts(d.state, d.data, true, "another", kNow);
    EXPECT_EQ(r.kept, (std::vector<std::string>{sealed, damaged, misnamed}));
    ASSERT_EQ(r.KeptMessages().size(), 3u);
    EXPECT_NE(r.KeptMessages()[1].find(damaged), std::string::npos);
    for (const std::string& path : r.kept) EXPECT_TRUE(test::Exists(path)) << path;
    // Each diary has its own drafts.
    EXPECT_TRUE(RestoreDrafts(d.state, d.dir / "other", true, "pw", kNow).kept.empty());
}

TEST(DraftRestore, ASaveForgetsTheDraftOfItsDayOnly) {
    Diary d;
    const char* saved = std::getenv("XDG_STATE_HOME");
    ::setenv("XDG_STATE_HOME", d.state.c_str(), 1);
    d.state += "/kuvandoro";
    d.DraftOver("typed", false);
    const std::string other = DraftPath(d.state, d.data, 2001, 1, 18);
    WriteBytes(other, "another day's");
    test::SessionRig rig(d.data);
    rig.session.Open();
    rig.Type("typed");
    rig.session.Save();
    EXPECT_FALSE(test::Exists(d.DraftFile()));
    EXPECT_EQ(ReadBytes(other), "another day's");
    if (saved != nullptr) {
        ::setenv("XDG_STATE_HOME", saved, 1);
    } else {
        ::unsetenv("XDG_STATE_HOME");
    }
}

TEST(DraftRestore, TheSessionSaysWhatToKeep) {
    enum class Job { None, Remove, Write };
    const struct {
        const char* what;
        bool locked;
        const char* entry;  // stored before the start
        const char* typed;  // nullptr: nothing typed
        Job job;
    } cases[] = {
        {"nothing typed", false, "old", nullptr, Job::Remove},
        {"typed", false, "old", "old and new", Job::Write},
        {"typed back to the saved text", false, "old", "old", Job::Remove},
        {"locked", true, "old", "old and new", Job::Write},
    };
    for (const auto& c : cases) {
        Diary d;
        const char* saved = std::getenv("XDG_STATE_HOME");
        ::setenv("XDG_STATE_HOME", d.state.c_str(), 1);
        SaveEntry(d.year, "0117", c.entry, c.locked, "pw");
        test::SessionRig rig(d.data);
        rig.settings().UseEncryption = c.locked;
        rig.settings().Password = "pw";
        if (rig.session.Open()) {
            ASSERT_TRUE(rig.session.Unlock("pw"));
        }
        rig.Show();
        if (c.typed) rig.Type(c.typed);
        const std::optional<DraftJob> job = rig.session.DraftNow();
        ASSERT_TRUE(job.has_value()) << c.what;
        EXPECT_EQ(job->remove, c.job == Job::Remove) << c.what;
        EXPECT_EQ(job->sealed, c.locked && c.job == Job::Write) << c.what;
        ASSERT_TRUE(RunDraftJob(*job)) << c.what;
        // What the worker kept comes back at the next start.
        const DraftRestore r = RestoreDrafts(d.state + "/kuvandoro", d.data, c.locked, "pw", kNow);
        ASSERT_EQ(r.putBack.size(), c.job == Job::Write ? 1u : 0u) << c.what;
        if (c.job == Job::Write) {
            EXPECT_EQ(r.putBack[0].utf8, c.typed) << c.what;
        }
        if (saved != nullptr) {
            ::setenv("XDG_STATE_HOME", saved, 1);
        } else {
            ::unsetenv("XDG_STATE_HOME");
        }
    }
}

// A process that keeps writing a draft is killed at any moment: the next
// start finds one whole draft (or none yet) and the session saves it.
TEST(DraftRestore, AKilledWriterLeavesAWholeDraft) {
    const std::string texts[] = {std::string(20000, 'a') + "\r\nend A",
                                 std::string(30000, 'b') + "\r\nend B"};
    int restored = 0;
    for (int round = 0; round < 12; ++round) {
        Diary d;
        SaveEntry(d.year, "0117", "old", true, "pw");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Draft draft;
            draft.dataPath = d.data;
            draft.year = 2001;
            draft.month = 1;
            draft.day = 17;
            draft.base = CaptureEntryVersion(d.year, "0117");
            for (int i = 0;; ++i) {
                draft.utf8 = texts[i % 2];
                WriteDraft(d.state, draft, true, "pw");
            }
        }
        ::usleep(static_cast<useconds_t>(2000 + round * 3000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const DraftRestore r = RestoreDrafts(d.state, d.data, true, "pw", kNow);
        EXPECT_TRUE(r.kept.empty()) << "round " << round;
        if (r.putBack.empty()) continue;
        ASSERT_EQ(r.putBack.size(), 1u);
        ++restored;
        const std::string& text = r.putBack[0].utf8;
        EXPECT_TRUE(text == texts[0] || text == texts[1]) << "round " << round;

        // The window shows the day with the text as an unsaved change.
        test::SessionRig rig(d.data);
        rig.settings().UseEncryption = true;
        rig.settings().Password = "pw";
        ASSERT_TRUE(rig.session.Open());
        ASSERT_TRUE(rig.session.Unlock("pw"));
        rig.session.GoTo(test::Day(2001, 1, 17));
        std::u16string utf16;
        ASSERT_TRUE(unicode::Utf8ToUtf16(text, utf16));
        rig.pane.text = utf16;
        rig.session.UpperChanged();
        rig.session.Save();
        EXPECT_EQ(LoadPane(d.year, "0117", "pw").text, text);
    }
    // The later kills come long after the first draft was written.
    EXPECT_GT(restored, 0);
}

}  // namespace
}  // namespace kuv
