#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "crypt/cryptogram.h"
#include "diary/diary_book.h"
#include "history/entry_history.h"
#include "lock/strong_lock.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "tests/support/session_rig.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using fsio::fault::Op;
using test::Exists;
using test::MakeDir;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

const char* const kPassword = "secret";

// A data folder with its year folder, and the history kept in a folder of
// the test's own.
struct Diary {
    TempDir dir;
    std::string data = dir / "data";
    std::string year = data + "/2026";
    std::string share = dir / "share";
    std::string history;
    Diary() {
        MakeDir(data);
        MakeDir(year);
        ::setenv("XDG_DATA_HOME", share.c_str(), 1);
        history = DiaryHistoryFolder(*UserHistoryRoot(), data);
    }
    std::vector<EntryVersionFile> Versions() const {
        return ListEntryVersions(history, "2026", "1208").versions;
    }
    std::string Kept(std::size_t i) const {
        std::string bytes;
        bool locked = false;
        const std::vector<EntryVersionFile> v = Versions();
        if (i >= v.size() || !ReadEntryVersion(v[i].path, bytes, locked)) return "<none>";
        return bytes;
    }
};

TEST(EntryHistory, KeepsTheBytesAsTheyWereOnDisk) {
    struct Case {
        const char* what;
        std::string bytes;
        bool locked;
    };
    const Case cases[] = {
        {"text", "\x93\xfa\x8bL\r\nline", false},
        {"empty", "", false},
        {"zero bytes inside", std::string("a\0b\0", 4), false},
        {"large", std::string(300000, 'x') + "end", false},
        {"a container", *CryptEncodeBytes("hidden", 0x5A000000u, kPassword), true},
    };
    const std::int64_t now = std::time(nullptr);
    for (const Case& c : cases) {
        Diary d;
        ASSERT_EQ(KeepEntryVersion(d.history, "2026", "1208", c.bytes, c.locked, now - 60, now),
                  KeepStatus::Kept)
            << c.what;
        const std::vector<EntryVersionFile> v = d.Versions();
        ASSERT_EQ(v.size(), 1u) << c.what;
        EXPECT_EQ(v[0].size, c.bytes.size()) << c.what;
        EXPECT_EQ(v[0].locked, c.locked) << c.what;
        EXPECT_EQ(v[0].time, now - 60) << c.what;
        EXPECT_EQ(d.Kept(0), c.bytes) << c.what;
        EXPECT_EQ(test::ModeOf(v[0].path), 0600u) << c.what;
        EXPECT_EQ(test::ModeOf(d.history), 0700u) << c.what;
    }
}

// A listing tells what each file holds now, when a version removed by hand
// is followed by a new one of the same second (the same name, and often the
// inode the removed file had).
TEST(EntryHistory, ListingsFollowANewFileUnderAnOldName) {
    const std::int64_t now = std::time(nullptr);
    Diary d;
    const std::string hidden = *CryptEncodeBytes("hidden", 0x5A000000u, kPassword);
    for (int round = 0; round < 4; ++round) {
        const bool locked = round % 2 == 1;
        ASSERT_EQ(KeepEntryVersion(d.history, "2026", "1208", locked ? hidden : "plain", locked,
                                   now - 60, now),
                  KeepStatus::Kept);
        const std::vector<EntryVersionFile> v = d.Versions();
        ASSERT_EQ(v.size(), 1u);
        EXPECT_EQ(v[0].locked, locked) << round;
        EXPECT_EQ(v[0].size, locked ? hidden.size() : 5u) << round;
        std::filesystem::remove(v[0].path);
    }
}

TEST(EntryHistory, SavesKeepWhatTheyReplace) {
    struct Case {
        const char* what;
        bool encrypted;
        std::vector<std::string> saves;
        std::vector<std::string> kept;  // newest first, plain texts
    };
    const Case cases[] = {
        {"first save keeps nothing", false, {"a"}, {}},
        {"each replaced text", false, {"a", "b", "c"}, {"b", "a"}},
        {"the same text saved again", false, {"a", "a", "b"}, {"a"}},
        {"locked entries", true, {"a", "b", "c"}, {"b", "a"}},
    };
    for (const Case& c : cases) {
        Diary d;
        for (std::size_t i = 0; i < c.saves.size(); ++i) {
            SaveEntry(d.year, "1208", c.saves[i], c.encrypted, kPassword);
            // Versions are dated by the second of their writing.
            const std::string path = d.year + (c.encrypted ? "/1208.xda" : "/1208.dia");
            const std::time_t when = std::time(nullptr) - 100 + static_cast<std::time_t>(i);
            const struct timespec ts[2] = {{0, UTIME_OMIT}, {when, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), ts, 0), 0);
        }
        const std::vector<EntryVersionFile> v = d.Versions();
        ASSERT_EQ(v.size(), c.kept.size()) << c.what;
        for (std::size_t i = 0; i < v.size(); ++i) {
            bool locked = false;
            std::string bytes, plain;
            ASSERT_TRUE(ReadEntryVersion(v[i].path, bytes, locked)) << c.what;
            EXPECT_EQ(locked, c.encrypted) << c.what;
            if (c.encrypted) {
                // Kept as the container it was: no plain copy.
                EXPECT_EQ(bytes.find(c.kept[i]), bytes.npos) << c.what;
                ASSERT_EQ(CryptDecodeBytes(bytes, kPassword, plain), CryptResult::Decoded);
            } else {
                plain = bytes;
            }
            EXPECT_EQ(plain, c.kept[i]) << c.what << " #" << i;
        }
    }
}

TEST(EntryHistory, LockingAPlainEntryKeepsBothFiles) {
    Diary d;
    SaveEntry(d.year, "1208", "plain", false, kPassword);
    WriteBytes(d.year + "/1208.xda", *CryptEncodeBytes("old lock", 0x5A000000u, kPassword));
    SaveEntry(d.year, "1208", "new", true, kPassword);
    // The plain file that the locked save removes is kept sealed: with the
    // lock on, no plain copy is made.
    const std::vector<EntryVersionFile> v = d.Versions();
    ASSERT_EQ(v.size(), 2u);
    std::vector<std::string> texts;
    for (const EntryVersionFile& e : v) {
        std::string bytes, plain;
        bool locked = false;
        ASSERT_TRUE(ReadEntryVersion(e.path, bytes, locked));
        EXPECT_TRUE(locked);
        ASSERT_EQ(CryptDecodeBytes(bytes, kPassword, plain), CryptResult::Decoded);
        texts.push_back(plain);
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"old lock", "plain"}));
}

// Under the strong lock every version is sealed for its day: the sealed
// entry as it lay, a plain leftover sealed first, and only the key this
// process holds opens them, with any character they hold.
TEST(EntryHistory, StrongLockedVersionsStaySealedAndOpenWithTheKey) {
    Diary d;
    test::PutUnderStrongLock(d.data);
    WriteBytes(d.year + "/1208.dia", "leftover plain");
    const std::vector<std::string> saves = {"first \xF0\x9F\x98\x80", "second", "third"};
    for (const std::string& text : saves) SaveStrongText(d.year, "1208", text);
    struct Case {
        const char* what;
        std::string dataPath, year;
        VersionOpen want;
    } cases[] = {
        {"with the key", d.data, "2026", VersionOpen::Opened},
        {"another diary's key", d.dir / "other", "2026", VersionOpen::Closed},
        {"another day", d.data, "2025", VersionOpen::Damaged},
    };
    const std::vector<EntryVersionFile> v = d.Versions();
    ASSERT_EQ(v.size(), 3u);
    std::vector<std::string> texts;
    for (const EntryVersionFile& e : v) {
        EXPECT_TRUE(e.strong);
        EXPECT_FALSE(e.locked);
        std::string bytes;
        bool locked = false;
        ASSERT_TRUE(ReadEntryVersion(e.path, bytes, locked));
        for (const char* word : {"leftover", "first", "second"}) {
            EXPECT_EQ(bytes.find(word), bytes.npos) << word;
        }
        for (const Case& c : cases) {
            VersionText text;
            EXPECT_EQ(OpenEntryVersion(e.path, c.dataPath, c.year, "1208", "", text), c.want)
                << c.what;
            if (c.want == VersionOpen::Opened) {
                EXPECT_TRUE(text.utf8);
                texts.push_back(text.text);
            }
        }
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{saves[0], "leftover plain", saves[1]}));
    // The key closed: nothing is kept, and the save stops before any change.
    lock::ForgetKey(d.data);
    EXPECT_THROW(SaveStrongText(d.year, "1208", "fourth"), AppError);
    EXPECT_EQ(d.Versions().size(), 3u);
}

TEST(EntryHistory, DamagedOrForeignFilesAreSkippedAndKept) {
    struct Case {
        const char* what;
        std::string name;
        std::string bytes;
        bool listed;  // its header passes; only a read finds the fault
    };
    const std::string header = std::string("KUVHIST1P\0\0\0", 12) + std::string(8, '\0') +
                               std::string("\5\0\0\0\0\0\0\0", 8) + std::string(4, '\0');
    const Case cases[] = {
        {"a foreign file", "notes.txt", "hello", false},
        {"no magic", "20261208-101010.kvz", std::string(40, 'x'), false},
        {"cut header", "20261208-101011.kvz", "KUVHIST1P", false},
        {"unknown kind", "20261208-101012.kvz", std::string("KUVHIST1Q") + header.substr(9), false},
        {"damaged body", "20261208-101013.kvz", header + "garbage", true},
        {"a size its body cannot hold", "20261208-101014.kvz",
         header.substr(0, 12) + std::string("\0\0\0\x10\0\0\0\0", 8) +
             std::string("\0\0\0\x7f\0\0\0\0", 8) + header.substr(28) + "xy",
         true},
    };
    Diary d;
    const std::int64_t now = std::time(nullptr);
    ASSERT_EQ(KeepEntryVersion(d.history, "2026", "1208", "good", false, now, now),
              KeepStatus::Kept);
    const std::string day = d.history + "/2026/1208";
    for (const Case& c : cases) WriteBytes(day + "/" + c.name, c.bytes);
    const VersionList list = ListEntryVersions(d.history, "2026", "1208");
    for (const Case& c : cases) {
        const std::string path = day + "/" + c.name;
        bool listed = false;
        for (const EntryVersionFile& v : list.versions) listed = listed || v.path == path;
        EXPECT_EQ(listed, c.listed) << c.what;
        std::string bytes;
        bool locked = false;
        EXPECT_FALSE(ReadEntryVersion(path, bytes, locked)) << c.what;
    }
    EXPECT_EQ(list.skipped.size(), 4u);
    PruneDiaryHistory(d.history, now + 400 * 86400);
    for (const Case& c : cases) EXPECT_EQ(ReadBytes(day + "/" + c.name), c.bytes) << c.what;

    // Another file put in place of a listed version, under its name, is read
    // anew, not taken for the version it replaced.
    std::string good;
    for (const EntryVersionFile& v : list.versions) {
        if (v.time == now) good = v.path;
    }
    ASSERT_FALSE(good.empty());
    WriteBytes(good + ".new", "not a version");
    std::filesystem::rename(good + ".new", good);
    for (const EntryVersionFile& v : ListEntryVersions(d.history, "2026", "1208").versions) {
        EXPECT_NE(v.path, good);
    }
}

TEST(EntryHistory, AVersionThatCannotBeKeptStopsTheSave) {
    const Op ops[] = {Op::Create, Op::Write, Op::ShortWrite, Op::NoSpace,
                      Op::Sync,   Op::Close, Op::Rename,     Op::MakeDirectory};
    for (const Op op : ops) {
        for (const bool encrypted : {false, true}) {
            Diary d;
            SaveEntry(d.year, "1208", "old", encrypted, kPassword);
            const std::string path = d.year + (encrypted ? "/1208.xda" : "/1208.dia");
            const std::string before = ReadBytes(path);
            fsio::fault::Reset();
            fsio::fault::FailNth(op, 1);
            EXPECT_THROW(SaveEntry(d.year, "1208", "new", encrypted, kPassword), AppError)
                << static_cast<int>(op);
            EXPECT_TRUE(fsio::fault::Fired()) << static_cast<int>(op);
            fsio::fault::Reset();
            EXPECT_EQ(ReadBytes(path), before) << static_cast<int>(op);
            EXPECT_TRUE(d.Versions().empty()) << static_cast<int>(op);
            // The next save, on a sound disk, keeps the old text and goes on.
            SaveEntry(d.year, "1208", "new", encrypted, kPassword);
            EXPECT_EQ(d.Versions().size(), 1u) << static_cast<int>(op);
        }
    }
}

// In the session the text stays in the pane, unsaved, and the next save
// on a sound disk keeps both.
TEST(EntryHistory, ASessionSaveThatCannotKeepTheVersionKeepsTheText) {
    Diary d;
    test::SessionRig rig(d.data);
    test::MakeDir(d.data + "/2001");
    WriteBytes(d.data + "/2001/0117.dia", "old");
    rig.session.Open();
    rig.Type("new");
    fsio::fault::Reset();
    fsio::fault::FailNth(Op::NoSpace, 1);
    EXPECT_THROW(rig.session.Save(), AppError);
    fsio::fault::Reset();
    EXPECT_TRUE(rig.session.Unsaved());
    EXPECT_EQ(ReadBytes(d.data + "/2001/0117.dia"), "old");
    rig.session.Save();
    EXPECT_EQ(ReadBytes(d.data + "/2001/0117.dia"), "new");
    std::string kept;
    bool locked = false;
    const std::vector<EntryVersionFile> v = ListEntryVersions(d.history, "2001", "0117").versions;
    ASSERT_EQ(v.size(), 1u);
    ASSERT_TRUE(ReadEntryVersion(v[0].path, kept, locked));
    EXPECT_EQ(kept, "old");
}

TEST(EntryHistory, DiariesNeverMix) {
    TempDir dir;
    MakeDir(dir / "a");
    MakeDir(dir / "b");
    MakeDir(dir / "b/a");
    const std::string root = dir / "history";
    const std::string a = DiaryHistoryFolder(root, dir / "a");
    EXPECT_EQ(a, DiaryHistoryFolder(root, dir / "a/"));
    EXPECT_EQ(a, DiaryHistoryFolder(root, dir / "b/../a"));
    EXPECT_NE(a, DiaryHistoryFolder(root, dir / "b"));
    EXPECT_NE(a, DiaryHistoryFolder(root, dir / "b/a"));
}

TEST(EntryHistory, PruningThinsOldDays) {
    Diary d;
    const std::int64_t start = std::time(nullptr) - 200 * 86400;
    // Twenty saves on each of ten days, half a year ago.
    for (int day = 0; day < 10; ++day) {
        const std::string name = "06" + std::to_string(10 + day);
        for (int edit = 0; edit < 20; ++edit) {
            const std::int64_t t = start + day * 86400 + edit * 60;
            ASSERT_EQ(KeepEntryVersion(d.history, "2026", name, "text " + std::to_string(edit),
                                       false, t, t),
                      KeepStatus::Kept);
        }
    }
    EXPECT_EQ(PruneDiaryHistory(d.history, std::time(nullptr)), 10 * 20 - 10);
    const VersionList left = ListEntryVersions(d.history, "2026", "0610");
    ASSERT_EQ(left.versions.size(), 1u);
    std::string bytes;
    bool locked = false;
    ASSERT_TRUE(ReadEntryVersion(left.versions[0].path, bytes, locked));
    EXPECT_EQ(bytes, "text 19");
}

}  // namespace
}  // namespace kuv
