#include "app/recovery.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/cp932.h"
#include "platform/fileio.h"
#include "tests/support/reference.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using fsio::fault::Op;

using test::LocalTime;
using test::ModeOf;

const RecoveryDay kDay{2026, 12, 7};
const std::time_t kNow = LocalTime(2026, 12, 8, 23, 15, 2);

class RecoveryTest : public ::testing::Test {
  protected:
    void TearDown() override { fsio::fault::Reset(); }
    test::TempDir dir;
    std::string state = dir / "home/.local/state/kuvandoro";
    std::string folder = state + "/recovered";
};

// The pane's whole text lands as UTF-8 in a private file named after the
// moment and the entry's day, in folders made private with their parents.
TEST_F(RecoveryTest, WritesTheWholeTextAsUtf8) {
    const struct {
        const char* name;
        std::u16string text;
        std::string utf8;
    } cases[] = {
        {"japanese", u"今日は\n晴れ", "今日は\n晴れ"},
        // What made the save fail: a character code page 932 does not hold.
        {"emoji", u"a\U0001F600b",
         "a\xf0\x9f\x98\x80"
         "b"},
        // A byte of the entry file that was no character; the file keeps it.
        {"escapedByte", u"x\xdc81y", "x\xef\xbf\xbdy"},
        {"empty", u"", ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::time_t now = kNow + 3600 * n++;
        const RecoveredFile f = WriteRecoveredText(state, c.text, kDay, now);
        ASSERT_TRUE(f.ok);
        char name[64];
        std::tm tm{};
        localtime_r(&now, &tm);
        std::strftime(name, sizeof name, "/%Y-%m-%d_entry-2026-12-07_%H%M%S.txt", &tm);
        EXPECT_EQ(f.path, folder + name);
        EXPECT_EQ(test::ReadBytes(f.path), c.utf8);
        EXPECT_EQ(ModeOf(f.path), 0600u);
        // Given as UTF-8, the same text gives the same bytes.
        const RecoveredFile again = WriteRecoveredText(state, c.utf8, kDay, now);
        ASSERT_TRUE(again.ok);
        EXPECT_EQ(test::ReadBytes(again.path), c.utf8);
    }
    EXPECT_EQ(test::ReadBytes(folder + "/2026-12-08_entry-2026-12-07_231502.txt"), "今日は\n晴れ");
    for (const std::string& f : {dir / "home", dir / "home/.local", state, folder}) {
        EXPECT_EQ(ModeOf(f), 0700u) << f;
    }
}

TEST_F(RecoveryTest, NeverReplacesAnEarlierFile) {
    std::vector<std::string> paths;
    for (const char* text : {"first", "second", "third"}) {
        const RecoveredFile f = WriteRecoveredText(state, std::string_view(text), kDay, kNow);
        ASSERT_TRUE(f.ok);
        paths.push_back(f.path);
    }
    const std::string stem = folder + "/2026-12-08_entry-2026-12-07_231502";
    EXPECT_EQ(paths, (std::vector<std::string>{stem + ".txt", stem + "-2.txt", stem + "-3.txt"}));
    EXPECT_EQ(test::ReadBytes(paths[0]), "first");
    EXPECT_EQ(test::ReadBytes(paths[2]), "third");
}

// A failed write leaves nothing behind, not even its work file.
TEST_F(RecoveryTest, AFailedWriteLeavesNothing) {
    for (Op op :
         {Op::MakeDirectory, Op::Create, Op::Write, Op::NoSpace, Op::Sync, Op::Close, Op::Rename}) {
        SCOPED_TRACE(static_cast<int>(op));
        test::TempDir fresh;
        const std::string where = fresh / "state";
        fsio::fault::FailNth(op, 1);
        const RecoveredFile f = WriteRecoveredText(where, std::string_view("text"), kDay, kNow);
        EXPECT_TRUE(fsio::fault::Fired());
        fsio::fault::Reset();
        EXPECT_FALSE(f.ok);
        std::vector<fsio::DirEntry> left;
        fsio::ListDirectory(RecoveredFolder(where), left);
        EXPECT_TRUE(left.empty());
    }
}

// Each recovered text is announced at one start only; the record lies in the
// state folder and forgets files that the user removed.
TEST_F(RecoveryTest, EachTextIsAnnouncedOnce) {
    EXPECT_TRUE(UnannouncedRecoveredFiles(state).empty());
    const std::string a = WriteRecoveredText(state, std::string_view("a"), kDay, kNow).path;
    const std::string b = WriteRecoveredText(state, std::string_view("b"), kDay, kNow + 60).path;
    test::WriteBytes(folder + "/not-ours.$$$", "x");

    EXPECT_EQ(UnannouncedRecoveredFiles(state), (std::vector<std::string>{a, b}));
    ASSERT_TRUE(MarkRecoveredFilesAnnounced(state, {a, b}));
    EXPECT_TRUE(UnannouncedRecoveredFiles(state).empty());

    const std::string c = WriteRecoveredText(state, std::string_view("c"), kDay, kNow + 120).path;
    EXPECT_EQ(UnannouncedRecoveredFiles(state), (std::vector<std::string>{c}));
    ASSERT_EQ(::unlink(a.c_str()), 0);
    ASSERT_TRUE(MarkRecoveredFilesAnnounced(state, {c}));
    EXPECT_TRUE(UnannouncedRecoveredFiles(state).empty());
    EXPECT_EQ(test::ReadBytes(state + "/recovered-announced"),
              "2026-12-08_entry-2026-12-07_231602.txt\n2026-12-08_entry-2026-12-07_231702.txt\n");
    EXPECT_EQ(ModeOf(state + "/recovered-announced"), 0600u);

    const std::string message = RecoveredFilesMessage({b, c});
    EXPECT_EQ(message, *cp932::FromUtf8("前回の終了のときに保存できなかった日記の文章を、"
                                        "次のファイルに残してあります。") +
                           "\n" + b + "\n" + c);
}

TEST_F(RecoveryTest, StateFolderFollowsTheXdgRules) {
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const char* name : {"XDG_STATE_HOME", "HOME"}) {
        const char* v = std::getenv(name);
        saved.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }
    const struct {
        const char* xdg;  // nullptr: unset
        std::string folder;
    } cases[] = {
        {nullptr, dir / "home/.local/state/kuvandoro"},
        {"", dir / "home/.local/state/kuvandoro"},
        {"relative/state", dir / "home/.local/state/kuvandoro"},
        {"/srv/state", "/srv/state/kuvandoro"},
    };
    ::setenv("HOME", (dir / "home").c_str(), 1);
    for (const auto& c : cases) {
        if (c.xdg != nullptr) {
            ::setenv("XDG_STATE_HOME", c.xdg, 1);
        } else {
            ::unsetenv("XDG_STATE_HOME");
        }
        EXPECT_EQ(UserStateFolder(), c.folder) << (c.xdg ? c.xdg : "(unset)");
    }
    for (const auto& [name, v] : saved) {
        if (v) {
            ::setenv(name, v->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    // Finding the folder creates nothing.
    EXPECT_FALSE(test::Exists(dir / "home"));
}

}  // namespace
}  // namespace kuv
