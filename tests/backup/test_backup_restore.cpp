#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "backup/backup.h"
#include "backup/manifest.h"
#include "history/entry_history.h"
#include "platform/fileio.h"
#include "tests/backup/archive_builder.h"
#include "tests/support/reference.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Contents;
using test::Cp932;
using test::Exists;
using test::HandContainer;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(Manifest, RoundTripsNamesThatSha256sumEscapes) {
    const std::vector<ManifestLine> lines = {
        {std::string(64, 'a'), "data/2001/0117.dia"},
        {std::string(64, 'b'), "data/back\\slash"},
        {std::string(64, 'c'), "data/line\nfeed\rreturn"},
        {std::string(64, 'd'), "data/日記 メモ.txt"},
    };
    const std::string text = FormatManifest(lines);
    EXPECT_NE(text.find("\n\\" + std::string(64, 'b') + "  data/back\\\\slash\n"),
              std::string::npos);
    EXPECT_NE(text.find("\n\\" + std::string(64, 'c') + "  data/line\\nfeed\\rreturn\n"),
              std::string::npos);
    std::map<std::string, std::string> parsed;
    ASSERT_TRUE(ParseManifest(text, parsed));
    ASSERT_EQ(parsed.size(), lines.size());
    for (const auto& l : lines) EXPECT_EQ(parsed[l.path], l.digest) << l.path;

    for (const char* bad : {"short  data/x\n", "0000  data/x\n", "no line end"}) {
        EXPECT_FALSE(ParseManifest(bad, parsed)) << bad;
    }
    EXPECT_FALSE(ParseManifest(text + text, parsed));  // every name once
}

// A diary with what a data folder may hold: plain and locked entries, a note,
// an empty year, a work file and links; the settings file a container.
class BackupTest : public ::testing::Test {
  protected:
    void MakeDiary(const std::string& dir) {
        for (const char* f : {"2001", "2002", "2003"}) ::mkdir((dir + "/" + f).c_str(), 0700);
        WriteBytes(dir + "/2001/0117.dia", Cp932("今日は晴れ\r\n"));
        WriteBytes(dir + "/2001/0118.xda", HandContainer(Cp932("鍵付き"), "pw", 0x2A2B0000));
        WriteBytes(dir + "/2002/0101.dia", std::string("\0\x01\xff binary", 10));
        WriteBytes(dir + "/notes.txt", "not an entry");
        WriteBytes(dir + "/2001/0119.$$$", "a moment of a save");
        ASSERT_EQ(::symlink("0117.dia", (dir + "/2001/0120.dia").c_str()), 0);
        ASSERT_EQ(::symlink("/tmp", (dir + "/2002/away").c_str()), 0);
    }
    // What a backup of dir holds: the work file and the folder link left
    // out, the file link as the file it names.
    static std::map<std::string, std::string> Expected(std::map<std::string, std::string> c) {
        c.erase("2001/0119.$$$");
        c.erase("2002/away");
        c["2001/0120.dia"] = c["2001/0117.dia"];
        return c;
    }
    TempDir root;
    const std::string settings = HandContainer("[SYSTEM]\r\nPASSWORD=pw\r\n", "718306925461", 0);
};

TEST_F(BackupTest, RestoreGivesBackEveryFileByteForByte) {
    // The settings file beside the data folder, and inside it (the default).
    for (const bool inside : {false, true}) {
        SCOPED_TRACE(inside);
        TempDir t;
        const std::string data = t / "data";
        ::mkdir(data.c_str(), 0700);
        MakeDiary(data);
        const std::string ini = inside ? data + "/diary.ini" : t / "diary.ini";
        WriteBytes(ini, settings);
        auto before = Expected(Contents(data));

        const BackupResult b = CreateBackup({data, ini, {}}, t / "b.tar.gz");
        ASSERT_EQ(b.status, BackupStatus::Done) << b.message;
        EXPECT_EQ(b.files, 6u);  // five data files and the settings file
        EXPECT_EQ(b.leftOut, 1u);
        EXPECT_FALSE(Exists(t / "b.tar.gz.$$$"));
        EXPECT_TRUE(VerifyBackup(t / "b.tar.gz").Whole());

        // Changes after the backup: a new word, a removed entry, new settings.
        WriteBytes(data + "/2001/0117.dia", "changed");
        ::unlink((data + "/2002/0101.dia").c_str());
        WriteBytes(ini, "changed settings");
        const auto changed = Contents(data);

        const RestoreResult r = RestoreBackup(t / "b.tar.gz", {data, ini, {}});
        ASSERT_EQ(r.status, RestoreStatus::Done) << r.message;
        EXPECT_EQ(r.files, 6u);
        if (inside) before.erase("diary.ini");
        auto restored = Contents(data);
        if (inside) {
            EXPECT_EQ(restored["diary.ini"], settings);
            restored.erase("diary.ini");
        }
        EXPECT_EQ(restored, before);
        EXPECT_EQ(ReadBytes(ini), settings);
        // What was there before is kept, whole, beside it.
        ASSERT_FALSE(r.keptDataPath.empty());
        EXPECT_EQ(Contents(r.keptDataPath), changed);
        EXPECT_EQ(ReadBytes(r.keptSettingsPath), "changed settings");
        // No staging folder is left.
        for (const auto& e : std::filesystem::directory_iterator(t.path())) {
            EXPECT_EQ(e.path().filename().string().find(".restore-"), std::string::npos);
        }
    }
}

// The diary's earlier versions go into the backup and come back beside the
// ones kept since; another diary's never go in. The per-user folder holds
// the histories when it is the data folder too.
TEST_F(BackupTest, TheHistoryGoesAlongAndComesBack) {
    const std::string savedShare = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    for (const bool inside : {false, true}) {
        SCOPED_TRACE(inside);
        TempDir t;
        const std::string share = t / "share";
        ::setenv("XDG_DATA_HOME", share.c_str(), 1);
        const std::string data = inside ? share + "/kuvandoro" : t / "data";
        std::filesystem::create_directories(data);
        MakeDiary(data);
        const std::string history = DiaryHistoryFolder(*UserHistoryRoot(), data);
        const std::int64_t now = std::time(nullptr);
        for (const char* text : {"v1", "v2"}) {
            ASSERT_EQ(KeepEntryVersion(history, "2001", "0117", text, false, now, now),
                      KeepStatus::Kept);
        }
        const std::string other = DiaryHistoryFolder(*UserHistoryRoot(), t / "other");
        ASSERT_EQ(KeepEntryVersion(other, "2001", "0117", "other", false, now, now),
                  KeepStatus::Kept);

        const BackupResult b = CreateBackup({data, "", {}}, t / "b.tar.gz");
        ASSERT_EQ(b.status, BackupStatus::Done) << b.message;
        EXPECT_EQ(b.files, 7u);  // five data files and two versions
        const VerifyResult v = VerifyBackup(t / "b.tar.gz");
        EXPECT_TRUE(v.Whole()) << v.message;
        EXPECT_EQ(v.files, 7u);

        // One version lost after the backup, one kept since.
        const std::vector<EntryVersionFile> was =
            ListEntryVersions(history, "2001", "0117").versions;
        ASSERT_EQ(was.size(), 2u);
        ::unlink(was[1].path.c_str());
        ASSERT_EQ(KeepEntryVersion(history, "2001", "0117", "v3", false, now + 1, now + 1),
                  KeepStatus::Kept);
        const RestoreResult r = RestoreBackup(t / "b.tar.gz", {data, "", {}});
        ASSERT_EQ(r.status, RestoreStatus::Done) << r.message;
        std::vector<std::string> texts;
        for (const EntryVersionFile& e : ListEntryVersions(history, "2001", "0117").versions) {
            std::string bytes;
            bool locked = false;
            EXPECT_TRUE(ReadEntryVersion(e.path, bytes, locked));
            texts.push_back(bytes);
        }
        EXPECT_EQ(texts, (std::vector<std::string>{"v3", "v2", "v1"}));
        EXPECT_EQ(ListEntryVersions(other, "2001", "0117").versions.size(), 1u);
    }
    ::setenv("XDG_DATA_HOME", savedShare.c_str(), 1);
}

TEST_F(BackupTest, AutomaticBackupsInsideTheDataFolderStayOutAndMoveAlong) {
    const std::string data = root / "kuvandoro";
    ::mkdir(data.c_str(), 0700);
    MakeDiary(data);
    ::mkdir((data + "/backups").c_str(), 0700);
    WriteBytes(data + "/backups/old.tar.gz", "an older backup");
    const BackupResult b = CreateBackup({data, "", {data + "/backups"}}, root / "b.tar.gz");
    ASSERT_EQ(b.status, BackupStatus::Done) << b.message;
    EXPECT_EQ(b.files, 5u);
    const RestoreResult r = RestoreBackup(root / "b.tar.gz", {data, "", {data + "/backups"}});
    ASSERT_EQ(r.status, RestoreStatus::Done) << r.message;
    EXPECT_EQ(ReadBytes(data + "/backups/old.tar.gz"), "an older backup");
    EXPECT_FALSE(Exists(r.keptDataPath + "/backups"));
}

TEST_F(BackupTest, ACancelledOrFailedBackupLeavesNoFile) {
    const std::string data = root / "data";
    ::mkdir(data.c_str(), 0700);
    MakeDiary(data);
    WriteBytes(root / "b.tar.gz", "an earlier backup");
    for (std::uint64_t stopAt : {0, 1, 50}) {
        const BackupResult b =
            CreateBackup({data, "", {}}, root / "b.tar.gz",
                         [&](std::uint64_t done, std::uint64_t) { return done < stopAt; });
        EXPECT_EQ(b.status, BackupStatus::Cancelled) << stopAt;
    }
    for (auto op : {fsio::fault::Op::NoSpace, fsio::fault::Op::Sync, fsio::fault::Op::Close,
                    fsio::fault::Op::Rename}) {
        fsio::fault::FailNth(op, 1);
        EXPECT_EQ(CreateBackup({data, "", {}}, root / "b.tar.gz").status, BackupStatus::Failed);
        EXPECT_TRUE(fsio::fault::Fired());
        fsio::fault::Reset();
    }
    EXPECT_EQ(ReadBytes(root / "b.tar.gz"), "an earlier backup");
    EXPECT_FALSE(Exists(root / "b.tar.gz.$$$"));
    EXPECT_EQ(CreateBackup({root / "missing", "", {}}, root / "c.tar.gz").status,
              BackupStatus::Failed);
    EXPECT_FALSE(Exists(root / "c.tar.gz"));
}

}  // namespace
}  // namespace kuv
