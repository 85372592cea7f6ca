// What reading and writing the settings file report, and what a write keeps:
// a file that cannot be read stays as it is, every failure names its cause,
// keys that another program wrote stay, and a tool's read changes nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "app/profile.h"
#include "app/settings.h"
#include "app/settings_file.h"
#include "crypt/cryptogram.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using fsio::fault::Op;

const std::string kKey = "718306925461";
const std::string kText = "[SYSTEM]\r\nPASSWORD=himitsu\r\n[WINDOW]\r\nSAVE=1\r\nTOP=10\r\n";

std::string J(const char* utf8) {
    return cp932::FromUtf8(utf8).value();
}

// The bytes of the file at path; a folder there reads as its own mark.
std::string Content(const std::string& path) {
    return fsio::IsDirectory(path) ? std::string("<folder>") : test::ReadBytes(path);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Public, for the case tables' set-up functions.
class SettingsCauseTest : public ::testing::Test {
  public:
    void TearDown() override { fsio::fault::Reset(); }

    void PutPlain(const std::string& text) {
        ::mkdir(paths.settingsFolder.c_str(), 0700);
        test::WriteBytes(paths.settingsPath, text);
    }
    void PutContainer(const std::string& text, const std::string& key = kKey) {
        PutPlain(text);
        ASSERT_TRUE(CryptEncodeFile(paths.settingsPath, key, false));
    }
    std::string Decoded() {
        std::string plain;
        EXPECT_EQ(CryptDecodeBytes(test::ReadBytes(paths.settingsPath), kKey, plain),
                  CryptResult::Decoded);
        return plain;
    }

    test::TempDir dir;
    AppPaths paths = FixedAppPaths(dir.path());
};

// Each way a settings file can be unreadable, with the cause its message
// names; the record keeps its defaults and the file is not touched.
TEST_F(SettingsCauseTest, AnUnreadableFileIsReportedWithItsCause) {
    const struct {
        const char* name;
        void (*put)(SettingsCauseTest&);
        Op fault;
        SettingsRead status;
        const char* cause;
    } cases[] = {
        {"folder",
         [](SettingsCauseTest& t) {
             ::mkdir(t.paths.settingsFolder.c_str(), 0700);
             ::mkdir(t.paths.settingsPath.c_str(), 0700);
         },
         Op::Count_, SettingsRead::NotAFile, "ファイルではありません"},
        {"cannotOpen", [](SettingsCauseTest& t) { t.PutContainer(kText); }, Op::Open,
         SettingsRead::CannotOpen, "ファイルを開けません"},
        {"readError", [](SettingsCauseTest& t) { t.PutContainer(kText); }, Op::Read,
         SettingsRead::ReadError, "読み込み中にエラーが起きました"},
        {"tooLarge",
         [](SettingsCauseTest& t) { t.PutPlain(std::string(kMaxProfileBytes + 1, ';')); },
         Op::Count_, SettingsRead::TooLarge, "設定ファイルとしては大きすぎます"},
        {"foreignKey", [](SettingsCauseTest& t) { t.PutContainer(kText, "another key"); },
         Op::Count_, SettingsRead::ForeignKey, "別のキーで暗号化されています"},
        // A container header whose body was cut off before the 35th byte.
        {"cutShort", [](SettingsCauseTest& t) { t.PutPlain(std::string("\x17\0LOCKED", 8)); },
         Op::Count_, SettingsRead::Damaged, "壊れています"},
        {"woundWithoutEnd",
         [](SettingsCauseTest& t) {
             t.PutContainer(kText);
             for (int i = 0; i < 8; ++i) CryptEncodeFile(t.paths.settingsPath, kKey, false);
         },
         Op::Count_, SettingsRead::Damaged, "壊れています"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir fresh;
        paths = FixedAppPaths(fresh.path());
        c.put(*this);
        const std::string before = Content(paths.settingsPath);
        for (SettingsAccess access : {SettingsAccess::ReadOnly, SettingsAccess::Program}) {
            if (c.fault != Op::Count_) fsio::fault::FailNth(c.fault, 1);
            TDiarySettings s = DefaultSettings(paths);
            const SettingsReadResult r = ReadSettingsFile(s, paths, access);
            fsio::fault::Reset();
            EXPECT_EQ(r.status, c.status);
            EXPECT_FALSE(r.usable());
            EXPECT_EQ(r.message, J("設定ファイル ") + paths.settingsPath +
                                     J(" を読み込めません（") + J(c.cause) + J("）。"));
            EXPECT_EQ(s.Password, "");
            EXPECT_EQ(Content(paths.settingsPath), before);
        }
    }
}

// A file that start-up could not read is kept as it is: neither write
// replaces it, even when it has become readable since, and the message says
// why the settings were not stored.
TEST_F(SettingsCauseTest, WritesKeepAFileThatStartUpCouldNotRead) {
    PutContainer(kText, "another key");
    const std::string before = test::ReadBytes(paths.settingsPath);
    TDiarySettings s = DefaultSettings(paths);
    const SettingsReadResult startUp = ReadSettingsFile(s, paths, SettingsAccess::Program);
    ASSERT_FALSE(startUp.usable());

    for (int readableSince = 0; readableSince < 2; ++readableSince) {
        if (readableSince) PutContainer(kText);
        const std::string now = test::ReadBytes(paths.settingsPath);
        const SettingsWriteResult closing =
            StoreClosingSettings(paths, startUp, ClosingState{}, true);
        const SettingsWriteResult dialog = StoreDialogSettings(paths, startUp, DialogValues{});
        for (const SettingsWriteResult& r : {closing, dialog}) {
            EXPECT_EQ(r.status, SettingsWrite::KeptUnreadable);
            EXPECT_EQ(r.message, startUp.message + J("\n設定は保存していません。ファイルは"
                                                     "そのまま残してあります。"));
        }
        EXPECT_EQ(test::ReadBytes(paths.settingsPath), now);
    }
    EXPECT_NE(test::ReadBytes(paths.settingsPath), before);
    EXPECT_FALSE(test::Exists(paths.settingsFolder + "/diary.$$$"));
}

// A refused write keeps the Windows program's text and names its cause.
TEST_F(SettingsCauseTest, ARefusedWriteNamesItsCause) {
    const struct {
        const char* name;
        void (*put)(SettingsCauseTest&);
        Op fault;
        const char* password;
        SettingsWrite status;
        const char* cause;  // after "フォルダ <folder>" when namesFolder
        bool namesFolder;
    } cases[] = {
        {"readOnlyFile",
         [](SettingsCauseTest& t) {
             t.PutContainer(kText);
             ::chmod(t.paths.settingsPath.c_str(), 0444);
         },
         Op::Count_, "new", SettingsWrite::ReadOnlyFile, "読み取り専用のファイルです", false},
        {"folderNotCreated",
         // A file stands where the program folder's data folder would go.
         [](SettingsCauseTest& t) { test::WriteBytes(t.paths.settingsFolder, "x"); }, Op::Count_,
         "new", SettingsWrite::FolderNotCreated, " を作成できません", true},
        {"diskFull", [](SettingsCauseTest& t) { t.PutContainer(kText); }, Op::NoSpace, "new",
         SettingsWrite::DiskFull, "ディスクの空き容量が足りません", false},
        {"writeError", [](SettingsCauseTest& t) { t.PutContainer(kText); }, Op::Write, "new",
         SettingsWrite::WriteError, "書き込み中にエラーが起きました", false},
        {"lineBreakInAValue", [](SettingsCauseTest& t) { t.PutContainer(kText); }, Op::Count_,
         "two\r\nlines", SettingsWrite::ValueRefused, "値に改行かヌル文字が含まれています", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir fresh;
        paths = FixedAppPaths(fresh.path());
        c.put(*this);
        const std::string before = test::ReadBytes(paths.settingsPath);
        DialogValues v;
        v.password = c.password;
        if (c.fault != Op::Count_) fsio::fault::FailNth(c.fault, 1);
        const SettingsWriteResult r = StoreDialogSettings(paths, {}, v);
        fsio::fault::Reset();
        EXPECT_EQ(r.status, c.status);
        const std::string cause =
            (c.namesFolder ? J("フォルダ ") + paths.settingsFolder : std::string()) + J(c.cause);
        EXPECT_EQ(r.message, paths.settingsPath + J(" に書き込めません（") + cause + J("）"));
        EXPECT_EQ(test::ReadBytes(paths.settingsPath), before);
        if (c.fault != Op::Count_) fsio::fault::FailNth(c.fault, 1);
        EXPECT_THROW(WriteDialogSettings(paths, v), AppError);
        fsio::fault::Reset();
    }
}

// A write reads the file again just before it replaces it: keys that another
// program wrote since start-up stay, whatever the keys of the write.
TEST_F(SettingsCauseTest, KeysWrittenMeanwhileByAnotherProgramStay) {
    PutContainer(kText);
    TDiarySettings s = DefaultSettings(paths);
    const SettingsReadResult startUp = ReadSettingsFile(s, paths, SettingsAccess::Program);
    ASSERT_TRUE(startUp.usable());
    EXPECT_EQ(s.Password, "himitsu");

    // Another program (the Windows diary on a shared folder) adds a section
    // and changes a key of the dialog's.
    PutPlain(kText + "[PLUGIN]\r\nNAME=other\r\n");
    ASSERT_TRUE(WritePrivateProfileString("SYSTEM", "FORMAT", "yyyy", paths.settingsPath));
    ASSERT_TRUE(CryptEncodeFile(paths.settingsPath, kKey, false));

    ClosingState st;
    st.lowerPaneShown = false;
    st.lowerPaneHeight = 0;
    ASSERT_TRUE(StoreClosingSettings(paths, startUp, st, false).ok());
    const std::string text = Decoded();
    EXPECT_TRUE(Contains(text, "[PLUGIN]\r\nNAME=other\r\n")) << text;
    EXPECT_TRUE(Contains(text, "FORMAT=yyyy\r\n")) << text;
    EXPECT_TRUE(Contains(text, "[OLDDIARY]\r\nSHOW=0\r\nHEIGHT=0\r\n")) << text;
    EXPECT_TRUE(Contains(text, "PASSWORD=himitsu\r\n")) << text;
}

// A tool reads without creating or changing anything: a file written by hand
// stays plain, byte for byte, and keeps its time.
TEST_F(SettingsCauseTest, AToolsReadChangesNothing) {
    PutPlain(kText);
    struct stat before {};
    ASSERT_EQ(::stat(paths.settingsPath.c_str(), &before), 0);
    TDiarySettings s = DefaultSettings(paths);
    const SettingsReadResult r = ReadSettingsFile(s, paths, SettingsAccess::ReadOnly);
    EXPECT_EQ(r.status, SettingsRead::Read);
    EXPECT_TRUE(r.handWritten);
    EXPECT_EQ(s.Password, "himitsu");
    EXPECT_EQ(test::ReadBytes(paths.settingsPath), kText);
    struct stat after {};
    ASSERT_EQ(::stat(paths.settingsPath.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    // The program's read leaves it as a container.
    EXPECT_TRUE(ReadSettingsFile(s, paths, SettingsAccess::Program).handWritten);
    EXPECT_EQ(Decoded(), kText);
}

}  // namespace
}  // namespace kuv
