#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using kuv::test::Exists;
using kuv::test::ReadBytes;
using kuv::test::TempDir;
using kuv::test::WriteBytes;

struct CliRun {
    int status = -1;
    std::string out;
};

std::string Quote(const std::string& word) {
    std::string q = "'";
    for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

CliRun Cli(const std::vector<std::string>& words) {
    std::string cmd = Quote(std::string(KUV_BIN_DIR) + "/kuvandoro-cli");
    for (const auto& w : words) cmd.append(" ").append(Quote(w));
    cmd += " 2>/dev/null";
    CliRun run;
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (pipe == nullptr) return run;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The container of plain under key with no date, in the Windows layout.
std::string Container(const std::string& plain, const std::string& key) {
    std::string out("\x17\0LOCKED\0\0\0\0", 12);
    for (std::size_t i = 0; i < 32; ++i) {
        out += i < key.size() ? static_cast<char>(key[i] ^ '\xA6') : '\0';
    }
    for (std::size_t k = 0; k < plain.size(); ++k) {
        out += static_cast<char>(plain[k] ^ key[(k % 1024) % key.size()]);
    }
    return out;
}

const std::string kPlain = "今日は晴れ\r\n";  // UTF-8 file content: the bytes do not matter
const std::string kNikkiUtf8 = "日記";
const std::string kNikkiSjis = "\x93\xfa\x8b\x4c";

TEST(CliCryptTest, EncodeAndDecodePrintTheirResults) {
    TempDir dir;
    const std::string path = dir / "0117.dia";
    WriteBytes(path, kPlain);

    CliRun r = Cli({"encode", path, kNikkiUtf8});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "true\n");
    // The key is used as its code page 932 bytes.
    EXPECT_EQ(ReadBytes(path).substr(12), Container(kPlain, kNikkiSjis).substr(12));

    r = Cli({"decode", path, "wrong"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1\n");

    r = Cli({"decode", path, kNikkiUtf8});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "0\n");
    EXPECT_EQ(ReadBytes(path), kPlain);

    r = Cli({"decode", dir / "missing.xda", kNikkiUtf8});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "2\n");

    r = Cli({"encode", dir / "missing.dia", "k"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "false\n");
}

TEST(CliCryptTest, KeepLeavesTheOldFileBeside) {
    TempDir dir;
    const std::string path = dir / "0117.dia";
    WriteBytes(path, kPlain);
    EXPECT_EQ(Cli({"encode", "--keep", path, "pw"}).out, "true\n");
    EXPECT_EQ(ReadBytes(dir / "0117.org"), kPlain);
    EXPECT_EQ(Cli({"decode", "--keep", path, "pw"}).out, "0\n");
    EXPECT_EQ(ReadBytes(path), kPlain);
    EXPECT_EQ(ReadBytes(dir / "0117.crp").substr(12), Container(kPlain, "pw").substr(12));
    // A second keep finds the old names taken.
    EXPECT_EQ(Cli({"encode", "--keep", path, "pw"}).out, "false\n");
    EXPECT_EQ(ReadBytes(path), kPlain);
}

TEST(CliCryptTest, PathsAreTakenAsUtf8) {
    TempDir dir;
    const std::string path = dir / "日記.dia";
    WriteBytes(path, kPlain);
    EXPECT_EQ(Cli({"encode", path, "pw"}).out, "true\n");
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(Cli({"decode", path, "pw"}).out, "0\n");
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
        const CliRun r = Cli(words);
        EXPECT_EQ(r.status, 2) << words.back();
        EXPECT_EQ(r.out, "") << words.back();
    }
    EXPECT_EQ(ReadBytes(path), kPlain);
}

}  // namespace
