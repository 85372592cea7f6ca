#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "crypt/cryptogram.h"
#include "diary/diary_book.h"
#include "diary/session.h"
#include "platform/errors.h"
#include "tests/support/reference.h"
#include "tests/support/session_rig.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Cp932;
using test::Day;
using test::Exists;
using test::HandContainer;
using test::ReadBytes;
using test::Snapshot;
using test::TempDir;
using test::WriteBytes;

// 2001-01-17 10:20:30 as an MS-DOS date and time.
constexpr std::uint32_t kDos =
    ((2001u - 1980u) << 25) | (1u << 21) | (17u << 16) | (10u << 11) | (20u << 5) | 15u;

// The text of a locked file, decoded by hand.
std::string Unlock(const std::string& container, const std::string& key) {
    std::string plain = container.substr(44);
    for (std::size_t k = 0; k < plain.size(); ++k) plain[k] ^= key[(k % 1024) % key.size()];
    return plain;
}

class LockedEntryTest : public ::testing::Test {
  protected:
    LockedEntryTest() : rig(dir.path()), settings(rig.settings()) {
        settings.Password = "secret";
        ::mkdir((dir / "2001").c_str(), 0700);
        ::mkdir((dir / "2000").c_str(), 0700);
    }
    std::string Path(const char* relative) const { return dir / relative; }

    TempDir dir;
    test::SessionRig rig;
    TDiarySettings& settings;
    DiarySession& session = rig.session;
    const TDateTime day = Day(2001, 1, 17) + 0.5;
};

TEST_F(LockedEntryTest, HandMadeContainersInTheWindowsLayoutLoad) {
    struct Case {
        const char* name;
        std::string key;
        std::string plain;
        std::string pane;
    };
    // 2100 bytes cross two block boundaries; with a 3-byte key, body byte
    // 1024 uses key byte 0 again.
    std::string longText;
    for (int i = 0; i < 2100; ++i) longText += static_cast<char>('a' + i % 26);
    const std::vector<Case> cases = {
        {"short", "secret", "hello\n", "hello\r\n"},
        {"empty body", "secret", "", ""},
        {"block restart", "abc", longText, longText},
        {"double-byte key and text", Cp932("日記帳"), Cp932("今日は晴れ\r\n"),
         Cp932("今日は晴れ") + "\r\n"},
        {"32-byte key", std::string(32, 'k'), "x", "x"},
        {"zero in the body", "pw", std::string("ab\0cd", 5), "ab"},
    };
    for (const auto& c : cases) {
        const std::string container = HandContainer(c.plain, c.key, kDos);
        WriteBytes(Path("2001/0117.xda"), container);
        PaneContent pane = LoadPane(dir / "2001", "0117", c.key);
        EXPECT_EQ(pane.text, c.pane) << c.name;
        EXPECT_EQ(pane.source, PaneSource::Locked) << c.name;
        EXPECT_EQ(ReadBytes(Path("2001/0117.xda")), container) << c.name;
    }
}

TEST_F(LockedEntryTest, OurContainersAreTheWindowsLayout) {
    rig.GoTo(day);
    session.UpperChanged();
    settings.UseEncryption = true;
    std::string text(1500, 'q');
    text += "\r\nend";
    rig.Save(text);
    const std::string stored = ReadBytes(Path("2001/0117.xda"));
    ASSERT_EQ(stored.size(), text.size() + 44);
    // Everything but the date bytes is fixed by the layout.
    std::string expected = HandContainer(text, "secret", 0);
    for (int i = 8; i < 12; ++i)
        expected[static_cast<std::size_t>(i)] = stored[static_cast<std::size_t>(i)];
    EXPECT_EQ(stored, expected);
}

TEST_F(LockedEntryTest, WrongPasswordShowsTheMarkerAndKeepsTheEntry) {
    WriteBytes(Path("2001/0117.xda"), HandContainer("old words", "oldpass", kDos));
    const auto before = Snapshot(dir.path());
    auto loaded = rig.GoTo(day);
    EXPECT_EQ(loaded.upper.text, "\x17");
    EXPECT_EQ(loaded.upper.source, PaneSource::Sealed);
    EXPECT_TRUE(session.UpperReadOnly());
    // Even a change that reached the session is not saved over the entry.
    settings.UseEncryption = true;
    session.UpperChanged();
    rig.Save("new words");
    settings.UseEncryption = false;
    rig.Save("new words");
    EXPECT_EQ(Snapshot(dir.path()), before);

    // The old password opens it again.
    settings.Password = "oldpass";
    loaded = rig.GoTo(day);
    EXPECT_EQ(loaded.upper.text, "old words");
    EXPECT_FALSE(session.UpperReadOnly());
}

TEST_F(LockedEntryTest, PasswordsThatCannotMatchShowTheStoredBytes) {
    struct Case {
        const char* name;
        std::string stored;
        std::string password;
        std::string pane;
        PaneSource source;
    };
    const std::vector<Case> cases = {
        {"empty password", HandContainer("words", "pw", kDos), "", "\x17", PaneSource::Sealed},
        {"case differs", HandContainer("words", "pw", kDos), "PW", "\x17", PaneSource::Sealed},
        {"short container", HandContainer("", "pw", kDos).substr(0, 20), "pw", "\x17",
         PaneSource::Sealed},
        {"no container", "plain text that is long enough to be looked at\n", "pw",
         "plain text that is long enough to be looked at\r\n", PaneSource::Raw},
        {"tiny file", "hi\n", "pw", "hi\r\n", PaneSource::Raw},
    };
    for (const auto& c : cases) {
        WriteBytes(Path("2001/0117.xda"), c.stored);
        const auto before = Snapshot(dir.path());
        PaneContent pane = LoadPane(dir / "2001", "0117", c.password);
        EXPECT_EQ(pane.text, c.pane) << c.name;
        EXPECT_EQ(pane.source, c.source) << c.name;
        EXPECT_EQ(Snapshot(dir.path()), before) << c.name;
    }
}

TEST_F(LockedEntryTest, PlainEntryWinsAndEncryptedSaveLeavesOnlyTheLockedFile) {
    WriteBytes(Path("2001/0117.dia"), "plain");
    WriteBytes(Path("2001/0117.xda"), HandContainer("locked", "secret", kDos));
    auto loaded = rig.GoTo(day);
    EXPECT_EQ(loaded.upper.text, "plain");
    EXPECT_EQ(loaded.upper.source, PaneSource::Plain);

    settings.UseEncryption = true;
    session.UpperChanged();
    rig.Save(Cp932("新しい日記"));
    EXPECT_FALSE(Exists(Path("2001/0117.dia")));
    EXPECT_FALSE(Exists(Path("2001/0117.$$$")));
    const std::string stored = ReadBytes(Path("2001/0117.xda"));
    EXPECT_EQ(Unlock(stored, "secret"), Cp932("新しい日記"));
    EXPECT_EQ(test::ModeOf(Path("2001/0117.xda")), 0600u);
    loaded = rig.GoTo(day);
    EXPECT_EQ(loaded.upper.text, Cp932("新しい日記"));
    EXPECT_EQ(loaded.upper.source, PaneSource::Locked);
}

TEST_F(LockedEntryTest, WithEncryptionOffALockedEntryIsShownAndKept) {
    const std::string container = HandContainer("locked text", "secret", kDos);
    WriteBytes(Path("2001/0117.xda"), container);
    auto loaded = rig.GoTo(day);
    EXPECT_EQ(loaded.upper.text, "locked text");
    EXPECT_EQ(loaded.upper.source, PaneSource::Locked);

    session.UpperChanged();
    rig.Save("locked text, edited");
    EXPECT_EQ(ReadBytes(Path("2001/0117.dia")), "locked text, edited");
    EXPECT_EQ(ReadBytes(Path("2001/0117.xda")), container);
    loaded = rig.GoTo(day);
    EXPECT_EQ(loaded.upper.text, "locked text, edited");
    EXPECT_EQ(loaded.upper.source, PaneSource::Plain);
}

TEST_F(LockedEntryTest, ViewingLockedEntriesChangesNothingOnDisk) {
    WriteBytes(Path("2001/0117.xda"), HandContainer("this year", "secret", kDos));
    WriteBytes(Path("2000/0117.xda"), HandContainer("last year", "secret", kDos));
    WriteBytes(Path("2000/0118.xda"), HandContainer("sealed", "other", kDos));
    const auto before = Snapshot(dir.path());
    settings.UseEncryption = true;
    auto loaded = rig.GoTo(day);
    EXPECT_EQ(loaded.upper.text, "this year");
    EXPECT_EQ(loaded.lower.text, "last year");
    rig.Save(loaded.upper.text);
    loaded = rig.GoTo(day + 1);
    EXPECT_EQ(loaded.lower.text, "\x17");
    rig.Save(loaded.upper.text);
    EXPECT_EQ(Snapshot(dir.path()), before);
}

TEST_F(LockedEntryTest, PasswordsThatCannotBeAKeyLeaveAPlainEntry) {
    struct Case {
        const char* name;
        std::string password;
    };
    const std::vector<Case> cases = {
        {"empty", ""},
        {"longer than the key field", std::string(33, 'p')},
        {"holding the byte 0xA6", Cp932("え")},
    };
    for (const auto& c : cases) {
        TempDir data;
        settings.DataPath = data.path();
        settings.Password = c.password;
        settings.UseEncryption = true;
        rig.GoTo(day);
        session.UpperChanged();
        rig.Save("kept plain");
        EXPECT_EQ(ReadBytes(data / "2001/0117.dia"), "kept plain") << c.name;
        EXPECT_FALSE(Exists(data / "2001/0117.xda")) << c.name;
        EXPECT_FALSE(Exists(data / "2001/0117.$$$")) << c.name;
    }
}

TEST_F(LockedEntryTest, ANewPasswordLocksNewEntriesAndLeavesOldOnes) {
    const std::string old = HandContainer("under the old password", "secret", kDos);
    WriteBytes(Path("2000/0117.xda"), old);
    settings.Password = "changed";
    settings.UseEncryption = true;
    auto loaded = rig.GoTo(day);
    EXPECT_EQ(loaded.lower.text, "\x17");
    session.UpperChanged();
    rig.Save("under the new one");
    EXPECT_EQ(Unlock(ReadBytes(Path("2001/0117.xda")), "changed"), "under the new one");
    EXPECT_EQ(ReadBytes(Path("2000/0117.xda")), old);
}

TEST_F(LockedEntryTest, LockedEntryTooLargeForThePaneStopsTheLoad) {
    WriteBytes(Path("2001/0117.xda"), HandContainer("", "secret", kDos));
    ASSERT_EQ(::truncate(Path("2001/0117.xda").c_str(), static_cast<off_t>(kMaxPaneBytes + 45)), 0);
    EXPECT_THROW(LoadPane(dir / "2001", "0117", "secret"), AppError);
}

}  // namespace
}  // namespace kuv
