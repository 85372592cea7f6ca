// With the strong lock on, every file the program writes for an entry's
// text (the entry, its kept versions, a draft, conflict copies, a text kept
// for recovery) is sealed: no word of the entries can be found by reading
// the bytes of any file under the data, state and data-home folders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/recovery.h"
#include "diary/session.h"
#include "drafts/draft_restore.h"
#include "history/entry_history.h"
#include "lock/lock_convert.h"
#include "platform/fileio.h"
#include "tests/support/reference.h"
#include "tests/support/session_rig.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv::lock {
namespace {

using test::Snapshot;
using test::TempDir;
using test::WriteBytes;

const Argon2Params kFast{1, 8192};
// One word for each text that passes through the diary; the Japanese one
// is looked for in both of its forms.
const std::vector<std::string> kWords = {"alphaword",
                                         "bravoword",
                                         "charlieword",
                                         "deltaword",
                                         "echoword",
                                         "foxtrotword",
                                         "golfword",
                                         "hotelword",
                                         "indiaword",
                                         "julietword",
                                         "\xE6\x97\xA5\xE8\xA8\x98\xE5\xB8\xB3",
                                         "\x93\xfa\x8bL\x92\xa0"};

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class NothingPlainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_DATA_HOME", home.path().c_str(), 1);
        setenv("XDG_STATE_HOME", state.path().c_str(), 1);
        test::MakeDir(data / "2001");
        WriteBytes(data / "2001/0116.dia", "alphaword");
        WriteBytes(data / "2001/0117.dia", "bravoword \x93\xfa\x8bL\x92\xa0");
        std::string code;
        ASSERT_TRUE(TurnOn(data.path(), "pass", "", kFast, code).ok());
        DiaryKey key;
        ASSERT_TRUE(OpenDiaryKey(data.path(), "pass", SlotKind::Password, key).ok());
        RememberKey(data.path(), std::move(key));
    }
    void TearDown() override {
        fsio::fault::Reset();
        ForgetKey(data.path());
    }
    // Another writer (a sync tool) replaces the day's sealed entry.
    void TheyWrite(const std::string& utf8) {
        const std::shared_ptr<const DiaryKey> key = KeyFor(data.path());
        WriteBytes(data / "incoming", *SealEntry(utf8, "2001-01-17", key->id, key->key));
        ASSERT_TRUE(fsio::Rename(data / "incoming", data / "2001/0117.kvd"));
    }

    TempDir data, state, home;
};

TEST_F(NothingPlainTest, NoWordOfAnyEntryLiesPlainOnDisk) {
    test::SessionRig rig(data.path());
    DiarySession& session = rig.session;
    // The prompt has opened the key: the session then unlocks.
    ASSERT_TRUE(session.Open());
    ASSERT_TRUE(session.UnlockOpened());
    // Saves that keep versions of what they replace.
    for (const char* text : {"charlieword", "deltaword"}) {
        rig.Type(text);
        session.Save();
    }
    // Both answers to another writer: the version that loses is a copy.
    TheyWrite("foxtrotword");
    rig.view.choice = ConflictChoice::KeepMine;
    rig.Type("golfword");
    session.Save();
    TheyWrite("indiaword");
    rig.view.choice = ConflictChoice::TakeTheirs;
    rig.Type("hotelword");
    session.Save();
    // A draft of the next day, then an end whose save fails: the text is
    // kept for recovery and the draft stays.
    session.StepDays(1);
    rig.Type("echoword");
    const std::optional<DraftJob> job = session.DraftNow();
    ASSERT_TRUE(job.has_value());
    ASSERT_TRUE(RunDraftJob(*job));
    rig.Type("julietword");
    fsio::fault::FailNth(fsio::fault::Op::Rename, 1);
    session.EndSession(ClosingState{});
    fsio::fault::Reset();

    // A version is compressed: its inflated bytes are what count.
    const auto asKept = [](const std::string& path, const std::string& bytes) {
        std::string inner;
        bool locked = false;
        return ReadEntryVersion(path, inner, locked) ? inner : bytes;
    };
    const auto asIs = [](const std::string&, const std::string& bytes) { return bytes; };
    struct Kind {
        const char* what;
        std::function<bool(const std::string&)> is;
        std::function<std::string(const std::string&, const std::string&)> content;
    } kinds[] = {
        {"entries",
         [](const std::string& n) {
             return EndsWith(n, ".kvd") && n.find(".conflict-") == n.npos &&
                    n.find("recovered") == n.npos;
         },
         asIs},
        {"versions", [](const std::string& n) { return EndsWith(n, ".kvz"); }, asKept},
        {"drafts", [](const std::string& n) { return EndsWith(n, ".draft"); }, asIs},
        {"conflict copies", [](const std::string& n) { return n.find(".conflict-") != n.npos; },
         asIs},
        {"recovery files", [](const std::string& n) { return n.find("recovered/") != n.npos; },
         asIs},
        {"every file", [](const std::string&) { return true; }, asIs},
    };
    for (const Kind& kind : kinds) {
        int files = 0;
        for (const TempDir* dir : {&data, &state, &home}) {
            for (const auto& [name, file] : Snapshot(dir->path())) {
                const std::string path = dir->path() + "/" + name;
                if (!kind.is(name) || !test::Exists(path) || test::IsDir(path)) continue;
                ++files;
                const std::string bytes = kind.content(path, file.bytes);
                for (const std::string& word : kWords) {
                    EXPECT_EQ(bytes.find(word), std::string::npos) << kind.what << ": " << name;
                }
                EXPECT_FALSE(EndsWith(name, ".dia") || EndsWith(name, ".txt")) << name;
            }
        }
        EXPECT_GT(files, 0) << "no " << kind.what << " were written";
    }

    // The text kept at the end is announced at the next start, and comes
    // back into its day's pane once the key is open.
    const std::string stateFolder = state / "kuvandoro";
    const std::vector<std::string> recovered = UnannouncedRecoveredFiles(stateFolder);
    ASSERT_EQ(recovered.size(), 1u);
    EXPECT_TRUE(EndsWith(recovered[0], ".kvd"));
    const DraftRestore restore = RestoreDrafts(stateFolder, data.path(), false, "", 0);
    ASSERT_EQ(restore.putBack.size(), 1u);
    EXPECT_EQ(restore.putBack[0].day, 18);
    EXPECT_EQ(restore.putBack[0].utf8, "julietword");
}

}  // namespace
}  // namespace kuv::lock
