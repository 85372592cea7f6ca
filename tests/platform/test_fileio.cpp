#include "platform/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace kuv::fsio {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(FileIo, ChangeExtensionFollowsTheLastDotOfTheName) {
    struct Case {
        std::string path, want;
    };
    const Case cases[] = {
        {"/d/2001/0101.dia", "/d/2001/0101.$$$"},
        {"/d/data/diary.ini", "/d/data/diary.$$$"},
        {"/d/a.b/name", "/d/a.b/name.$$$"},
        {"name", "name.$$$"},
        {"/d/x.tar.gz", "/d/x.tar.$$$"},
        {"/d/.hidden", "/d/.$$$"},
        // 0x81 0x2E and 0x83 0x2F: trail bytes that look like "." and "/".
        {"/d/\x81\x2e"
         "abc",
         "/d/\x81\x2e"
         "abc.$$$"},
        {"/d/a.b\x83\x2f"
         "c",
         "/d/a.$$$"},
    };
    for (const Case& c : cases) EXPECT_EQ(ChangeExtension(c.path, ".$$$"), c.want) << c.path;
    EXPECT_EQ(ParentOf("/a/b/c"), "/a/b");
    EXPECT_EQ(ParentOf("/c"), "/");
    EXPECT_EQ(ParentOf("c"), "");
}

TEST(FileIo, WriteFileAtomicReplacesWholeOrNotAtAll) {
    TempDir dir;
    const std::string path = dir / "0101.dia", work = dir / "0101.$$$";
    ASSERT_TRUE(WriteFileAtomic(path, "old", work));
    EXPECT_EQ(ReadBytes(path), "old");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const fault::Op ops[] = {fault::Op::Create,  fault::Op::Write, fault::Op::ShortWrite,
                             fault::Op::NoSpace, fault::Op::Sync,  fault::Op::Close,
                             fault::Op::Rename};
    for (fault::Op op : ops) {
        fault::FailNth(op, 1);
        EXPECT_FALSE(WriteFileAtomic(path, "new text", work)) << static_cast<int>(op);
        EXPECT_TRUE(fault::Fired());
        EXPECT_EQ(ReadBytes(path), "old");
        EXPECT_FALSE(test::Exists(work));
    }
    fault::Reset();
    ASSERT_TRUE(WriteFileAtomic(path, "new text", work));
    EXPECT_EQ(ReadBytes(path), "new text");
}

TEST(FileIo, WorkFileNeverFollowsAPlantedLink) {
    TempDir dir;
    const std::string victim = dir / "victim";
    WriteBytes(victim, "keep me");
    ASSERT_EQ(::symlink(victim.c_str(), (dir / "x.$$$").c_str()), 0);
    ASSERT_TRUE(WriteFileAtomic(dir / "x.dia", "entry", dir / "x.$$$"));
    EXPECT_EQ(ReadBytes(victim), "keep me");
    EXPECT_EQ(ReadBytes(dir / "x.dia"), "entry");
}

TEST(FileIo, RenameNoReplaceRefusesAnExistingName) {
    TempDir dir;
    WriteBytes(dir / "a", "a");
    WriteBytes(dir / "b", "b");
    EXPECT_FALSE(RenameNoReplace(dir / "a", dir / "b"));
    EXPECT_EQ(ReadBytes(dir / "b"), "b");
    EXPECT_TRUE(RenameNoReplace(dir / "a", dir / "c"));
    EXPECT_EQ(ReadBytes(dir / "c"), "a");
    EXPECT_FALSE(test::Exists(dir / "a"));
}

TEST(FileIo, DosTimeRoundTripsToTwoSeconds) {
    TempDir dir;
    const std::string path = dir / "f";
    {
        OutFile out;
        ASSERT_TRUE(out.Create(path));
        // 2001-01-17 13:05:08 local time.
        std::uint32_t dos =
            ((2001u - 1980u) << 25) | (1u << 21) | (17u << 16) | (13u << 11) | (5u << 5) | 4u;
        out.SetDosTime(dos);
        ASSERT_TRUE(out.Close());
        EXPECT_EQ(DosTimeOf(path), dos);
    }
    struct timespec old[2] = {{0, UTIME_OMIT}, {315000000 - 86400 * 400, 0}};  // 1978
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
    EXPECT_EQ(DosTimeOf(path), 0xFFFFFFFFu);
    // An invalid value (month 13) sets nothing.
    OutFile out;
    ASSERT_TRUE(out.Create(path));
    out.SetDosTime((21u << 25) | (13u << 21) | (1u << 16));
    ASSERT_TRUE(out.Close());
    EXPECT_NE(DosTimeOf(path), 0xFFFFFFFFu);
}

TEST(FileIo, ReadWholeFileTellsMissingFromUnreadable) {
    TempDir dir;
    std::string out;
    EXPECT_EQ(ReadWholeFile(dir / "none", out, 100), ReadStatus::Missing);
    WriteBytes(dir / "f", "0123456789");
    EXPECT_EQ(ReadWholeFile(dir / "f", out, 5), ReadStatus::TooLarge);
    EXPECT_EQ(ReadWholeFile(dir / "f", out, 100), ReadStatus::Ok);
    EXPECT_EQ(out, "0123456789");
    EXPECT_EQ(ReadWholeFile(dir.path(), out, 100), ReadStatus::CannotOpen);
    fault::FailNth(fault::Op::Read, 1);
    EXPECT_EQ(ReadWholeFile(dir / "f", out, 100), ReadStatus::ReadError);
    fault::Reset();
}

TEST(FileIo, ReadFileOnceReadsRegularFilesOnly) {
    TempDir dir;
    WriteBytes(dir / "f", "0123456789");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    struct Case {
        std::string path;
        std::size_t max;
        ReadStatus want;
        const char* bytes;
    };
    const Case cases[] = {
        {dir / "f", 100, ReadStatus::Ok, "0123456789"},
        {dir / "f", 5, ReadStatus::TooLarge, ""},
        {dir / "none", 100, ReadStatus::Missing, ""},
        {dir.path(), 100, ReadStatus::CannotOpen, ""},
        {dir / "pipe", 100, ReadStatus::CannotOpen, ""},  // and no wait for a writer
    };
    for (const Case& c : cases) {
        std::string out = "old";
        FileStamp stamp;
        EXPECT_EQ(ReadFileOnce(c.path, out, c.max, &stamp), c.want) << c.path;
        EXPECT_EQ(out, c.bytes) << c.path;
    }
    // The stamp is the file's, as StampOf gives it.
    std::string out;
    FileStamp read, looked;
    ASSERT_EQ(ReadFileOnce(dir / "f", out, 100, &read), ReadStatus::Ok);
    ASSERT_TRUE(StampOf(dir / "f", looked));
    EXPECT_EQ(read, looked);
    for (fault::Op op : {fault::Op::Open, fault::Op::Read}) {
        fault::FailNth(op, 1);
        EXPECT_NE(ReadFileOnce(dir / "f", out, 100), ReadStatus::Ok);
        EXPECT_EQ(out, "");
    }
    fault::Reset();
}

TEST(FileIo, NonAsciiNamesAreUtf8OnDisk) {
    TempDir dir;
    const std::string name = "\x93\xfa\x8b\x4c";  // 日記
    ASSERT_TRUE(MakeDirectory(dir / name));
    EXPECT_TRUE(test::Exists(dir / "日記"));
    EXPECT_TRUE(IsDirectory(dir / name));
    EXPECT_FALSE(MakeDirectory(dir / name));
}

TEST(FileIo, StampTellsAReplacedFileFromTheOldOne) {
    TempDir dir;
    FileStamp a, b, c;
    EXPECT_FALSE(StampOf(dir / "f", a));
    EXPECT_FALSE(StampOf(dir.path(), a));  // a folder has no stamp
    WriteBytes(dir / "f", "same");
    ASSERT_TRUE(StampOf(dir / "f", a));
    ASSERT_TRUE(StampOf(dir / "f", b));
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.size, 4);
    // Same size, replaced through a work file: a new inode.
    ASSERT_TRUE(WriteFileAtomic(dir / "f", "SAME", dir / "f.$$$"));
    ASSERT_TRUE(StampOf(dir / "f", c));
    EXPECT_NE(a, c);
}

TEST(FileIo, ListDirectoryNamesFilesAndFoldersInCodePage932) {
    TempDir dir;
    WriteBytes(dir / "a.dia", "");
    ASSERT_TRUE(MakeDirectory(dir / "\x93\xfa\x8b\x4c"));
    ASSERT_EQ(::symlink("a.dia", (dir / "link").c_str()), 0);
    std::vector<DirEntry> names;
    ASSERT_TRUE(ListDirectory(dir.path(), names));
    std::sort(names.begin(), names.end(),
              [](const DirEntry& x, const DirEntry& y) { return x.name < y.name; });
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0].name, "a.dia");
    EXPECT_EQ(names[1].name, "link");
    EXPECT_EQ(names[1].kind, Kind::File);  // the link is followed
    EXPECT_EQ(names[2].name, "\x93\xfa\x8b\x4c");
    EXPECT_EQ(names[2].kind, Kind::Directory);
    EXPECT_FALSE(ListDirectory(dir / "missing", names));
}

}  // namespace
}  // namespace kuv::fsio
