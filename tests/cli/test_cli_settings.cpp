#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "crypt/cryptogram.h"
#include "tests/support/temp_dir.h"

namespace {

using kuv::test::Exists;
using kuv::test::ReadBytes;
using kuv::test::TempDir;
using kuv::test::WriteBytes;

struct CliResult {
    int status = -1;
    std::string out;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

CliResult Cli(const std::vector<std::string>& args) {
    std::string cmd = Quote(std::string(KUV_BIN_DIR) + "/kuvandoro-cli");
    for (const std::string& a : args) cmd.append(" ").append(Quote(a));
    cmd += " 2>/dev/null";
    CliResult r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (p == nullptr) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

bool IsContainer(const std::string& path) {
    const std::string b = ReadBytes(path);
    return b.size() >= 44 && b.compare(0, 8, std::string("\x17\0LOCKED", 8)) == 0;
}

TEST(CliSettings, DefaultsWithoutAFile) {
    TempDir dir;
    CliResult r = Cli({"settings", "--app-dir", dir.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "Password=\n"
              "UseEncryption=0\n"
              "DataPath=" +
                  dir.path() +
                  "/data\n"
                  "DateFormat=yyyy\"/\"mm\"/\"dd\" (\"aaa\")\"\n"
                  "AutoInsertDate=0\n"
                  "FontName=ＭＳ Ｐゴシック\n"
                  "FontSize=12\n"
                  "FontColor=-2147483640\n"
                  "ShowOldDiary=1\n"
                  "OldDiaryHeight=154\n"
                  "SaveWindow=1\n"
                  "WindowTop=-1\n"
                  "WindowLeft=0\n"
                  "WindowHeight=450\n"
                  "WindowWidth=640\n");
    EXPECT_FALSE(Exists(dir / "data"));
}

TEST(CliSettings, ReadsTheFileAndLeavesAContainer) {
    TempDir dir;
    ASSERT_EQ(::mkdir((dir / "data").c_str(), 0700), 0);
    // PASSWORD is "日記" in code page 932.
    const std::string text =
        "[SYSTEM]\r\nPASSWORD=\x93\xfa\x8b\x4c\r\nDATAPATH=\r\n[FONT]\r\nCOLOR=$FF\r\n"
        "[WINDOW]\r\nSAVE=0\r\nTOP=5\r\nWIDTH=800\r\n";
    WriteBytes(dir / "data/diary.ini", text);
    CliResult r = Cli({"settings", "--app-dir", dir.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Password=日記\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nDataPath=\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nFontColor=255\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nSaveWindow=0\nWindowTop=-1\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nWindowWidth=800\n"), std::string::npos);
    ASSERT_TRUE(IsContainer(dir / "data/diary.ini"));
    EXPECT_EQ(kuv::CryptDecodeFile(dir / "data/diary.ini", "718306925461", false),
              kuv::CryptResult::Decoded);
    EXPECT_EQ(ReadBytes(dir / "data/diary.ini"), text);
}

TEST(CliProfile, SetsAndGets) {
    TempDir dir;
    const std::string ini = dir / "plain.ini";
    EXPECT_EQ(Cli({"profile", "get", ini, "S", "K"}).out, "\n");
    EXPECT_EQ(Cli({"profile", "get", ini, "S", "K", "fallback"}).out, "fallback\n");
    EXPECT_EQ(Cli({"profile", "set", ini, "S", "K", "1"}).status, 0);
    EXPECT_EQ(Cli({"profile", "set", ini, "セクション", "キー", "日記"}).status, 0);
    // Plain text in code page 932, no container.
    EXPECT_EQ(ReadBytes(ini),
              "[S]\r\nK=1\r\n[\x83\x5a\x83\x4e\x83\x56\x83\x87\x83\x93]\r\n"
              "\x83\x4c\x81\x5b=\x93\xfa\x8b\x4c\r\n");
    CliResult r = Cli({"profile", "get", ini, "s", "k", "d"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1\n");
    EXPECT_EQ(Cli({"profile", "get", ini, "セクション", "キー"}).out, "日記\n");
}

TEST(CliProfile, Failures) {
    TempDir dir;
    EXPECT_EQ(Cli({"profile", "set", dir / "none/x.ini", "S", "K", "1"}).status, 1);
    EXPECT_FALSE(Exists(dir / "none"));
    // An emoji has no code page 932 form: a bad argument.
    EXPECT_EQ(Cli({"profile", "set", dir / "x.ini", "S", "K", "\xf0\x9f\x98\x80"}).status, 2);
    EXPECT_FALSE(Exists(dir / "x.ini"));
    EXPECT_EQ(Cli({"profile", "set", dir / "x.ini", "S", "K"}).status, 2);
    EXPECT_EQ(Cli({"profile", "drop", dir / "x.ini", "S", "K"}).status, 2);
    EXPECT_EQ(Cli({"settings", "extra"}).status, 2);
}

}  // namespace
