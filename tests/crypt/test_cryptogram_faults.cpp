#include "crypt/cryptogram.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/fileio.h"
#include "support_crypt.h"

// Every way the container's calls can fail: refused input, files that are
// missing or too large, folders that refuse writing, and each file call made
// to fail through the file layer's seam. Whatever fails, the file at the path
// must be the old one, whole.
namespace kuv {
namespace {

using fsio::fault::Op;
using test::DosValue;
using test::Exists;
using test::FileBytes;
using test::HandContainer;
using test::LocalTime;
using test::Pattern;
using test::SetMtime;
using test::WriteBytes;

class CryptFaultTest : public test::TempDirTest {
  protected:
    std::string MakeFile(const std::string& name, const std::string& bytes) {
        const std::string path = P(name);
        WriteBytes(path, bytes);
        SetMtime(path, kTime);
        return path;
    }
    const std::time_t kTime = LocalTime(2022, 5, 6, 7, 8, 10);
    const std::uint32_t kDos = DosValue(2022, 5, 6, 7, 8, 10);
};

TEST_F(CryptFaultTest, RefusedKeysTouchNothing) {
    const std::string text = "plain entry";
    const std::string path = MakeFile("0101.dia", text);
    const std::string keys[] = {"", std::string(33, 'k'), "\x82\xA6", "ab\xA6"};
    for (const std::string& key : keys) {
        for (bool keep : {false, true}) {
            EXPECT_FALSE(CryptEncodeFile(path, key, keep)) << key.size();
        }
    }
    EXPECT_EQ(CryptDecodeFile(path, "", false), CryptResult::Failed);
    EXPECT_EQ(CryptDecodeFile(path, "", true), CryptResult::Failed);
    EXPECT_EQ(FileBytes(path), text);
    EXPECT_EQ(test::Mtime(path), kTime);
    EXPECT_EQ(Names(), std::vector<std::string>{"0101.dia"});
    // Nothing was even opened.
    EXPECT_EQ(fsio::fault::Calls(Op::Open), 0);
}

TEST_F(CryptFaultTest, MissingOrUnreadableSourceCreatesNothing) {
    ASSERT_EQ(::mkdir(P("0102.dia").c_str(), 0700), 0);  // a folder of an entry's name
    const std::string paths[] = {P("0101.dia"), P("0102.dia"), P("nofolder/0103.dia")};
    for (const std::string& path : paths) {
        EXPECT_FALSE(CryptEncodeFile(path, "pw", false)) << path;
        EXPECT_FALSE(CryptEncodeFile(path, "pw", true)) << path;
        EXPECT_FALSE(CryptEncodeFileTo(path, P("0104.xda"), "pw")) << path;
        EXPECT_EQ(CryptDecodeFile(path, "pw", false), CryptResult::Failed) << path;
        EXPECT_EQ(CryptDecodeFile(path, "pw", true), CryptResult::Failed) << path;
    }
    EXPECT_EQ(Names(), std::vector<std::string>{"0102.dia"});
}

TEST_F(CryptFaultTest, APathThatIsItsOwnWorkFileIsRefused) {
    const std::string plain = "an entry whose name ends in the work extension";
    const std::string path = MakeFile("0101.$$$", plain);
    EXPECT_FALSE(CryptEncodeFile(path, "pw", false));
    EXPECT_FALSE(CryptEncodeFileTo(P("x"), path, "pw"));
    EXPECT_EQ(FileBytes(path), plain);
    const std::string c = HandContainer(plain, "pw", kDos);
    WriteBytes(path, c);
    EXPECT_EQ(CryptDecodeFile(path, "pw", false), CryptResult::Failed);
    EXPECT_EQ(FileBytes(path), c);
    // The encoding of 0101.dia to it would empty its own source.
    WriteBytes(P("0101.dia"), "source");
    EXPECT_FALSE(CryptEncodeFileTo(path, P("0101.xda"), "pw"));
    EXPECT_EQ(FileBytes(path), c);
}

// Runs check (which counts its failures) with the rights of an ordinary user.
// Root is not bound by folder permissions, so as root the check runs in a
// child process that owns the folder and has given its rights up.
int FailuresAsUser(const std::string& dir, const std::vector<std::string>& files,
                   int (*check)(const std::string&)) {
    if (::geteuid() != 0) {
        if (::chmod(dir.c_str(), 0500) != 0) return 100;
        const int failures = check(dir);
        ::chmod(dir.c_str(), 0700);
        return failures;
    }
    constexpr uid_t kNobody = 65534;
    if (::chown(dir.c_str(), kNobody, kNobody) != 0) return 100;
    for (const std::string& f : files) {
        if (::chown(f.c_str(), kNobody, kNobody) != 0) return 100;
    }
    const pid_t pid = ::fork();
    if (pid < 0) return 100;
    if (pid == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 || ::chmod(dir.c_str(), 0500) != 0) {
            ::_exit(101);
        }
        ::_exit(check(dir));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::chmod(dir.c_str(), 0700);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 102;
}

int ReadOnlyChecks(const std::string& dir) {
    const std::string path = dir + "/0101.dia";
    const std::string xda = dir + "/0102.xda";
    int failures = 0;
    for (bool keep : {false, true}) {
        failures += CryptEncodeFile(path, "pw", keep) ? 1 : 0;
        failures += CryptDecodeFile(xda, "pw", keep) != CryptResult::Failed ? 1 : 0;
    }
    failures += CryptEncodeFileTo(path, xda, "pw") ? 1 : 0;
    // Reading needs no write permission.
    std::string plain;
    failures += CryptDecodeToMemory(xda, "pw", plain, 1 << 20) != CryptResult::Decoded ? 1 : 0;
    return failures;
}

TEST_F(CryptFaultTest, ReadOnlyFolderRefusesTheWorkFile) {
    const std::string plain = Pattern(3000);
    const std::string path = MakeFile("0101.dia", plain);
    const std::string container = HandContainer(plain, "pw", kDos);
    const std::string xda = MakeFile("0102.xda", container);
    EXPECT_EQ(FailuresAsUser(dir_, {path, xda}, ReadOnlyChecks), 0);
    EXPECT_EQ(FileBytes(path), plain);
    EXPECT_EQ(FileBytes(xda), container);
    EXPECT_EQ(test::Mtime(path), kTime);
    EXPECT_EQ(Names(), (std::vector<std::string>{"0101.dia", "0102.xda"}));
}

TEST_F(CryptFaultTest, FilesOfTwoGibibytesAreRefusedUntouched) {
    // The last one fits, but its container would not: decoding refuses that.
    const std::int64_t sizes[] = {kCryptMaxFileSize, kCryptMaxFileSize + 4096,
                                  kCryptMaxFileSize - 44};
    for (const std::int64_t size : sizes) {
        SCOPED_TRACE(size);
        const std::string path = P("huge.dia");
        // Sparse: the size costs no disk.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        // Its first bytes are a valid header, so only the size can refuse it.
        const std::string head = test::HandHeader("pw", kDos);
        ASSERT_EQ(::write(fd, head.data(), head.size()), static_cast<ssize_t>(head.size()));
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
        SetMtime(path, kTime);

        EXPECT_FALSE(CryptEncodeFile(path, "pw", false));
        EXPECT_FALSE(CryptEncodeFile(path, "pw", true));
        EXPECT_FALSE(CryptEncodeFileTo(path, P("huge.xda"), "pw"));
        if (size >= kCryptMaxFileSize) {
            EXPECT_EQ(CryptDecodeFile(path, "pw", false), CryptResult::Failed);
            std::string plain;
            EXPECT_EQ(CryptDecodeToMemory(path, "pw", plain, SIZE_MAX), CryptResult::Failed);
        }
        EXPECT_EQ(test::SizeOf(path), size);
        EXPECT_EQ(test::Mtime(path), kTime);
        std::string first(head.size(), '\0');
        const int rfd = ::open(path.c_str(), O_RDONLY);
        ASSERT_GE(rfd, 0);
        EXPECT_EQ(::read(rfd, first.data(), first.size()), static_cast<ssize_t>(first.size()));
        ::close(rfd);
        EXPECT_EQ(first, head);
        EXPECT_EQ(Names(), std::vector<std::string>{"huge.dia"});
        // Refused on its size alone, before a byte was read.
        EXPECT_EQ(fsio::fault::Calls(Op::Read), 0);
        EXPECT_EQ(fsio::fault::Calls(Op::Create), 0);
    }
}

// One injected failure of one file call.
struct Fault {
    Op op;
    int nth;
    const char* what;
};

const Fault kEncodeFaults[] = {
    {Op::Open, 1, "open the source"},
    {Op::Create, 1, "create the work file"},
    {Op::Write, 1, "write the header"},
    {Op::Write, 2, "write the first chunk"},
    {Op::Write, 4, "write the last chunk"},
    {Op::ShortWrite, 1, "header written in part"},
    {Op::ShortWrite, 3, "chunk written in part"},
    {Op::NoSpace, 2, "disk full"},
    {Op::NoSpace, 4, "disk full at the end"},
    {Op::Read, 1, "read the first chunk"},
    {Op::Read, 3, "read the last chunk"},
    {Op::ShortRead, 2, "chunk read short"},
    {Op::Read, 4, "look for the end"},
    {Op::Sync, 1, "flush the work file"},
    {Op::Close, 1, "close the work file"},
};

// The same for keeping the source: the copy under the kept name adds calls.
const Fault kKeepFaults[] = {
    {Op::Open, 2, "open the source to copy it"},
    {Op::Create, 2, "create the copy"},
    {Op::Write, 5, "write the copy"},
    {Op::NoSpace, 7, "disk full while copying"},
    {Op::Read, 5, "read the source to copy it"},
    {Op::ShortRead, 6, "copy read short"},
    {Op::Sync, 2, "flush the copy"},
    {Op::Close, 2, "close the copy"},
    {Op::Rename, 1, "move the copy to the kept name"},
    {Op::Sync, 3, "flush the folder after the copy"},
    {Op::Rename, 2, "rename over the path"},
};

class CryptInjectedTest : public CryptFaultTest {
  protected:
    // Three chunks of the file layer's buffer and a bit: several reads and writes.
    const std::string plain_ = Pattern((std::size_t{3} << 20) - 100, 11);
    const std::string key_ = "\x93\xfa\x8b\x4c";
    const std::string container_ = HandContainer(plain_, key_, kDos);

    void ExpectOnly(const std::vector<std::string>& allowed, const Fault& f) {
        for (const std::string& name : Names()) {
            bool ok = false;
            for (const std::string& a : allowed) ok = ok || a == name;
            EXPECT_TRUE(ok) << f.what << ": stray file " << name;
        }
    }
};

TEST_F(CryptInjectedTest, EncodeKeepsTheSourceWhole) {
    for (bool keep : {false, true}) {
        std::vector<Fault> faults(std::begin(kEncodeFaults), std::end(kEncodeFaults));
        if (keep) {
            faults.insert(faults.end(), std::begin(kKeepFaults), std::end(kKeepFaults));
        } else {
            faults.push_back({Op::Rename, 1, "rename over the path"});
        }
        for (const Fault& f : faults) {
            SCOPED_TRACE(testing::Message() << f.what << (keep ? " (keep)" : ""));
            const std::string path = MakeFile("0101.dia", plain_);
            fsio::fault::FailNth(f.op, f.nth);
            EXPECT_FALSE(CryptEncodeFile(path, key_, keep));
            EXPECT_TRUE(fsio::fault::Fired()) << "the fault was never reached";
            fsio::fault::Reset();
            EXPECT_TRUE(FileBytes(path) == plain_);
            EXPECT_EQ(test::Mtime(path), kTime);
            // A complete container may wait in the work file; no part of one may.
            if (Exists(P("0101.$$$"))) {
                EXPECT_TRUE(FileBytes(P("0101.$$$")) == container_);
            }
            ExpectOnly({"0101.dia", "0101.$$$"}, f);
            // The next call starts afresh and succeeds.
            EXPECT_TRUE(CryptEncodeFile(path, key_, keep));
            EXPECT_TRUE(FileBytes(path) == container_);
            std::remove(P("0101.org").c_str());
        }
    }
}

TEST_F(CryptInjectedTest, DecodeKeepsTheContainerWhole) {
    for (bool keep : {false, true}) {
        std::vector<Fault> faults(std::begin(kEncodeFaults), std::end(kEncodeFaults));
        if (keep) {
            faults.insert(faults.end(), std::begin(kKeepFaults), std::end(kKeepFaults));
        } else {
            faults.push_back({Op::Rename, 1, "rename over the path"});
        }
        // Decoding reads the header by itself and writes none.
        for (Fault& f : faults) {
            if (f.op == Op::Read || f.op == Op::ShortRead) ++f.nth;
            if (f.op == Op::Write || f.op == Op::ShortWrite || f.op == Op::NoSpace) {
                f.nth = std::max(1, f.nth - 1);
            }
        }
        faults.push_back({Op::Read, 1, "read the header"});
        faults.push_back({Op::ShortRead, 1, "header read short"});
        for (const Fault& f : faults) {
            SCOPED_TRACE(testing::Message() << f.what << (keep ? " (keep)" : ""));
            const std::string path = MakeFile("0101.xda", container_);
            fsio::fault::FailNth(f.op, f.nth);
            EXPECT_EQ(CryptDecodeFile(path, key_, keep), CryptResult::Failed);
            EXPECT_TRUE(fsio::fault::Fired()) << "the fault was never reached";
            fsio::fault::Reset();
            EXPECT_TRUE(FileBytes(path) == container_);
            EXPECT_EQ(test::Mtime(path), kTime);
            if (Exists(P("0101.$$$"))) {
                EXPECT_TRUE(FileBytes(P("0101.$$$")) == plain_);
            }
            ExpectOnly({"0101.xda", "0101.$$$"}, f);
            EXPECT_EQ(CryptDecodeFile(path, key_, keep), CryptResult::Decoded);
            EXPECT_TRUE(FileBytes(path) == plain_);
            std::remove(P("0101.crp").c_str());
        }
    }
}

TEST_F(CryptInjectedTest, EncodeToKeepsTheTargetWhole) {
    const Fault faults[] = {
        {Op::Open, 1, "open the source"},
        {Op::Create, 1, "create the work file"},
        {Op::Read, 2, "read"},
        {Op::ShortRead, 1, "read short"},
        {Op::Write, 3, "write"},
        {Op::NoSpace, 1, "disk full"},
        {Op::Sync, 1, "flush"},
        {Op::Close, 1, "close"},
        {Op::Rename, 1, "rename over the target"},
    };
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.what);
        const std::string source = MakeFile("0101.dia", plain_);
        const std::string target = MakeFile("0101.xda", "the earlier locked entry");
        fsio::fault::FailNth(f.op, f.nth);
        EXPECT_FALSE(CryptEncodeFileTo(source, target, key_));
        EXPECT_TRUE(fsio::fault::Fired());
        fsio::fault::Reset();
        EXPECT_TRUE(FileBytes(source) == plain_);
        EXPECT_EQ(FileBytes(target), "the earlier locked entry");
        ExpectOnly({"0101.dia", "0101.xda", "0101.$$$"}, f);
    }
}

TEST_F(CryptInjectedTest, DecodeToMemoryFailsOnBadReads) {
    const std::string path = MakeFile("0101.xda", container_);
    const Fault faults[] = {
        {Op::Open, 1, "open"}, {Op::Read, 1, "header"},          {Op::ShortRead, 1, "header short"},
        {Op::Read, 3, "body"}, {Op::ShortRead, 4, "body short"}, {Op::Read, 5, "end"}};
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.what);
        std::string plain = "x";
        fsio::fault::FailNth(f.op, f.nth);
        EXPECT_EQ(CryptDecodeToMemory(path, key_, plain, SIZE_MAX), CryptResult::Failed);
        EXPECT_TRUE(fsio::fault::Fired());
        EXPECT_EQ(plain, "");
    }
}

TEST_F(CryptInjectedTest, FailuresOutsideTheWayChangeNothing) {
    // Nothing is deleted on the way to success, and a failed flush of the
    // folder after the rename cannot undo a container that already stands.
    const Fault faults[] = {{Op::Remove, 1, "remove"}, {Op::Sync, 2, "flush the folder"}};
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.what);
        const std::string path = MakeFile("0101.dia", plain_);
        fsio::fault::FailNth(f.op, f.nth);
        EXPECT_TRUE(CryptEncodeFile(path, key_, false));
        EXPECT_TRUE(FileBytes(path) == container_);
        fsio::fault::FailNth(f.op, f.nth);
        EXPECT_EQ(CryptDecodeFile(path, key_, false), CryptResult::Decoded);
        EXPECT_TRUE(FileBytes(path) == plain_);
        EXPECT_EQ(Names(), std::vector<std::string>{"0101.dia"});
    }
}

}  // namespace
}  // namespace kuv
