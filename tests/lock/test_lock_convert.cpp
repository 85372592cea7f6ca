#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "app/settings_file.h"
#include "crypt/cryptogram.h"
#include "crypt/seal.h"
#include "diary/conflict_copies.h"
#include "diary/diary_book.h"
#include "drafts/draft_store.h"
#include "history/entry_history.h"
#include "lock/lock_convert.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "tests/support/reference.h"
#include "tests/support/session_rig.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv::lock {
namespace {

using test::Cp932;
using test::Exists;
using test::ReadBytes;
using test::Snapshot;
using test::SnapshotDiff;
using test::TempDir;
using test::WriteBytes;

const Argon2Params kFast{1, 8192};
const std::string kWindowsKey = "himitsu";

// A diary as the Windows program leaves it: plain days and locked ones.
class LockConvertTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_DATA_HOME", home.path().c_str(), 1);
        test::MakeDir(data / "2023");
        test::MakeDir(data / "2024");
        Put("2023/1231.dia", Cp932("大晦日 plainword\r\n"));
        Put("2024/0101.dia", Cp932("元日 secondword"));
        const std::string locked = Cp932("ロック済み lockedword");
        WriteBytes(data / "2024/0229.xda", *CryptEncodeBytes(locked, 0x58210000, kWindowsKey));
        texts["2024/0229"] = locked;
    }
    void TearDown() override { ForgetKey(data.path()); }

    void Put(const std::string& name, const std::string& bytes) {
        WriteBytes(data / name, bytes);
        texts[name.substr(0, 9)] = bytes;
    }
    std::string Load(const std::string& day) {
        return LoadPane(data / day.substr(0, 4), day.substr(5, 4), kWindowsKey).text;
    }
    // Every day reads back as it was written, whatever form it is in now.
    void ExpectTexts() {
        for (const auto& [day, text] : texts) EXPECT_EQ(Load(day), PaneTextFromFile(text)) << day;
    }
    // No word of any entry lies anywhere in the data folder or the data home.
    void ExpectNothingPlain() {
        for (const auto* dir : {&data, &home}) {
            for (const auto& [name, file] : Snapshot(dir->path())) {
                for (const char* word : {"plainword", "secondword", "lockedword"}) {
                    EXPECT_EQ(file.bytes.find(word), std::string::npos) << name;
                }
                EXPECT_EQ(name.find(".dia"), std::string::npos) << name;
                EXPECT_EQ(name.find(".xda"), std::string::npos) << name;
            }
        }
    }
    void Open(const std::string& password) {
        DiaryKey key;
        ASSERT_TRUE(OpenDiaryKey(data.path(), password, SlotKind::Password, key).ok());
        RememberKey(data.path(), std::move(key));
    }

    TempDir data, home;
    std::map<std::string, std::string> texts;
};

TEST_F(LockConvertTest, TurnsOnAndBackToEitherForm) {
    for (UnlockTarget to : {UnlockTarget::Windows, UnlockTarget::Plain}) {
        std::string code;
        ASSERT_TRUE(TurnOn(data.path(), "pass", kWindowsKey, kFast, code).ok());
        EXPECT_FALSE(code.empty());
        EXPECT_TRUE(Exists(data / kKeyFileName));
        EXPECT_FALSE(Exists(data / kJournalName));
        ExpectNothingPlain();
        EXPECT_THROW(Load("2024/0101"), AppError);  // no key open yet
        Open("pass");
        ExpectTexts();

        const LockResult off = TurnOff(data.path(), "pass", to);
        ASSERT_TRUE(off.ok()) << off.message;
        EXPECT_FALSE(Exists(data / kKeyFileName));
        EXPECT_EQ(Exists(data / "2024/0101.xda"), to == UnlockTarget::Windows);
        EXPECT_EQ(Exists(data / "2024/0101.dia"), to == UnlockTarget::Plain);
        EXPECT_EQ(Load("2024/0229").empty(), false);
        if (to == UnlockTarget::Windows) {
            // The Windows container's key is the strong password from now on.
            std::string plain;
            EXPECT_EQ(CryptDecodeToMemory(data / "2024/0101.xda", "pass", plain, 1 << 20),
                      CryptResult::Decoded);
            EXPECT_EQ(plain, texts["2024/0101"]);
            ASSERT_TRUE(TurnOff(data.path(), "x", to).status == LockStatus::NotLocked);
            // Back to plain for the second round.
            for (const auto& [day, text] : texts) {
                test::WriteBytes(data / (day + ".dia"), text);
                std::remove((data / (day + ".xda")).c_str());
            }
        } else {
            EXPECT_EQ(ReadBytes(data / "2024/0229.dia"), texts["2024/0229"]);
        }
    }
}

// Conflict copies go under the lock with the entries, follow a new key and
// come back in the Windows form: none is left plain, and none that nothing
// opens.
TEST_F(LockConvertTest, ConflictCopiesFollowTheEntries) {
    const std::string own = "2024/0101.conflict-20240101-120000";
    const std::string sync = "2024/0229.sync-conflict-20240229-101010-ABCDEFG";
    struct Copy {
        std::string stem, text;
    } const copies[] = {{own, Cp932("自分の copyword")}, {sync, Cp932("同期 syncword")}};
    for (UnlockTarget to : {UnlockTarget::Windows, UnlockTarget::Plain}) {
        WriteBytes(data / (own + ".dia"), copies[0].text);
        WriteBytes(data / (sync + ".xda"), *CryptEncodeBytes(copies[1].text, 0, kWindowsKey));
        std::string code;
        ASSERT_TRUE(TurnOn(data.path(), "pass", kWindowsKey, kFast, code).ok());
        ASSERT_TRUE(Rekey(data.path(), "pass", kFast, code).ok());
        for (const Copy& c : copies) {
            EXPECT_EQ(ReadBytes(data / (c.stem + ".kvd")).find("word"), std::string::npos);
            PaneContent pane;
            ASSERT_TRUE(ReadConflictCopy(data / (c.stem + ".kvd"), "", pane)) << c.stem;
            EXPECT_EQ(pane.text, c.text);
        }
        ExpectNothingPlain();
        // A copy that the Windows form cannot hold stops the way back.
        const ConflictWrite wide =
            WriteStrongConflictCopy(data / "2024", "0101", "\xF0\x9F\x98\x80", 0);
        ASSERT_TRUE(wide.ok);
        const LockResult refused = TurnOff(data.path(), "pass", to);
        EXPECT_EQ(refused.status, LockStatus::EntryNotConvertible);
        EXPECT_NE(refused.message.find(wide.path), std::string::npos);
        ASSERT_TRUE(DeleteConflictCopy(wide.path));

        ASSERT_TRUE(TurnOff(data.path(), "pass", to).ok());
        for (const Copy& c : copies) {
            EXPECT_FALSE(Exists(data / (c.stem + ".kvd")));
            const std::string back =
                data / (c.stem + (to == UnlockTarget::Windows ? ".xda" : ".dia"));
            PaneContent pane;
            ASSERT_TRUE(ReadConflictCopy(back, "pass", pane)) << back;
            EXPECT_EQ(pane.text, c.text);
            std::remove(back.c_str());
        }
        for (const auto& [day, text] : texts) {
            WriteBytes(data / (day + ".dia"), text);
            std::remove((data / (day + ".xda")).c_str());
        }
    }
}

// The kept versions of the entries follow them as well: sealed with the lock
// on, under the new key after a re-key, and back in either Windows form.
TEST_F(LockConvertTest, KeptVersionsFollowTheEntries) {
    const std::string history = DiaryHistoryFolder(*UserHistoryRoot(), data.path());
    const auto versions = [&] { return ListEntryVersions(history, "2023", "1231").versions; };
    for (UnlockTarget to : {UnlockTarget::Windows, UnlockTarget::Plain}) {
        // Two earlier texts of the day: one plain, one under the Windows lock.
        SaveEntry(data / "2023", "1231", Cp932("二番目 versionword"), false, kWindowsKey);
        SaveEntry(data / "2023", "1231", texts["2023/1231"], true, kWindowsKey);
        ASSERT_EQ(versions().size(), 2u);
        std::string code;
        ASSERT_TRUE(TurnOn(data.path(), "pass", kWindowsKey, kFast, code).ok());
        ASSERT_TRUE(Rekey(data.path(), "pass", kFast, code).ok());
        std::vector<std::string> kept;
        for (const EntryVersionFile& v : versions()) {
            EXPECT_TRUE(v.strong) << v.path;
            std::string bytes;
            bool locked = false;
            ASSERT_TRUE(ReadEntryVersion(v.path, bytes, locked));
            EXPECT_EQ(bytes.find("word"), std::string::npos) << v.path;
            VersionText text;
            ASSERT_EQ(OpenEntryVersion(v.path, data.path(), "2023", "1231", "", text),
                      VersionOpen::Opened);
            const std::optional<std::string> cp932 = cp932::FromUtf8(text.text);
            ASSERT_TRUE(cp932) << v.path;
            kept.push_back(*cp932);
        }
        ASSERT_TRUE(TurnOff(data.path(), "pass", to).ok());
        const std::string password = to == UnlockTarget::Windows ? "pass" : "";
        std::vector<std::string> back;
        for (const EntryVersionFile& v : versions()) {
            EXPECT_FALSE(v.strong) << v.path;
            EXPECT_EQ(v.locked, to == UnlockTarget::Windows) << v.path;
            VersionText text;
            ASSERT_EQ(OpenEntryVersion(v.path, data.path(), "2023", "1231", password, text),
                      VersionOpen::Opened);
            back.push_back(text.text);
        }
        EXPECT_EQ(back, kept);
        std::sort(kept.begin(), kept.end());
        std::vector<std::string> want = {Cp932("二番目 versionword"),
                                         Cp932("大晦日 plainword\r\n")};
        std::sort(want.begin(), want.end());
        EXPECT_EQ(kept, want);
        for (const EntryVersionFile& v : versions()) std::remove(v.path.c_str());
        for (const auto& [day, text] : texts) {
            WriteBytes(data / (day + ".dia"), text);
            std::remove((data / (day + ".xda")).c_str());
        }
    }
}

// A draft left by a crash follows too, and reads back after each change.
TEST_F(LockConvertTest, DraftsFollowTheEntries) {
    setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
    const std::string state = home / "state/kuvandoro";
    Draft draft;
    draft.dataPath = data.path();
    draft.year = 2024;
    draft.month = 1;
    draft.day = 1;
    draft.utf8 = "draftword \xE4\xB8\x8B\xE6\x9B\xB8\xE3\x81\x8D";
    const std::string path = DraftPath(state, data.path(), 2024, 1, 1);
    const auto readsBack = [&](const std::string& password) {
        Draft back;
        return ReadDraft(path, data.path(), password, back) == DraftRead::Ok &&
               back.utf8 == draft.utf8;
    };
    for (UnlockTarget to : {UnlockTarget::Windows, UnlockTarget::Plain}) {
        ASSERT_TRUE(WriteDraft(state, draft, false, ""));
        std::string code;
        ASSERT_TRUE(TurnOn(data.path(), "pass", kWindowsKey, kFast, code).ok());
        EXPECT_EQ(ReadBytes(path).find("draftword"), std::string::npos);
        Open("pass");
        EXPECT_TRUE(readsBack(""));
        ASSERT_TRUE(Rekey(data.path(), "pass", kFast, code).ok());
        EXPECT_TRUE(readsBack(""));
        ASSERT_TRUE(TurnOff(data.path(), "pass", to).ok());
        EXPECT_EQ(IsSealed(ReadBytes(path)), to == UnlockTarget::Windows);
        EXPECT_TRUE(readsBack(to == UnlockTarget::Windows ? "pass" : ""));
        for (const auto& [day, text] : texts) {
            WriteBytes(data / (day + ".dia"), text);
            std::remove((data / (day + ".xda")).c_str());
        }
    }
}

// What cannot make the trip stops it before anything changes, naming the file.
TEST_F(LockConvertTest, RefusesBeforeTouchingAnything) {
    struct Case {
        const char* what;
        std::string name, bytes;
        LockStatus want;
    } cases[] = {
        {"a byte no code page 932 text holds", "2024/0301.dia", "ok\x80\xff",
         LockStatus::EntryNotConvertible},
        {"a container under another password", "2024/0302.xda",
         *CryptEncodeBytes("x", 0x58210000, "other"), LockStatus::EntryDamaged},
    };
    for (const Case& c : cases) {
        WriteBytes(data / c.name, c.bytes);
        const auto before = Snapshot(data.path());
        std::string code;
        const LockResult r = TurnOn(data.path(), "pass", kWindowsKey, kFast, code);
        EXPECT_EQ(r.status, c.want) << c.what;
        EXPECT_NE(r.message.find(c.name), std::string::npos) << r.message;
        EXPECT_EQ(SnapshotDiff(before, Snapshot(data.path())), "") << c.what;
        std::remove((data / c.name).c_str());
    }
}

TEST_F(LockConvertTest, TurningOffStopsOnWhatCannotGoBack) {
    std::string code;
    ASSERT_TRUE(TurnOn(data.path(), "pass", kWindowsKey, kFast, code).ok());
    Open("pass");
    // An emoji that only the strong lock can hold, and a day copied over another.
    SaveEntry(data / "2024", "0505", "x", false, "");
    const std::shared_ptr<const DiaryKey> key = KeyFor(data.path());
    ASSERT_TRUE(WriteStrongEntry(data / "2024/0505.kvd", "2024-05-05", *key, "😀"));
    WriteBytes(data / "2024/0506.kvd", ReadBytes(data / "2024/0101.kvd"));
    const auto before = Snapshot(data.path());
    const LockResult r = TurnOff(data.path(), "pass", UnlockTarget::Plain);
    EXPECT_EQ(r.status, LockStatus::EntryDamaged);
    EXPECT_NE(r.message.find("0506.kvd"), std::string::npos) << r.message;
    EXPECT_EQ(SnapshotDiff(before, Snapshot(data.path())), "");
    // The copy is reported, never shown as that day's text; the others load.
    EXPECT_THROW(Load("2024/0506"), AppError);
    EXPECT_EQ(Load("2024/0505"), "?");
    ExpectTexts();

    std::remove((data / "2024/0506.kvd").c_str());
    const LockResult wide = TurnOff(data.path(), "pass", UnlockTarget::Plain);
    EXPECT_EQ(wide.status, LockStatus::EntryNotConvertible);
    EXPECT_NE(wide.message.find("0505.kvd"), std::string::npos) << wide.message;
}

TEST_F(LockConvertTest, WrongPasswordAndDamagedKeyFileAreTold) {
    std::string code;
    ASSERT_TRUE(TurnOn(data.path(), "pass", kWindowsKey, kFast, code).ok());
    const std::string keyFile = ReadBytes(data / kKeyFileName);
    DiaryKey key;
    EXPECT_EQ(OpenDiaryKey(data.path(), "wrong", SlotKind::Password, key).status,
              LockStatus::WrongPassword);
    std::string damaged = keyFile;
    damaged[40] ^= 1;
    WriteBytes(data / kKeyFileName, damaged);
    EXPECT_EQ(OpenDiaryKey(data.path(), "pass", SlotKind::Password, key).status,
              LockStatus::KeyFileDamaged);
    // The copy kept in the data home puts it right.
    std::string copy;
    for (const auto& [name, file] : Snapshot(home.path())) {
        if (name.find("kuvandoro/keys/") == 0) copy = file.bytes;
    }
    EXPECT_EQ(copy, keyFile);
    WriteBytes(data / kKeyFileName, copy);
    EXPECT_TRUE(OpenDiaryKey(data.path(), "pass", SlotKind::Password, key).ok());
}

TEST_F(LockConvertTest, PasswordChangesRewrapOnly) {
    std::string code;
    ASSERT_TRUE(TurnOn(data.path(), "pass", kWindowsKey, kFast, code).ok());
    const std::string entry = ReadBytes(data / "2024/0101.kvd");
    struct Step {
        bool recover;
        std::string secret, next;
        LockStatus want;
    } steps[] = {
        {false, "wrong", "new", LockStatus::WrongPassword},
        {false, "pass", "new", LockStatus::Ok},
        {true, "pass", "newer", LockStatus::WrongPassword},
        {true, code, "from code", LockStatus::Ok},
    };
    for (const Step& s : steps) {
        const LockResult r = s.recover ? RecoverPassword(data.path(), s.secret, s.next, kFast)
                                       : ChangePassword(data.path(), s.secret, s.next, kFast);
        EXPECT_EQ(r.status, s.want) << s.secret;
    }
    DiaryKey key;
    EXPECT_EQ(OpenDiaryKey(data.path(), "new", SlotKind::Password, key).status,
              LockStatus::WrongPassword);
    EXPECT_TRUE(OpenDiaryKey(data.path(), "from code", SlotKind::Password, key).ok());
    EXPECT_EQ(ReadBytes(data / "2024/0101.kvd"), entry);
}

// Cancelled either way, the diary is where it started; every entry reads
// at every step.
TEST_F(LockConvertTest, CancelGoesBack) {
    int steps = 0;
    const ProgressFn stopAtSecond = [&](std::uint64_t done, std::uint64_t) {
        ++steps;
        return done < 1;
    };
    std::string code;
    EXPECT_EQ(TurnOn(data.path(), "pass", kWindowsKey, kFast, code, stopAtSecond).status,
              LockStatus::Cancelled);
    EXPECT_TRUE(code.empty());
    EXPECT_FALSE(HasStrongLock(data.path()));
    ExpectTexts();

    ASSERT_TRUE(TurnOn(data.path(), "pass", kWindowsKey, kFast, code).ok());
    Open("pass");
    EXPECT_EQ(TurnOff(data.path(), "pass", UnlockTarget::Plain, stopAtSecond).status,
              LockStatus::Cancelled);
    EXPECT_TRUE(HasStrongLock(data.path()));
    ExpectNothingPlain();
    ExpectTexts();
}

// A conversion cut short at any write leaves every entry readable, and
// finishing it completes the job.
TEST_F(LockConvertTest, CutShortAtAnyWriteLosesNothing) {
    for (int nth = 1;; ++nth) {
        fsio::fault::Reset();
        fsio::fault::FailNth(fsio::fault::Op::Rename, nth);
        std::string code;
        const LockResult r = TurnOn(data.path(), "pass", kWindowsKey, kFast, code);
        const bool fired = fsio::fault::Fired();
        fsio::fault::Reset();
        if (!fired) {
            ASSERT_TRUE(r.ok());
            break;
        }
        // A failure before the first entry changes nothing; one after leaves
        // the journal. Only the copy in the data home fails without failing the whole.
        EXPECT_TRUE(!r.ok() || !ConversionPending(data.path())) << nth;
        if (Exists(data / kKeyFileName)) Open("pass");
        ExpectTexts();
        // A start with the password finishes the job.
        ForgetKey(data.path());
        const bool keyFile = Exists(data / kKeyFileName);
        EXPECT_EQ(OpenStrongLockedDiary(data.path(), "wrong", kWindowsKey).ok(), !keyFile);
        ASSERT_TRUE(OpenStrongLockedDiary(data.path(), "pass", kWindowsKey).ok()) << nth;
        EXPECT_FALSE(ConversionPending(data.path()));
        ExpectTexts();
        if (HasStrongLock(data.path())) {
            ExpectNothingPlain();
            ASSERT_TRUE(TurnOff(data.path(), "pass", UnlockTarget::Plain).ok());
        }
        ForgetKey(data.path());
    }
}

// A new data key: every entry sealed again, a new recovery code, and the
// old key file opens nothing of what is there now, even when the re-key was
// cut short at any write and finished later.
TEST_F(LockConvertTest, RekeyLeavesTheOldKeyUseless) {
    std::string firstCode;
    ASSERT_TRUE(TurnOn(data.path(), "pass", kWindowsKey, kFast, firstCode).ok());
    for (int nth = 1;; ++nth) {
        const std::string oldKeyFile = ReadBytes(data / kKeyFileName);
        fsio::fault::Reset();
        fsio::fault::FailNth(fsio::fault::Op::Rename, nth);
        std::string code;
        const LockResult r = Rekey(data.path(), "pass", kFast, code);
        const bool fired = fsio::fault::Fired();
        fsio::fault::Reset();
        ASSERT_TRUE(FinishConversion(data.path(), "pass", "").ok()) << nth;
        Open("pass");
        ExpectTexts();
        ExpectNothingPlain();
        if (fired) continue;
        ASSERT_TRUE(r.ok()) << r.message;
        EXPECT_NE(code, firstCode);
        EXPECT_FALSE(Exists(data / (std::string(kKeyFileName) + ".new")));
        // The key file of before opens nothing any more.
        const std::string newKeyFile = ReadBytes(data / kKeyFileName);
        WriteBytes(data / kKeyFileName, oldKeyFile);
        DiaryKey old;
        ASSERT_TRUE(OpenDiaryKey(data.path(), "pass", SlotKind::Password, old).ok());
        std::string text;
        EXPECT_EQ(ReadStrongEntry(data / "2024/0101.kvd", "2024-01-01", old, text),
                  EntryRead::OtherKey);
        WriteBytes(data / kKeyFileName, newKeyFile);
        EXPECT_EQ(RecoverPassword(data.path(), firstCode, "x", kFast).status,
                  LockStatus::WrongPassword);
        EXPECT_TRUE(RecoverPassword(data.path(), code, "pass", kFast).ok());
        break;
    }
}

// The window's session saves and loads through the open key: the text is
// sealed, a second save meets no conflict, and nothing plain is left.
TEST_F(LockConvertTest, SessionWorksUnderTheLock) {
    std::string code;
    ASSERT_TRUE(TurnOn(data.path(), "pass", kWindowsKey, kFast, code).ok());
    Open("pass");
    test::SessionRig rig(data.path());
    const TDateTime day = test::Day(2024, 1, 1);
    EXPECT_EQ(rig.GoTo(day).upper.source, PaneSource::Strong);
    for (const char* text : {"edited plainword once", "edited plainword twice"}) {
        rig.Type(text);
        rig.session.Save();
        EXPECT_TRUE(rig.view.conflicts.empty()) << text;
        EXPECT_EQ(Load("2024/0101"), text);
    }
    rig.GoTo(test::Day(2025, 6, 1));
    rig.Type("a new secondword day");
    rig.session.Save();
    EXPECT_TRUE(Exists(data / "2025/0601.kvd"));
    // A save that fails at the end of the desktop session keeps the text for
    // recovery, sealed like its entry.
    setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
    rig.Type("the last secondword");
    fsio::fault::FailNth(fsio::fault::Op::Rename, 1);
    rig.session.EndSession(ClosingState{});
    fsio::fault::Reset();
    bool sealedCopy = false;
    for (const auto& [name, file] : Snapshot(home.path())) {
        sealedCopy |= name.find("recovered/") != std::string::npos && name.size() > 4 &&
                      name.substr(name.size() - 4) == ".kvd";
    }
    EXPECT_TRUE(sealedCopy);
    ExpectNothingPlain();
    // A key closed in the meantime: nothing is written rather than plain.
    ForgetKey(data.path());
    EXPECT_THROW(SaveEntry(data / "2025", "0602", "x", false, ""), AppError);
    EXPECT_FALSE(Exists(data / "2025/0602.dia"));
}

}  // namespace
}  // namespace kuv::lock
