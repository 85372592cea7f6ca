#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/cli_runner.h"
#include "tests/support/temp_dir.h"

namespace {

using kuv::test::Exists;
using kuv::test::ProgramRun;
using kuv::test::ReadBytes;
using kuv::test::RunCli;
using kuv::test::TempDir;
using kuv::test::WriteBytes;

TEST(CliSettings, DefaultsWithoutAFile) {
    TempDir dir;
    ProgramRun r = RunCli({"settings", "--app-dir", dir.path()});
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

TEST(CliSettings, ReadsTheFileAndChangesNothing) {
    TempDir dir;
    ASSERT_EQ(::mkdir((dir / "data").c_str(), 0700), 0);
    // PASSWORD is "日記" in code page 932.
    const std::string text =
        "[SYSTEM]\r\nPASSWORD=\x93\xfa\x8b\x4c\r\nDATAPATH=\r\n[FONT]\r\nCOLOR=$FF\r\n"
        "[WINDOW]\r\nSAVE=0\r\nTOP=5\r\nWIDTH=800\r\n";
    WriteBytes(dir / "data/diary.ini", text);
    ProgramRun r = RunCli({"settings", "--app-dir", dir.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Password=日記\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nDataPath=\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nFontColor=255\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nSaveWindow=0\nWindowTop=-1\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nWindowWidth=800\n"), std::string::npos);
    // A file written by hand stays as it was: the tool only reads.
    EXPECT_EQ(ReadBytes(dir / "data/diary.ini"), text);
}

// Every file and folder under root with its size and time, to the nanosecond.
std::string Snapshot(const std::string& root) {
    std::vector<std::string> lines;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        struct stat st {};
        ::lstat(e.path().c_str(), &st);
        lines.push_back(e.path().string() + " " + std::to_string(st.st_size) + " " +
                        std::to_string(st.st_mtim.tv_sec) + "." +
                        std::to_string(st.st_mtim.tv_nsec));
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

// --app-dir names the folder meant: one that is not there, or not a folder,
// is an error, and no other folder stands in for it.
TEST(CliSettings, AppDirIsTakenAsGiven) {
    TempDir home, dir;
    WriteBytes(dir / "a-file", "x");
    const std::vector<std::string> env = {"HOME=" + home.path(), "XDG_DATA_HOME="};
    const std::vector<std::vector<std::string>> cases = {
        {"settings", "--app-dir", dir / "nonexistent/x"},
        {"settings", "--app-dir", dir / "a-file"},
        {"show", "--app-dir", dir / "nonexistent/x", "2001-01-17"},
        {"show", "--app-dir", dir / "nonexistent/x", "--data", dir.path(), "--password", "p",
         "2001-01-17"},
        {"show", "--app-dir", dir / "a-file", "2001-01-17"},
        // Every command that works on a diary takes the folder the same way.
        {"search", "--app-dir", dir / "nonexistent/x", "term"},
        {"years", "--app-dir", dir / "nonexistent/x", "01-17"},
        {"conflicts", "--app-dir", dir / "nonexistent/x"},
        {"export", "--app-dir", dir / "nonexistent/x", "--format", "txt", dir / "out.txt"},
        {"backup", "--app-dir", dir / "a-file", dir / "b.tar.gz"},
        {"restore", "--app-dir", dir / "nonexistent/x", dir / "a-file"},
        {"import", "--app-dir", dir / "nonexistent/x", dir.path()},
    };
    const std::string before = Snapshot(home.path()) + Snapshot(dir.path());
    for (const auto& words : cases) {
        const ProgramRun r = RunCli(words, env);
        EXPECT_EQ(r.status, 2) << words[0] << " " << words[2];
        EXPECT_EQ(r.out, "") << words[0] << " " << words[2];
    }
    EXPECT_EQ(Snapshot(home.path()) + Snapshot(dir.path()), before);
}

// The read-only commands create and change nothing: not the settings file
// written by hand, not a folder, not a work file; nor do the commands that
// read a diary to write elsewhere.
TEST(CliSettings, ReadOnlyCommandsChangeNothing) {
    TempDir home, app, data, out;
    ASSERT_EQ(::mkdir((app / "data").c_str(), 0700), 0);
    WriteBytes(app / "data/diary.ini", "[SYSTEM]\r\nDATAPATH=" + data.path() + "\r\n");
    const std::vector<std::string> env = {"HOME=" + home.path(), "XDG_DATA_HOME="};
    const std::string ini = app / "data/diary.ini";
    const struct {
        std::vector<std::string> words;
        int status;
    } cases[] = {
        {{"settings", "--app-dir", app.path()}, 0},
        {{"show", "--app-dir", app.path(), "2001-01-17"}, 0},
        {{"show", "--app-dir", app.path(), "--data", data / "none", "1999-01-01"}, 0},
        {{"profile", "get", ini, "SYSTEM", "DATAPATH"}, 0},
        {{"profile", "get", app / "none.ini", "S", "K", "d"}, 0},
        {{"format", "--locale", "fallback", "yyyy", "2001-01-17"}, 0},
        {{"search", "--app-dir", app.path(), "term"}, 1},  // nothing found
        {{"years", "--app-dir", app.path(), "01-17"}, 1},
        {{"conflicts", "--app-dir", app.path()}, 0},
        {{"export", "--app-dir", app.path(), "--format", "txt", out / "d.txt"}, 0},
        {{"backup", "--app-dir", app.path(), out / "b.tar.gz"}, 0},
    };
    const std::string before = Snapshot(home.path()) + Snapshot(app.path()) + Snapshot(data.path());
    for (const auto& [words, status] : cases) {
        const ProgramRun r = RunCli(words, env);
        EXPECT_EQ(r.status, status) << words[0] << " " << words[1] << ": " << r.err;
        EXPECT_EQ(Snapshot(home.path()) + Snapshot(app.path()) + Snapshot(data.path()), before)
            << words[0] << " " << words[1];
    }
}

// A settings file that cannot be read stops every command that needs it,
// with its cause (here: a folder in its place) and status 1; one whose
// options leave nothing to read there goes on.
TEST(CliSettings, AnUnreadableSettingsFileIsReportedWithItsCause) {
    TempDir app, data, out;
    ASSERT_EQ(::mkdir((app / "data").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((app / "data/diary.ini").c_str(), 0700), 0);
    const std::string dir = app.path();
    const struct {
        std::vector<std::string> words;
        int status;
    } cases[] = {
        {{"show", "--app-dir", dir, "2001-01-17"}, 1},
        {{"search", "--app-dir", dir, "term"}, 1},
        {{"years", "--app-dir", dir, "01-17"}, 1},
        {{"conflicts", "--app-dir", dir}, 1},
        {{"export", "--app-dir", dir, "--format", "txt", out / "d.txt"}, 1},
        {{"backup", "--app-dir", dir, "--data", data.path(), out / "b.tar.gz"}, 1},
        {{"restore", "--app-dir", dir, "--data", data.path(), out / "b.tar.gz"}, 1},
        {{"import", "--app-dir", dir, "--data", data.path(), out.path()}, 1},
        {{"show", "--app-dir", dir, "--data", data.path(), "--password", "", "2001-01-17"}, 0},
        {{"conflicts", "--app-dir", dir, "--data", data.path()}, 0},
    };
    const std::string cause = "設定ファイル " + app / "data/diary.ini" + " を読み込めません（";
    for (const auto& [words, status] : cases) {
        const ProgramRun r = RunCli(words);
        EXPECT_EQ(r.status, status) << words[0] << " " << words[3] << ": " << r.err;
        EXPECT_EQ(r.out, "") << words[0];
        EXPECT_EQ(r.err.find(cause) != std::string::npos, status == 1) << r.err;
    }
    EXPECT_FALSE(Exists(out / "d.txt"));
    EXPECT_FALSE(Exists(out / "b.tar.gz"));
}

TEST(CliProfile, SetsAndGets) {
    TempDir dir;
    const std::string ini = dir / "plain.ini";
    EXPECT_EQ(RunCli({"profile", "get", ini, "S", "K"}).out, "\n");
    EXPECT_EQ(RunCli({"profile", "get", ini, "S", "K", "fallback"}).out, "fallback\n");
    // The default loses its trailing blanks, as the Windows call strips them.
    EXPECT_EQ(RunCli({"profile", "get", ini, "S", "K", "def  "}).out, "def\n");
    EXPECT_EQ(RunCli({"profile", "get", ini, "S", "K", " d e "}).out, " d e\n");
    EXPECT_EQ(RunCli({"profile", "set", ini, "S", "K", "1"}).status, 0);
    EXPECT_EQ(RunCli({"profile", "set", ini, "セクション", "キー", "日記"}).status, 0);
    // Plain text in code page 932, no container.
    EXPECT_EQ(ReadBytes(ini),
              "[S]\r\nK=1\r\n[\x83\x5a\x83\x4e\x83\x56\x83\x87\x83\x93]\r\n"
              "\x83\x4c\x81\x5b=\x93\xfa\x8b\x4c\r\n");
    ProgramRun r = RunCli({"profile", "get", ini, "s", "k", "d"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1\n");
    EXPECT_EQ(RunCli({"profile", "get", ini, "セクション", "キー"}).out, "日記\n");
}

TEST(CliProfile, Failures) {
    TempDir dir;
    EXPECT_EQ(RunCli({"profile", "set", dir / "none/x.ini", "S", "K", "1"}).status, 1);
    EXPECT_FALSE(Exists(dir / "none"));
    // An emoji has no code page 932 form: a bad argument.
    EXPECT_EQ(RunCli({"profile", "set", dir / "x.ini", "S", "K", "\xf0\x9f\x98\x80"}).status, 2);
    EXPECT_FALSE(Exists(dir / "x.ini"));
    EXPECT_EQ(RunCli({"profile", "set", dir / "x.ini", "S", "K"}).status, 2);
    EXPECT_EQ(RunCli({"profile", "drop", dir / "x.ini", "S", "K"}).status, 2);
    EXPECT_EQ(RunCli({"settings", "extra"}).status, 2);
}

}  // namespace
