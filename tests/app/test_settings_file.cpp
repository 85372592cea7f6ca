#include "app/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/settings.h"
#include "crypt/cryptogram.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using fsio::fault::Op;

const std::string kKey = "718306925461";
// "%s に書き込めません"
const std::string kCannotWrite =
    "%s \x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1";

bool IsContainerFile(const std::string& path) {
    const std::string bytes = test::ReadBytes(path);
    return bytes.size() >= 44 && bytes.compare(0, 8, std::string("\x17\0LOCKED", 8)) == 0;
}

class SettingsFileTest : public ::testing::Test {
  protected:
    void TearDown() override { fsio::fault::Reset(); }

    // The settings file as plain text: it must lie as one container layer
    // under the fixed key, which is taken off here.
    std::string Decoded() {
        EXPECT_TRUE(IsContainerFile(paths.settingsPath));
        EXPECT_EQ(CryptDecodeFile(paths.settingsPath, kKey, false), CryptResult::Decoded);
        EXPECT_FALSE(IsContainerFile(paths.settingsPath));
        return test::ReadBytes(paths.settingsPath);
    }

    void PutPlain(const std::string& text) {
        ::mkdir(paths.settingsFolder.c_str(), 0700);
        test::WriteBytes(paths.settingsPath, text);
    }

    void PutContainer(const std::string& text) {
        PutPlain(text);
        ASSERT_TRUE(CryptEncodeFile(paths.settingsPath, kKey, false));
    }

    TDiarySettings Read() {
        TDiarySettings s = DefaultSettings(paths);
        ReadSettings(s, paths);
        return s;
    }

    test::TempDir dir;
    AppPaths paths = FixedAppPaths(dir.path());
};

void ExpectSame(const TDiarySettings& a, const TDiarySettings& b) {
    EXPECT_EQ(a.Password, b.Password);
    EXPECT_EQ(a.UseEncryption, b.UseEncryption);
    EXPECT_EQ(a.DataPath, b.DataPath);
    EXPECT_EQ(a.DateFormat, b.DateFormat);
    EXPECT_EQ(a.AutoInsertDate, b.AutoInsertDate);
    EXPECT_EQ(a.FontName, b.FontName);
    EXPECT_EQ(a.FontSize, b.FontSize);
    EXPECT_EQ(a.FontColor, b.FontColor);
    EXPECT_EQ(a.ShowOldDiary, b.ShowOldDiary);
    EXPECT_EQ(a.OldDiaryHeight, b.OldDiaryHeight);
    EXPECT_EQ(a.SaveWindow, b.SaveWindow);
    EXPECT_EQ(a.WindowTop, b.WindowTop);
    EXPECT_EQ(a.WindowLeft, b.WindowLeft);
    EXPECT_EQ(a.WindowHeight, b.WindowHeight);
    EXPECT_EQ(a.WindowWidth, b.WindowWidth);
}

TEST(Settings, Defaults) {
    const AppPaths p = FixedAppPaths("/opt/kuv");
    EXPECT_EQ(p.settingsFolder, "/opt/kuv/data");
    EXPECT_EQ(p.settingsPath, "/opt/kuv/data/diary.ini");
    EXPECT_EQ(FixedAppPaths("/").settingsPath, "/data/diary.ini");
    const TDiarySettings s = DefaultSettings(p);
    EXPECT_EQ(s.DataPath, "/opt/kuv/data");
    EXPECT_EQ(s.DateFormat, "yyyy\"/\"mm\"/\"dd\" (\"aaa\")\"");
    EXPECT_EQ(s.DateFormat.size(), 24u);
    EXPECT_EQ(std::string(kDefaultFontName), cp932::FromUtf8("ＭＳ Ｐゴシック").value());
    EXPECT_EQ(std::string(kDefaultFontName).size(), 15u);
    EXPECT_EQ(s.FontColor, -2147483640);
}

TEST_F(SettingsFileTest, NoFileKeepsEveryDefaultAndCreatesNothing) {
    ExpectSame(Read(), DefaultSettings(paths));
    EXPECT_FALSE(test::Exists(paths.settingsFolder));
    ::mkdir(paths.settingsFolder.c_str(), 0700);
    ExpectSame(Read(), DefaultSettings(paths));
    EXPECT_FALSE(test::Exists(paths.settingsPath));
    EXPECT_FALSE(test::Exists(paths.settingsFolder + "/diary.$$$"));
}

const char* const kHandWritten =
    "[SYSTEM]\r\n"
    "PASSWORD=himitsu\r\n"
    "USEPASSWORD=1\r\n"
    "DATAPATH=/home/u/diary\r\n"
    "FORMAT=yyyy-mm-dd\r\n"
    "AUTOINSERTDATE=1\r\n"
    "[FONT]\r\n"
    "SIZE=14\r\n"
    "COLOR=255\r\n"
    "NAME=Sans\r\n"
    "[OLDDIARY]\r\n"
    "SHOW=0\r\n"
    "HEIGHT=0\r\n"
    "[WINDOW]\r\n"
    "SAVE=1\r\n"
    "TOP=10\r\n"
    "LEFT=20\r\n"
    "HEIGHT=300\r\n"
    "WIDTH=500\r\n";

TEST_F(SettingsFileTest, ReadsAHandWrittenFileAndLeavesAContainer) {
    PutPlain(kHandWritten);
    const TDiarySettings s = Read();
    EXPECT_EQ(s.Password, "himitsu");
    EXPECT_TRUE(s.UseEncryption);
    EXPECT_EQ(s.DataPath, "/home/u/diary");
    EXPECT_EQ(s.DateFormat, "yyyy-mm-dd");
    EXPECT_TRUE(s.AutoInsertDate);
    EXPECT_EQ(s.FontSize, 14);
    EXPECT_EQ(s.FontColor, 255);
    EXPECT_EQ(s.FontName, "Sans");
    EXPECT_FALSE(s.ShowOldDiary);
    EXPECT_EQ(s.OldDiaryHeight, 0);
    EXPECT_TRUE(s.SaveWindow);
    EXPECT_EQ(s.WindowTop, 10);
    EXPECT_EQ(s.WindowLeft, 20);
    EXPECT_EQ(s.WindowHeight, 300);
    EXPECT_EQ(s.WindowWidth, 500);
    EXPECT_EQ(Decoded(), kHandWritten);
}

TEST_F(SettingsFileTest, ReadsAContainer) {
    PutContainer(kHandWritten);
    EXPECT_EQ(Read().Password, "himitsu");
    EXPECT_EQ(Decoded(), kHandWritten);
}

TEST_F(SettingsFileTest, ReadsAShortPlainFile) {
    // Fewer bytes than a container header: decoding refuses it untouched.
    const std::string text = "[WINDOW]\nSAVE=0\n";
    ASSERT_LT(text.size(), 35u);
    PutPlain(text);
    EXPECT_FALSE(Read().SaveWindow);
    EXPECT_EQ(Decoded(), text);
}

struct ValueCase {
    const char* name;
    const char* file;
    void (*check)(const TDiarySettings&);
};

void PrintTo(const ValueCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsValueTest : public SettingsFileTest,
                          public ::testing::WithParamInterface<ValueCase> {};

TEST_P(SettingsValueTest, ReadsByTheValueRules) {
    PutPlain(GetParam().file);
    GetParam().check(Read());
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsValueTest,
    ::testing::Values(
        ValueCase{"sizeWithUnit", "[FONT]\r\nSIZE=12pt\r\n",
                  [](const TDiarySettings& s) { EXPECT_EQ(s.FontSize, 12); }},
        ValueCase{"sizeEmpty", "[FONT]\r\nSIZE=\r\n",
                  [](const TDiarySettings& s) { EXPECT_EQ(s.FontSize, 12); }},
        ValueCase{"sizeHex", "[FONT]\r\nSIZE=0x10\r\n",
                  [](const TDiarySettings& s) { EXPECT_EQ(s.FontSize, 16); }},
        ValueCase{"sizeSpaced", "[FONT]\r\nSIZE= 20 \r\n",
                  [](const TDiarySettings& s) { EXPECT_EQ(s.FontSize, 20); }},
        ValueCase{"colorDollar", "[FONT]\r\nCOLOR=$80000008\r\n",
                  [](const TDiarySettings& s) { EXPECT_EQ(s.FontColor, -2147483640); }},
        ValueCase{"colorHex", "[FONT]\r\nCOLOR=0x80000008\r\n",
                  [](const TDiarySettings& s) { EXPECT_EQ(s.FontColor, -2147483640); }},
        ValueCase{"colorRgb", "[FONT]\r\nCOLOR=$0000FF\r\n",
                  [](const TDiarySettings& s) { EXPECT_EQ(s.FontColor, 255); }},
        ValueCase{"colorTooLong", "[FONT]\r\nCOLOR=$100000000\r\n",
                  [](const TDiarySettings& s) { EXPECT_EQ(s.FontColor, -2147483640); }},
        ValueCase{"heightOutOfRange", "[OLDDIARY]\r\nHEIGHT=2147483648\r\n",
                  [](const TDiarySettings& s) { EXPECT_EQ(s.OldDiaryHeight, 154); }},
        ValueCase{"saveFalseWordIsTrue", "[WINDOW]\r\nSAVE=false\r\nTOP=5\r\n",
                  [](const TDiarySettings& s) {
                      EXPECT_TRUE(s.SaveWindow);
                      EXPECT_EQ(s.WindowTop, 5);
                  }},
        ValueCase{"usePasswordTrueWordIsDefault", "[SYSTEM]\r\nUSEPASSWORD=true\r\n",
                  [](const TDiarySettings& s) { EXPECT_FALSE(s.UseEncryption); }},
        ValueCase{"booleanAnyNumber", "[SYSTEM]\r\nUSEPASSWORD=-7\r\nAUTOINSERTDATE=0x0\r\n",
                  [](const TDiarySettings& s) {
                      EXPECT_TRUE(s.UseEncryption);
                      EXPECT_FALSE(s.AutoInsertDate);
                  }},
        ValueCase{"saveOffKeepsPosition",
                  "[WINDOW]\r\nSAVE=0\r\nTOP=10\r\nLEFT=20\r\nHEIGHT=300\r\nWIDTH=500\r\n",
                  [](const TDiarySettings& s) {
                      EXPECT_FALSE(s.SaveWindow);
                      EXPECT_EQ(s.WindowTop, -1);
                      EXPECT_EQ(s.WindowLeft, 0);
                      EXPECT_EQ(s.WindowHeight, 300);
                      EXPECT_EQ(s.WindowWidth, 500);
                  }},
        ValueCase{"storedTopMinusOne", "[WINDOW]\r\nSAVE=1\r\nTOP=-1\r\nLEFT=30\r\n",
                  [](const TDiarySettings& s) {
                      EXPECT_EQ(s.WindowTop, -1);
                      EXPECT_EQ(s.WindowLeft, 30);
                  }},
        ValueCase{"emptyDataPath", "[SYSTEM]\r\nDATAPATH=\r\nFORMAT=\r\n",
                  [](const TDiarySettings& s) {
                      EXPECT_EQ(s.DataPath, "");
                      EXPECT_EQ(s.DateFormat, "");
                  }},
        ValueCase{"quotedPattern", "[SYSTEM]\r\nFORMAT=\"yyyy\"\r\nPASSWORD=\"  \"\r\n",
                  [](const TDiarySettings& s) {
                      EXPECT_EQ(s.DateFormat, "yyyy");
                      EXPECT_EQ(s.Password, "  ");
                  }},
        ValueCase{"heightPerSection", "[OLDDIARY]\r\nHEIGHT=77\r\n[WINDOW]\r\nHEIGHT=333\r\n",
                  [](const TDiarySettings& s) {
                      EXPECT_EQ(s.OldDiaryHeight, 77);
                      EXPECT_EQ(s.WindowHeight, 333);
                  }},
        ValueCase{"lowerCaseLfFile", "[font]\nname = Serif\nsize=9\n",
                  [](const TDiarySettings& s) {
                      EXPECT_EQ(s.FontName, "Serif");
                      EXPECT_EQ(s.FontSize, 9);
                  }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, FirstCloseCreatesFolderAndFile) {
    ClosingState st;
    st.lowerPaneShown = true;
    st.lowerPaneHeight = 154;
    st.top = 100;
    st.left = -8;
    st.height = 450;
    st.width = 640;
    WriteClosingSettings(paths, st, true);
    struct stat info {};
    ASSERT_EQ(::stat(paths.settingsFolder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(Decoded(),
              "[OLDDIARY]\r\nSHOW=1\r\nHEIGHT=154\r\n"
              "[WINDOW]\r\nTOP=100\r\nLEFT=-8\r\nHEIGHT=450\r\nWIDTH=640\r\n");
}

TEST_F(SettingsFileTest, CloseWithoutSaveWindowWritesThePaneOnly) {
    ClosingState st;
    st.lowerPaneShown = false;
    st.lowerPaneHeight = 0;
    WriteClosingSettings(paths, st, false);
    EXPECT_EQ(Decoded(), "[OLDDIARY]\r\nSHOW=0\r\nHEIGHT=0\r\n");
}

TEST_F(SettingsFileTest, CloseTouchesOnlyItsKeys) {
    PutContainer(kHandWritten);
    ClosingState st;
    st.lowerPaneShown = true;
    st.lowerPaneHeight = 120;
    st.top = 1;
    st.left = 2;
    st.height = 3;
    st.width = 4;
    WriteClosingSettings(paths, st, true);
    std::string expected = kHandWritten;
    auto put = [&](const std::string& from, const std::string& to) {
        expected.replace(expected.find(from), from.size(), to);
    };
    put("SHOW=0", "SHOW=1");
    put("HEIGHT=0", "HEIGHT=120");
    put("TOP=10", "TOP=1");
    put("LEFT=20", "LEFT=2");
    put("HEIGHT=300", "HEIGHT=3");
    put("WIDTH=500", "WIDTH=4");
    EXPECT_EQ(Decoded(), expected);
}

DialogValues SampleDialog() {
    DialogValues v;
    v.password = "pw";
    v.useEncryption = true;
    v.dataPath = "";
    v.dateFormat = "yyyy\"/\"mm\"/\"dd\" (\"aaa\")\"";
    v.fontSize = 12;
    v.fontColor = static_cast<std::int32_t>(0x80000008u);
    v.fontName = kDefaultFontName;
    v.saveWindow = false;
    v.autoInsertDate = true;
    return v;
}

TEST_F(SettingsFileTest, DialogWritesItsKeysInOrder) {
    WriteDialogSettings(paths, SampleDialog());
    EXPECT_EQ(Decoded(), std::string("[SYSTEM]\r\nPASSWORD=pw\r\nUSEPASSWORD=1\r\nDATAPATH=\r\n"
                                     "FORMAT=yyyy\"/\"mm\"/\"dd\" (\"aaa\")\"\r\n"
                                     "AUTOINSERTDATE=1\r\n"
                                     "[FONT]\r\nSIZE=12\r\nCOLOR=-2147483640\r\nNAME=") +
                             kDefaultFontName + "\r\n[WINDOW]\r\nSAVE=0\r\n");
}

TEST_F(SettingsFileTest, DialogLeavesClosingKeysAlone) {
    PutContainer(kHandWritten);
    WriteDialogSettings(paths, SampleDialog());
    const std::string text = Decoded();
    EXPECT_NE(text.find("[OLDDIARY]\r\nSHOW=0\r\nHEIGHT=0\r\n"), std::string::npos);
    EXPECT_NE(text.find("TOP=10\r\nLEFT=20\r\nHEIGHT=300\r\nWIDTH=500\r\n"), std::string::npos);
    EXPECT_NE(text.find("SAVE=0\r\n"), std::string::npos);
}

// The switch goes into the program's own section, after the Windows
// program's sections, and changes nothing else.
TEST_F(SettingsFileTest, AutoBackupSwitchTouchesOnlyItsKey) {
    PutContainer(kHandWritten);
    ASSERT_TRUE(StoreAutoBackupSetting(paths, {}, false).ok());
    EXPECT_EQ(Decoded(), std::string(kHandWritten) + "[KUVANDORO]\r\nAUTOBACKUP=0\r\n");
    ASSERT_TRUE(CryptEncodeFile(paths.settingsPath, kKey, false));
    EXPECT_FALSE(Read().AutoBackup);
    ASSERT_TRUE(StoreAutoBackupSetting(paths, {}, true).ok());
    EXPECT_EQ(Decoded(), std::string(kHandWritten) + "[KUVANDORO]\r\nAUTOBACKUP=1\r\n");
}

TEST_F(SettingsFileTest, ExportFormatTouchesOnlyItsKey) {
    PutContainer(kHandWritten);
    ASSERT_TRUE(StoreExportFormatSetting(paths, {}, "pdf").ok());
    EXPECT_EQ(Decoded(), std::string(kHandWritten) + "[KUVANDORO]\r\nEXPORTFORMAT=pdf\r\n");
    ASSERT_TRUE(CryptEncodeFile(paths.settingsPath, kKey, false));
    EXPECT_EQ(Read().ExportFormat, "pdf");
}

TEST_F(SettingsFileTest, RoundTripsThroughBothWrites) {
    DialogValues v = SampleDialog();
    v.password = "  two spaces around  ";
    v.dataPath = "/srv/diary";
    v.dateFormat = "\"quoted\"";
    v.fontColor = 0x00112233;
    v.saveWindow = true;
    WriteDialogSettings(paths, v);
    ClosingState st;
    st.lowerPaneShown = false;
    st.lowerPaneHeight = 0;
    st.top = -1;
    st.left = 5;
    st.height = 480;
    st.width = 700;
    WriteClosingSettings(paths, st, true);

    const TDiarySettings s = Read();
    EXPECT_EQ(s.Password, v.password);
    EXPECT_TRUE(s.UseEncryption);
    EXPECT_EQ(s.DataPath, "/srv/diary");
    EXPECT_EQ(s.DateFormat, "\"quoted\"");
    EXPECT_EQ(s.FontColor, 0x00112233);
    EXPECT_EQ(s.FontName, kDefaultFontName);
    EXPECT_TRUE(s.AutoInsertDate);
    EXPECT_FALSE(s.ShowOldDiary);
    EXPECT_EQ(s.OldDiaryHeight, 0);
    EXPECT_EQ(s.WindowTop, -1);
    EXPECT_EQ(s.WindowLeft, 5);
    EXPECT_EQ(s.WindowHeight, 480);
    EXPECT_EQ(s.WindowWidth, 700);
    EXPECT_TRUE(IsContainerFile(paths.settingsPath));
}

// A write that fails at any file call leaves the settings file byte for byte
// as it was: a container still, nothing of the write in it. A failure to
// read the file again keeps it; a failure to write names its cause.
TEST_F(SettingsFileTest, AWriteErrorLeavesTheFileAsItWas) {
    const struct {
        Op op;
        SettingsWrite status;
    } cases[] = {
        {Op::Open, SettingsWrite::KeptUnreadable}, {Op::Read, SettingsWrite::KeptUnreadable},
        {Op::Create, SettingsWrite::WriteError},   {Op::Write, SettingsWrite::WriteError},
        {Op::NoSpace, SettingsWrite::DiskFull},    {Op::Sync, SettingsWrite::WriteError},
        {Op::Close, SettingsWrite::WriteError},    {Op::Rename, SettingsWrite::WriteError},
    };
    ClosingState st;
    st.lowerPaneShown = true;
    st.lowerPaneHeight = 99;
    st.top = 1;
    // The three writes: closing, the dialog, the automatic backup switch.
    for (int write : {0, 1, 2}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << "op " << static_cast<int>(c.op) << " write " << write);
            PutContainer(kHandWritten);
            const std::string before = test::ReadBytes(paths.settingsPath);
            fsio::fault::FailNth(c.op, 1);
            const SettingsWriteResult r = write == 0 ? StoreClosingSettings(paths, {}, st, true)
                                          : write == 1
                                              ? StoreDialogSettings(paths, {}, SampleDialog())
                                              : StoreAutoBackupSetting(paths, {}, false);
            EXPECT_TRUE(fsio::fault::Fired());
            fsio::fault::Reset();
            EXPECT_EQ(r.status, c.status);
            if (c.status != SettingsWrite::KeptUnreadable) {
                EXPECT_EQ(r.message.rfind(FormatMessage(kCannotWrite, paths.settingsPath), 0), 0u)
                    << r.message;
            }
            EXPECT_EQ(test::ReadBytes(paths.settingsPath), before);
            EXPECT_FALSE(test::Exists(paths.settingsFolder + "/diary.$$$"));
        }
    }
    // The same write without a fault goes through.
    WriteClosingSettings(paths, st, true);
    EXPECT_NE(Decoded().find("SHOW=1\r\nHEIGHT=99\r\n"), std::string::npos);
}

// Reading needs no room and no writable folder: the file is decoded in memory.
TEST_F(SettingsFileTest, ReadingNeedsNoWritableFolder) {
    PutContainer(kHandWritten);
    const std::string before = test::ReadBytes(paths.settingsPath);
    for (Op op : {Op::Create, Op::NoSpace, Op::Rename, Op::Remove}) {
        fsio::fault::FailNth(op, 1);
        EXPECT_EQ(Read().Password, "himitsu");
        fsio::fault::Reset();
        EXPECT_EQ(test::ReadBytes(paths.settingsPath), before);
    }
    // A file that is there but cannot be read is reported, not taken for defaults.
    fsio::fault::FailNth(Op::Read, 1);
    TDiarySettings s = DefaultSettings(paths);
    EXPECT_FALSE(ReadSettings(s, paths));
    EXPECT_EQ(s.Password, "");
}

TEST_F(SettingsFileTest, FolderThatCannotBeMadeIsAWriteError) {
    fsio::fault::FailNth(Op::MakeDirectory, 1);
    EXPECT_THROW(WriteClosingSettings(paths, ClosingState{}, true), AppError);
    EXPECT_FALSE(test::Exists(paths.settingsFolder));
}

// The settings folder and the folders above it are made by the first write
// that needs them, private to the user.
TEST_F(SettingsFileTest, MissingFoldersAreMadeWithTheirParents) {
    const AppPaths deep = FixedAppPaths(dir / "a/b");
    ASSERT_TRUE(StoreDialogSettings(deep, {}, SampleDialog()).ok());
    for (const std::string& folder : {dir / "a", dir / "a/b", dir / "a/b/data"}) {
        struct stat info {};
        ASSERT_EQ(::stat(folder.c_str(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
    }
    EXPECT_TRUE(IsContainerFile(deep.settingsPath));
}

TEST_F(SettingsFileTest, DoubleWrappedFileIsUnwound) {
    PutContainer(kHandWritten);
    ASSERT_TRUE(CryptEncodeFile(paths.settingsPath, kKey, false));
    EXPECT_EQ(Read().Password, "himitsu");
    // The next write leaves one layer.
    WriteDialogSettings(paths, SampleDialog());
    EXPECT_NE(Decoded().find("PASSWORD=pw\r\n"), std::string::npos);
}

TEST_F(SettingsFileTest, ForeignContainerIsNeitherReadNorWrappedNorWritten) {
    PutPlain(kHandWritten);
    ASSERT_TRUE(CryptEncodeFile(paths.settingsPath, "another key", false));
    const std::string before = test::ReadBytes(paths.settingsPath);
    ExpectSame(Read(), DefaultSettings(paths));
    EXPECT_EQ(test::ReadBytes(paths.settingsPath), before);
    EXPECT_THROW(WriteClosingSettings(paths, ClosingState{}, true), AppError);
    EXPECT_EQ(test::ReadBytes(paths.settingsPath), before);
}

class ResolvePathsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"XDG_DATA_HOME", "HOME"}) {
            const char* v = std::getenv(name);
            saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto& [name, v] : saved_) {
            if (v) {
                ::setenv(name, v->c_str(), 1);
            } else {
                ::unsetenv(name);
            }
        }
    }
    test::TempDir dir;

  private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

// Where the settings go is fixed when the program is built: neither the
// program folder's rights (root may write /usr/bin) nor its being there
// change it, and resolving creates no folder.
TEST_F(ResolvePathsTest, FollowsTheBuildNotTheFolderRights) {
    ::setenv("XDG_DATA_HOME", (dir / "xdg/share").c_str(), 1);
    ASSERT_TRUE(fsio::MakeDirectory(dir / "readonly"));
    ASSERT_EQ(::chmod((dir / "readonly").c_str(), 0500), 0);
    for (const std::string& program : {dir.path(), dir / "missing", dir / "readonly"}) {
        SCOPED_TRACE(program);
        const AppPaths p = ResolveAppPaths(program);
        const std::string folder =
            kSystemWideInstall ? dir / "xdg/share/kuvandoro" : program + "/data";
        EXPECT_EQ(p.appDir, program);
        EXPECT_EQ(p.settingsFolder, folder);
        EXPECT_EQ(p.settingsPath, folder + "/diary.ini");
        EXPECT_EQ(DefaultSettings(p).DataPath, folder);
        EXPECT_FALSE(test::Exists(dir / "xdg"));
        EXPECT_FALSE(test::Exists(program + "/data"));
    }
}

TEST_F(ResolvePathsTest, UserFolderFollowsTheXdgRules) {
    ::setenv("HOME", (dir / "home").c_str(), 1);
    const struct {
        const char* xdg;
        std::string folder;
    } cases[] = {
        {"/srv/xdg/share", "/srv/xdg/share/kuvandoro"},
        {"/", "/kuvandoro"},
        // Unset in effect: empty or relative values are ignored.
        {"", dir / "home/.local/share/kuvandoro"},
        {"relative/share", dir / "home/.local/share/kuvandoro"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xdg);
        ::setenv("XDG_DATA_HOME", c.xdg, 1);
        const AppPaths p = UserAppPaths("/usr/bin");
        EXPECT_EQ(p.appDir, "/usr/bin");
        EXPECT_EQ(p.settingsFolder, c.folder);
        EXPECT_EQ(p.settingsPath, c.folder + "/diary.ini");
    }
    EXPECT_FALSE(test::Exists(dir / "home"));
}

}  // namespace
}  // namespace kuv
