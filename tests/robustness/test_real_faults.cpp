// Faults that the file system itself produces: read-only year, data and
// settings folders, a data folder that is a file or missing, an entry that
// vanishes while it is being loaded, entries and settings behind symbolic
// links, and special files where an entry is looked for. Nothing may crash,
// hang or change a file that the user did not save.
//
// Permission bits do not stop root, so when the tests run as root the
// read-only cases run in a child process that has become the user "nobody"
// (uid 65534); each case prints which way it ran.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "app/profile.h"
#include "app/settings.h"
#include "app/settings_file.h"
#include "crypt/cryptogram.h"
#include "diary/diary_book.h"
#include "history/entry_history.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "tests/support/reference.h"
#include "tests/support/session_rig.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

// These tests count and break the entry file's own calls; keeping the
// earlier version before a save has tests of its own.
class WithoutVersions : public ::testing::Environment {
  public:
    void SetUp() override { KeepVersionsOnSave(false); }
};
const ::testing::Environment* const kWithoutVersions =
    ::testing::AddGlobalTestEnvironment(new WithoutVersions);

namespace fault = fsio::fault;
using test::Cp932;
using test::Day;
using test::Exists;
using test::HandContainer;
using test::MakeDir;
using test::ReadBytes;
using test::Snapshot;
using test::SnapshotDiff;
using test::WriteBytes;

constexpr uid_t kNobody = 65534;
constexpr std::uint32_t kDos = 0x52310000u;
const std::string kOld = "old entry\r\nline two\r\n";
const std::string kNew = "new entry\r\n";

// Runs check with write permission taken away from the folders given, as
// this user or, for root, as "nobody" in a child process. check returns ""
// when all is well, else what went wrong.
std::string WithoutWritePermission(const std::string& root, const std::vector<std::string>& folders,
                                   const std::function<std::string()>& check) {
    if (::geteuid() != 0) {
        std::printf("  (ran as uid %d with real permissions)\n", static_cast<int>(::geteuid()));
        for (const auto& f : folders) ::chmod(f.c_str(), 0500);
        const std::string r = check();
        for (const auto& f : folders) ::chmod(f.c_str(), 0700);
        return r;
    }
    std::printf("  (ran as root: checked in a child that became uid %d)\n",
                static_cast<int>(kNobody));
    std::error_code ec;
    (void)!::chown(root.c_str(), kNobody, kNobody);
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        (void)!::lchown(it->path().c_str(), kNobody, kNobody);
    }
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::string r;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            r = "cannot become nobody";
        } else {
            for (const auto& f : folders) ::chmod(f.c_str(), 0500);
            try {
                r = check();
            } catch (const std::exception& e) {
                r = std::string("exception: ") + e.what();
            }
            for (const auto& f : folders) ::chmod(f.c_str(), 0700);
        }
        (void)!::write(fds[1], r.data(), r.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string r;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        r.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) return "the child died: " + r;
    return r;
}

std::string Expect(bool ok, const std::string& what) {
    return ok ? "" : what + "; ";
}

// The message of an AppError thrown by f, "" when it throws none.
std::string Thrown(const std::function<void()>& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.what();
    }
    return "";
}

class RealFaults : public ::testing::Test {
  protected:
    RealFaults() {
        app_ = dir_ / "app";
        MakeDir(app_);
        paths_ = FixedAppPaths(app_);
        data_ = paths_.settingsFolder;
        MakeDir(data_);
        year_ = data_ + "/2024";
        outside_ = dir_ / "outside";
        MakeDir(outside_);
    }
    void TearDown() override { fault::Reset(); }

    test::TempDir dir_;
    std::string app_, data_, year_, outside_;
    AppPaths paths_;
};

TEST_F(RealFaults, ReadOnlyYearFolderStopsTheSaveAndKeepsTheEntry) {
    MakeDir(year_);
    WriteBytes(year_ + "/0117.dia", kOld);
    WriteBytes(year_ + "/0118.xda", HandContainer(kOld, "pw", kDos));
    const auto before = Snapshot(dir_.path());
    const std::string year = year_;
    const std::string r = WithoutWritePermission(dir_.path(), {year_}, [year] {
        std::string out;
        for (bool lock : {false, true}) {
            for (const char* name : {"0117", "0118"}) {
                const std::string msg = Thrown([&] { SaveEntry(year, name, kNew, lock, "pw"); });
                out += Expect(msg == test::CannotCreate(year + "/" + name + ".dia"),
                              std::string("save of ") + name + " not refused as it should: " + msg);
            }
        }
        // Loading needs no write permission.
        out += Expect(LoadPane(year, "0117", "").text == kOld, "a read-only entry does not load");
        out += Expect(LoadPane(year, "0118", "pw").text == kOld,
                      "a read-only locked entry does not load");
        return out;
    });
    EXPECT_EQ(r, "");
    EXPECT_EQ(SnapshotDiff(before, Snapshot(dir_.path())), "");
}

TEST_F(RealFaults, ReadOnlyDataFolderStopsTheFirstSaveOfAYearWithoutRetrying) {
    const auto before = Snapshot(dir_.path());
    const std::string year = year_;
    const std::string r = WithoutWritePermission(dir_.path(), {data_}, [year] {
        fault::Reset();
        const std::string msg = Thrown([&] { SaveEntry(year, "0117", kNew, false, ""); });
        const int tries = fault::Calls(fault::Op::MakeDirectory);
        return Expect(msg == test::CannotCreate(year + "/0117.dia"), "wrong message: " + msg) +
               Expect(tries == 1, "the year folder was tried " + std::to_string(tries) + " times") +
               Expect(!test::IsDir(year), "a year folder appeared");
    });
    EXPECT_EQ(r, "");
    EXPECT_EQ(SnapshotDiff(before, Snapshot(dir_.path())), "");
}

TEST_F(RealFaults, ReadOnlySettingsFolderReportsTheWriteAndKeepsTheFile) {
    const std::string ini =
        Cp932("[SYSTEM]\r\nPASSWORD=秘密\r\nUSEPASSWORD=1\r\n[WINDOW]\r\nSAVE=1\r\n");
    WriteBytes(paths_.settingsPath, HandContainer(ini, kSettingsKey, kDos));
    const auto before = Snapshot(dir_.path());
    const AppPaths paths = paths_;
    const std::string r = WithoutWritePermission(dir_.path(), {data_}, [paths] {
        // The work file cannot be made in the folder: the cause is named.
        const std::string refused = test::CannotWrite(paths.settingsPath) + Cp932("（フォルダ ") +
                                    paths.settingsFolder + Cp932(" に書き込む権限がありません）");
        std::string out;
        out += Expect(Thrown([&] { WriteClosingSettings(paths, ClosingState{}, true); }) == refused,
                      "the close write is not reported");
        out += Expect(Thrown([&] { WriteDialogSettings(paths, DialogValues{}); }) == refused,
                      "the dialog write is not reported");
        return out;
    });
    EXPECT_EQ(r, "");
    EXPECT_EQ(SnapshotDiff(before, Snapshot(dir_.path())), "");
}

// Reading needs no write permission: the stored settings must come back even
// when the decoding bracket cannot write its work file.
TEST_F(RealFaults, ReadOnlySettingsFolderStillGivesTheStoredSettings) {
    const std::string ini = Cp932("[SYSTEM]\r\nPASSWORD=秘密\r\nUSEPASSWORD=1\r\n");
    WriteBytes(paths_.settingsPath, HandContainer(ini, kSettingsKey, kDos));
    const AppPaths paths = paths_;
    const std::string r = WithoutWritePermission(dir_.path(), {data_}, [paths] {
        TDiarySettings s = DefaultSettings(paths);
        ReadSettings(s, paths);
        return Expect(s.Password == Cp932("秘密") && s.UseEncryption,
                      "the stored settings were not read (the defaults came instead)");
    });
    EXPECT_EQ(r, "");
}

TEST_F(RealFaults, DataFolderThatIsAFileLoadsEmptyAndRefusesTheSave) {
    const std::string file = dir_ / "not-a-folder";
    WriteBytes(file, "user's own file");
    const auto before = Snapshot(dir_.path());
    TDiarySettings s = DefaultSettings(paths_);
    s.DataPath = file;
    test::SessionRig rig(paths_, s);
    const test::SessionRig::Loaded shown = rig.GoTo(Day(2024, 1, 17));
    EXPECT_EQ(shown.upper.text, "");
    EXPECT_EQ(shown.lower.text, "");
    rig.Type(kNew);
    EXPECT_EQ(Thrown([&] { rig.session.Save(); }), test::CannotCreate(file + "/2024/0117.dia"));
    EXPECT_TRUE(rig.session.Unsaved()) << "the change must stay unsaved";
    EXPECT_EQ(SnapshotDiff(before, Snapshot(dir_.path())), "");
}

TEST_F(RealFaults, MissingDataFolderLoadsEmptyAndRefusesTheSaveOnce) {
    const std::string missing = dir_ / "gone";
    const auto before = Snapshot(dir_.path());
    TDiarySettings s = DefaultSettings(paths_);
    s.DataPath = missing;
    test::SessionRig rig(paths_, s);
    EXPECT_EQ(rig.GoTo(Day(2024, 1, 17)).upper.text, "");
    rig.Type(kNew);
    fault::Reset();
    EXPECT_EQ(Thrown([&] { rig.session.Save(); }), test::CannotCreate(missing + "/2024/0117.dia"));
    EXPECT_EQ(fault::Calls(fault::Op::MakeDirectory), 1) << "one level, tried once";
    EXPECT_FALSE(Exists(missing)) << "the data folder itself is never created";
    EXPECT_EQ(SnapshotDiff(before, Snapshot(dir_.path())), "");
}

// Last year's entry cannot be read (here: a pipe): the load stops there with
// the error, but the upper pane keeps the entry it got and saves normally.
TEST_F(RealFaults, AnUnreadableLowerPaneKeepsTheUpperOneWorking) {
    MakeDir(year_);
    MakeDir(data_ + "/2023");
    WriteBytes(year_ + "/0117.dia", kOld);
    ASSERT_EQ(::mkfifo((data_ + "/2023/0117.dia").c_str(), 0600), 0);
    TDiarySettings s = DefaultSettings(paths_);
    test::SessionRig rig(paths_, s);
    EXPECT_EQ(Thrown([&] { rig.GoTo(Day(2024, 1, 17)); }),
              test::CannotOpen(data_ + "/2023/0117.dia"));
    EXPECT_EQ(rig.session.Upper().text, kOld);
    EXPECT_FALSE(rig.session.UpperReadOnly());
    rig.Type(kNew);
    rig.session.Save();
    EXPECT_EQ(ReadBytes(year_ + "/0117.dia"), kNew);
}

// A second thread moves the entry away and back while it is loaded again
// and again: every load shows the whole entry or nothing, never an error or
// a part.
TEST_F(RealFaults, EntryThatVanishesWhileItIsLoadedShowsWholeOrNothing) {
    MakeDir(year_);
    const std::string text(5000, 'x');
    struct Case {
        const char* name;
        std::string file;  // the one that comes and goes
        std::string bytes;
        std::string other;  // stays
        std::string otherBytes;
        std::string whenGone;  // what the pane shows while it is away
    };
    const Case cases[] = {
        {"plain", year_ + "/0117.dia", text, "", "", ""},
        {"locked", year_ + "/0118.xda", HandContainer(text, "pw", kDos), "", "", ""},
        {"plain before locked", year_ + "/0119.dia", text, year_ + "/0119.xda",
         HandContainer("locked text", "pw", kDos), "locked text"},
    };
    int loads = 0, gone = 0, sealed = 0;
    for (const Case& c : cases) {
        WriteBytes(c.file, c.bytes);
        if (!c.other.empty()) WriteBytes(c.other, c.otherBytes);
        const std::string name = std::filesystem::path(c.file).stem().string();
        const std::string away = dir_ / "away";
        std::atomic<bool> stop{false};
        std::thread mover([&] {
            while (!stop.load()) {
                ::rename(c.file.c_str(), away.c_str());
                ::rename(away.c_str(), c.file.c_str());
            }
        });
        for (int i = 0; i < 3000; ++i) {
            try {
                const PaneContent p = LoadPane(year_, name, "pw");
                ++loads;
                if (p.text == c.whenGone) {
                    ++gone;
                } else if (p.source == PaneSource::Sealed) {
                    // Gone for the decoding, back for the raw read: shown as a
                    // sealed entry, read-only, so nothing can overwrite it.
                    ++sealed;
                } else {
                    EXPECT_EQ(p.text, text) << c.name << ": a part of the entry was shown";
                }
            } catch (const AppError& e) {
                ADD_FAILURE() << c.name << ": " << e.what();
            }
        }
        stop = true;
        mover.join();
        EXPECT_EQ(ReadBytes(c.file), c.bytes);
    }
    std::printf("  %d loads while the entry came and went; %d found it gone, %d shown sealed\n",
                loads, gone, sealed);
}

TEST_F(RealFaults, EntryBehindALinkIsReadThroughItAndSavedInItsPlace) {
    MakeDir(year_);
    WriteBytes(outside_ + "/target.txt", kOld);
    WriteBytes(outside_ + "/victim.txt", "must not change");
    WriteBytes(outside_ + "/locked.xda", HandContainer(kOld, "pw", kDos));
    MakeDir(outside_ + "/folder");
    ASSERT_EQ(::symlink((outside_ + "/target.txt").c_str(), (year_ + "/0117.dia").c_str()), 0);
    ASSERT_EQ(::symlink((outside_ + "/missing.txt").c_str(), (year_ + "/0118.dia").c_str()), 0);
    ASSERT_EQ(::symlink((outside_ + "/folder").c_str(), (year_ + "/0119.dia").c_str()), 0);
    ASSERT_EQ(::symlink((outside_ + "/locked.xda").c_str(), (year_ + "/0120.xda").c_str()), 0);
    // A work file name taken by a link: the save must not write through it.
    ASSERT_EQ(::symlink((outside_ + "/victim.txt").c_str(), (year_ + "/0117.$$$").c_str()), 0);
    ASSERT_EQ(::symlink((outside_ + "/victim.txt").c_str(), (year_ + "/0120.$$$").c_str()), 0);
    const auto outsideBefore = Snapshot(outside_);
    const auto yearBefore = Snapshot(year_);

    EXPECT_EQ(LoadPane(year_, "0117", "").text, kOld) << "a link to a file is followed";
    EXPECT_EQ(LoadPane(year_, "0118", "").source, PaneSource::None)
        << "a dangling link is no entry";
    EXPECT_EQ(LoadPane(year_, "0119", "").source, PaneSource::None)
        << "a link to a folder is no entry";
    EXPECT_EQ(LoadPane(year_, "0120", "pw").text, kOld) << "a locked entry behind a link opens";
    EXPECT_EQ(SnapshotDiff(yearBefore, Snapshot(year_)), "") << "loading changed something";

    SaveEntry(year_, "0117", kNew, false, "");
    SaveEntry(year_, "0118", kNew, false, "");
    SaveEntry(year_, "0119", kNew, false, "");
    SaveEntry(year_, "0120", kNew, true, "pw");
    for (const char* name : {"0117.dia", "0118.dia", "0119.dia", "0120.xda"}) {
        struct stat st {};
        ASSERT_EQ(::lstat((year_ + "/" + name).c_str(), &st), 0) << name;
        EXPECT_TRUE(S_ISREG(st.st_mode)) << name << ": the link is replaced by the saved entry";
    }
    for (const char* name : {"0117", "0118", "0119"})
        EXPECT_EQ(LoadPane(year_, name, "").text, kNew);
    EXPECT_EQ(LoadPane(year_, "0120", "pw").text, kNew);
    EXPECT_EQ(SnapshotDiff(outsideBefore, Snapshot(outside_)), "")
        << "a save wrote outside the data folder";
}

TEST_F(RealFaults, FoldersBehindLinksAreFollowed) {
    // A data folder or a year folder that the user moved elsewhere and
    // linked back is used where it now lies.
    MakeDir(outside_ + "/diary");
    MakeDir(outside_ + "/diary/2024");
    WriteBytes(outside_ + "/diary/2024/0117.dia", kOld);
    const std::string linked = dir_ / "linked-data";
    ASSERT_EQ(::symlink((outside_ + "/diary").c_str(), linked.c_str()), 0);
    TDiarySettings s = DefaultSettings(paths_);
    s.DataPath = linked;
    test::SessionRig rig(paths_, s);
    EXPECT_EQ(rig.GoTo(Day(2024, 1, 17)).upper.text, kOld);
    rig.Type(kNew);
    rig.session.Save();
    EXPECT_EQ(ReadBytes(outside_ + "/diary/2024/0117.dia"), kNew);
    struct stat st {};
    ASSERT_EQ(::lstat(linked.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link to the data folder stays a link";
}

TEST_F(RealFaults, SettingsFileBehindALinkIsReadAndReplacedWithoutTouchingTheTarget) {
    const std::string ini = "[SYSTEM]\r\nFORMAT=yyyy\r\n[FONT]\r\nSIZE=20\r\n";
    WriteBytes(outside_ + "/settings.ini", ini);
    ASSERT_EQ(::symlink((outside_ + "/settings.ini").c_str(), paths_.settingsPath.c_str()), 0);
    const auto outsideBefore = Snapshot(outside_);
    TDiarySettings s = DefaultSettings(paths_);
    ReadSettings(s, paths_);
    EXPECT_EQ(s.DateFormat, "yyyy");
    EXPECT_EQ(s.FontSize, 20);
    EXPECT_EQ(SnapshotDiff(outsideBefore, Snapshot(outside_)), "");
    // The settings now lie as a container of their own in the settings folder.
    std::string plain;
    EXPECT_EQ(CryptDecodeToMemory(paths_.settingsPath, kSettingsKey, plain, 1 << 20),
              CryptResult::Decoded);
    EXPECT_EQ(plain, ini);
}

// A special file where an entry or the settings are looked for must never
// block the program (a named pipe blocks an open until a writer comes).
TEST_F(RealFaults, SpecialFilesNeverBlockALoadOrTheSettings) {
    MakeDir(year_);
    ASSERT_EQ(::mkfifo((year_ + "/0117.dia").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((year_ + "/0118.xda").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", (year_ + "/0119.dia").c_str()), 0);
    ASSERT_EQ(::mkfifo(paths_.settingsPath.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir_ / "plain.ini").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir_ / "file.txt").c_str(), 0600), 0);

    // Each step runs in a child with an alarm clock, so that a block shows as
    // a failure instead of a hung test.
    const auto bounded = [](const char* what, const std::function<void()>& f) {
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::alarm(5);
            try {
                f();
            } catch (const AppError&) {
            }
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << what << ": blocked or crashed (signal "
            << (WIFSIGNALED(status) ? WTERMSIG(status) : 0) << ")";
    };
    const std::string year = year_;
    const AppPaths paths = paths_;
    const std::string dir = dir_.path();
    bounded("LoadPane of a pipe", [&] { LoadPane(year, "0117", "pw"); });
    bounded("LoadPane of a locked pipe", [&] { LoadPane(year, "0118", "pw"); });
    bounded("LoadPane of /dev/zero", [&] { LoadPane(year, "0119", "pw"); });
    bounded("ReadSettings of a pipe", [&] {
        TDiarySettings s = DefaultSettings(paths);
        ReadSettings(s, paths);
    });
    bounded("GetPrivateProfileString of a pipe",
            [&] { GetPrivateProfileString("A", "B", "", 2048, dir + "/plain.ini"); });
    bounded("WritePrivateProfileString to a pipe",
            [&] { WritePrivateProfileString("A", "B", "c", dir + "/plain.ini"); });
    bounded("CryptEncodeFile of a pipe", [&] { CryptEncodeFile(dir + "/file.txt", "pw", false); });
    bounded("CryptDecodeFile of a pipe", [&] { CryptDecodeFile(dir + "/file.txt", "pw", false); });
    std::string plain;
    bounded("CryptDecodeToMemory of a pipe",
            [&] { CryptDecodeToMemory(dir + "/file.txt", "pw", plain, 1 << 20); });
}

}  // namespace
}  // namespace kuv
