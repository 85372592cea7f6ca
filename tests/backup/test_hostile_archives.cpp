#include <archive_entry.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "backup/backup.h"
#include "tests/backup/archive_builder.h"
#include "tests/support/reference.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Contents;
using test::Member;
using test::ReadBytes;
using test::TempDir;
using test::WriteArchive;
using test::WriteBytes;
using test::WriteManyFolders;

const Member kDataDir{"data/", AE_IFDIR};
const Member kYearDir{"data/2001/", AE_IFDIR};
const Member kEntry{"data/2001/0117.dia", AE_IFREG, "restored words"};

// A backup of one entry with whatever else a case adds, and its manifest.
std::vector<Member> Backup(std::vector<Member> extra, bool manifest = true) {
    std::vector<Member> members = {kDataDir, kYearDir, kEntry};
    members.insert(members.end(), extra.begin(), extra.end());
    if (manifest) members.push_back(test::ManifestOf(members));
    return members;
}

class HostileArchiveTest : public ::testing::Test {
  protected:
    HostileArchiveTest() {
        ::mkdir(data.c_str(), 0700);
        ::mkdir((data + "/2001").c_str(), 0700);
        WriteBytes(data + "/2001/0117.dia", "the user's words");
        WriteBytes(ini, "settings");
    }
    // The restore is refused for problem, and the folder that holds the data
    // folder, the settings file and any staging is exactly as it was.
    void ExpectRefused(const std::string& archive, ArchiveProblem problem, const char* what) {
        ExpectRefused(archive, std::vector<ArchiveProblem>{problem}, what);
    }
    // No problems named: any refusal will do (a changed byte of the
    // compressed stream shows as whatever it turned the archive into).
    void ExpectRefused(const std::string& archive, const std::vector<ArchiveProblem>& problems,
                       const char* what) {
        const auto before = Contents(root.path());
        const VerifyResult v = VerifyBackup(archive);
        EXPECT_FALSE(v.Whole()) << what;
        if (!problems.empty()) {
            EXPECT_NE(std::find(problems.begin(), problems.end(), v.problem), problems.end())
                << what;
        }
        EXPECT_FALSE(v.message.empty()) << what;
        const RestoreResult r = RestoreBackup(archive, {data, ini, {}});
        EXPECT_EQ(r.status, RestoreStatus::Refused) << what;
        EXPECT_EQ(r.problem, v.problem) << what;
        EXPECT_EQ(Contents(root.path()), before) << what;
    }
    TempDir root, scratch;
    const std::string data = root / "data";
    const std::string ini = root / "diary.ini";
};

TEST_F(HostileArchiveTest, RefusesEachKindOfHostileMemberAndChangesNothing) {
    Member tampered = kEntry;
    tampered.data = "other words";
    std::vector<Member> tamperedArchive = Backup({});
    tamperedArchive[2] = tampered;
    std::vector<Member> missing = Backup({});
    missing.back().data += std::string(64, '0') + "  data/2001/0118.dia\n";
    const struct {
        const char* what;
        std::vector<Member> members;
        ArchiveProblem problem;
    } cases[] = {
        {"absolute path", Backup({{"/tmp/evil", AE_IFREG, "x"}}), ArchiveProblem::AbsolutePath},
        {"dot-dot step", Backup({{"data/2001/../../evil", AE_IFREG, "x"}}), ArchiveProblem::DotDot},
        {"symbolic link", Backup({{"data/2001/link", AE_IFLNK, "", "/etc/passwd"}}),
         ArchiveProblem::Link},
        {"hard link", Backup({{"data/2001/hard", AE_IFREG, "", "data/2001/0117.dia", true}}),
         ArchiveProblem::Link},
        {"character device", Backup({{"data/tty", AE_IFCHR}}), ArchiveProblem::Device},
        {"block device", Backup({{"data/disk", AE_IFBLK}}), ArchiveProblem::Device},
        {"FIFO", Backup({{"data/pipe", AE_IFIFO}}), ArchiveProblem::Fifo},
        {"member over 2 GiB",
         Backup({{"data/big", AE_IFREG, "x", "", false, kMaxMemberBytes + 1}}, false),
         ArchiveProblem::TooLarge},
        {"same name twice", Backup({kEntry}), ArchiveProblem::Duplicate},
        {"no manifest", Backup({}, false), ArchiveProblem::NoManifest},
        {"file unlike its manifest line", tamperedArchive, ArchiveProblem::Mismatch},
        {"file of the manifest missing", missing, ArchiveProblem::Missing},
        {"file the manifest lacks",
         [] {
             auto m = Backup({});
             m.insert(m.end() - 1, Member{"data/2001/0118.dia", AE_IFREG, "extra"});
             return m;
         }(),
         ArchiveProblem::NotListed},
        {"member no backup holds", Backup({{"notes.txt", AE_IFREG, "x"}}),
         ArchiveProblem::NotBackup},
        {"dot step", Backup({{"./data/x", AE_IFREG, "x"}}), ArchiveProblem::NotBackup},
    };
    for (const auto& c : cases) {
        const std::string archive = scratch / "hostile.tar.gz";
        WriteArchive(archive, c.members);
        ExpectRefused(archive, c.problem, c.what);
    }
}

TEST_F(HostileArchiveTest, RefusesDamagedArchives) {
    const std::string good = scratch / "good.tar.gz";
    WriteArchive(good, Backup({{"data/2001/0118.dia", AE_IFREG, std::string(200000, 'w')}}));
    ASSERT_TRUE(VerifyBackup(good).Whole()) << VerifyBackup(good).message;
    const std::string bytes = ReadBytes(good);
    std::string flipped = bytes;
    flipped[bytes.size() / 2] ^= 0x55;
    const std::vector<ArchiveProblem> damaged = {ArchiveProblem::Damaged};
    const struct {
        const char* what;
        std::string bytes;
        std::vector<ArchiveProblem> problems;
    } cases[] = {
        {"not an archive", "just some text, not a gzip-compressed tar at all\n", damaged},
        {"empty file", "", damaged},
        {"cut in half", bytes.substr(0, bytes.size() / 2), damaged},
        {"a byte changed", flipped, {}},
    };
    for (const auto& c : cases) {
        WriteBytes(scratch / "damaged.tar.gz", c.bytes);
        ExpectRefused(scratch / "damaged.tar.gz", c.problems, c.what);
    }
    const auto before = Contents(root.path());
    EXPECT_EQ(RestoreBackup(scratch / "none.tar.gz", {data, ini, {}}).problem,
              ArchiveProblem::CannotOpen);
    EXPECT_EQ(Contents(root.path()), before);
}

TEST_F(HostileArchiveTest, RefusesMoreThanAMillionMembers) {
    // Only the restore: reading a million headers is the slow part.
    WriteManyFolders(scratch / "many.tar.gz", kMaxArchiveMembers);
    const auto before = Contents(root.path());
    const RestoreResult r = RestoreBackup(scratch / "many.tar.gz", {data, ini, {}});
    EXPECT_EQ(r.status, RestoreStatus::Refused);
    EXPECT_EQ(r.problem, ArchiveProblem::TooMany);
    EXPECT_EQ(Contents(root.path()), before);
}

}  // namespace
}  // namespace kuv
