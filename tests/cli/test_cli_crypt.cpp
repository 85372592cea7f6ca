#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/cli_runner.h"
#include "tests/support/reference.h"
#include "tests/support/temp_dir.h"

namespace {

using kuv::test::Exists;
using kuv::test::HandContainer;
using kuv::test::ProgramRun;
using kuv::test::ReadBytes;
using kuv::test::RunCli;
using kuv::test::TempDir;
using kuv::test::WriteBytes;

const std::string kPlain = "今日は晴れ\r\n";  // UTF-8 file content: the bytes do not matter
const std::string kNikkiUtf8 = "日記";
const std::string kNikkiSjis = "\x93\xfa\x8b\x4c";

TEST(CliCryptTest, EncodeAndDecodePrintTheirResults) {
    TempDir dir;
    const std::string path = dir / "0117.dia";
    WriteBytes(path, kPlain);

    ProgramRun r = RunCli({"encode", path, kNikkiUtf8});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "true\n");
    // The key is used as its code page 932 bytes.
    EXPECT_EQ(ReadBytes(path).substr(12), HandContainer(kPlain, kNikkiSjis, 0).substr(12));

    r = RunCli({"decode", path, "wrong"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1\n");

    r = RunCli({"decode", path, kNikkiUtf8});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "0\n");
    EXPECT_EQ(ReadBytes(path), kPlain);

    r = RunCli({"decode", dir / "missing.xda", kNikkiUtf8});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "2\n");

    r = RunCli({"encode", dir / "missing.dia", "k"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "false\n");
}

TEST(CliCryptTest, KeepLeavesTheOldFileBeside) {
    TempDir dir;
    const std::string path = dir / "0117.dia";
    WriteBytes(path, kPlain);
    EXPECT_EQ(RunCli({"encode", "--keep", path, "pw"}).out, "true\n");
    EXPECT_EQ(ReadBytes(dir / "0117.org"), kPlain);
    EXPECT_EQ(RunCli({"decode", "--keep", path, "pw"}).out, "0\n");
    EXPECT_EQ(ReadBytes(path), kPlain);
    EXPECT_EQ(ReadBytes(dir / "0117.crp").substr(12), HandContainer(kPlain, "pw", 0).substr(12));
    // A second keep finds the old names taken.
    EXPECT_EQ(RunCli({"encode", "--keep", path, "pw"}).out, "false\n");
    EXPECT_EQ(ReadBytes(path), kPlain);
}

TEST(CliCryptTest, PathsAreTakenAsUtf8) {
    TempDir dir;
    const std::string path = dir / "日記.dia";
    WriteBytes(path, kPlain);
    EXPECT_EQ(RunCli({"encode", path, "pw"}).out, "true\n");
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(RunCli({"decode", path, "pw"}).out, "0\n");
    EXPECT_EQ(ReadBytes(path), kPlain);
}

TEST(CliCryptTest, BadWordsPrintNoResult) {
    TempDir dir;
    const std::string path = dir / "0117.dia";
    WriteBytes(path, kPlain);
    const std::vector<std::vector<std::string>> cases = {
        {"encode", path},                  // no key
        {"decode", path, "k", "extra"},    // one word too many
        {"encode", "--force", path, "k"},  // unknown option
        {"encode", path, "😀"},             // a key code page 932 cannot hold
    };
    for (const auto& words : cases) {
        const ProgramRun r = RunCli(words);
        EXPECT_EQ(r.status, 2) << words.back();
        EXPECT_EQ(r.out, "") << words.back();
    }
    EXPECT_EQ(ReadBytes(path), kPlain);
}

}  // namespace
