#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "lock/diary_seal.h"
#include "lock/entry_file.h"
#include "lock/key_file.h"
#include "lock/strong_lock.h"
#include "tests/support/session_rig.h"
#include "tests/support/temp_dir.h"

namespace kuv::lock {
namespace {

// The smallest Argon2id work that libsodium accepts keeps the tests fast;
// the parameters travel in each slot, so nothing else changes.
const Argon2Params kFast{1, 8192};

struct Opened {
    KeyFile file;
    SecretBytes key;
    std::string code;
};

Opened MakeKeyFile(const std::string& password) {
    Opened o;
    EXPECT_TRUE(NewKeyFile(password, kFast, o.file, o.key, o.code));
    return o;
}

TEST(KeyFileTest, UnwrapsOnlyWithTheRightSecret) {
    const Opened o = MakeKeyFile("correct horse");
    KeyFile parsed;
    ASSERT_EQ(ParseKeyFile(SerializeKeyFile(o.file), parsed), KeyFileStatus::Ok);
    struct Case {
        SlotKind kind;
        std::string secret;
        UnwrapStatus want;
    } cases[] = {
        {SlotKind::Password, "correct horse", UnwrapStatus::Opened},
        {SlotKind::Password, "correct horse ", UnwrapStatus::WrongSecret},
        {SlotKind::Password, "", UnwrapStatus::WrongSecret},
        {SlotKind::Recovery, NormaliseRecoveryCode(o.code), UnwrapStatus::Opened},
        {SlotKind::Recovery, "correct horse", UnwrapStatus::WrongSecret},
    };
    for (const Case& c : cases) {
        SecretBytes key;
        EXPECT_EQ(UnwrapKey(parsed, c.kind, c.secret, key), c.want) << c.secret;
        if (c.want == UnwrapStatus::Opened) {
            EXPECT_EQ(key.view(), o.key.view());
        }
    }
}

TEST(KeyFileTest, RecoveryCodeIsReadAsPeopleCopyIt) {
    const unsigned char bytes[20] = {0xff, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    const std::string code = FormatRecoveryCode(bytes, sizeof bytes);
    ASSERT_EQ(code.size(), 32u + 7u);
    std::string lower, spaced;
    for (char c : code) {
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        spaced += c == '-' ? ' ' : c;
    }
    for (const std::string& typed : {code, lower, spaced, spaced + "\n"}) {
        EXPECT_EQ(NormaliseRecoveryCode(typed), NormaliseRecoveryCode(code)) << typed;
    }
    EXPECT_EQ(NormaliseRecoveryCode("o0-Il-1"), "00111");
}

// Every byte of the file counts: any change is a damaged file, never a wrong
// password.
TEST(KeyFileTest, HostileFilesAreTold) {
    const Opened o = MakeKeyFile("pw");
    const std::string good = SerializeKeyFile(o.file);
    auto flipped = [&](std::size_t at) {
        std::string s = good;
        s[at] = static_cast<char>(s[at] ^ 1);
        return s;
    };
    std::string huge = good;
    huge[kKeyHeaderBytes + 15] = '\x7f';  // a declared memory of exabytes
    std::string manySlots = good;
    manySlots[24] = '\xff';
    std::string newer = good;
    newer[6] = 9;
    struct Case {
        const char* what;
        std::string bytes;
        KeyFileStatus want;
    } cases[] = {
        {"empty", "", KeyFileStatus::NotKeyFile},
        {"wrong magic", "KUVKEZ" + good.substr(6), KeyFileStatus::NotKeyFile},
        {"an entry file", "KUVENT" + good.substr(6), KeyFileStatus::NotKeyFile},
        {"header only", good.substr(0, kKeyHeaderBytes), KeyFileStatus::Damaged},
        {"truncated", good.substr(0, good.size() - 1), KeyFileStatus::Damaged},
        {"one byte more", good + "x", KeyFileStatus::Damaged},
        {"key id", flipped(9), KeyFileStatus::Damaged},
        {"salt", flipped(kKeyHeaderBytes + 20), KeyFileStatus::Damaged},
        {"wrapped key", flipped(kKeyHeaderBytes + 60), KeyFileStatus::Damaged},
        {"checksum", flipped(good.size() - 1), KeyFileStatus::Damaged},
        {"huge memory", huge, KeyFileStatus::Damaged},
        {"slot count", manySlots, KeyFileStatus::Damaged},
        {"newer version", newer, KeyFileStatus::Newer},
    };
    for (const Case& c : cases) {
        KeyFile parsed;
        EXPECT_EQ(ParseKeyFile(c.bytes, parsed), c.want) << c.what;
    }
}

TEST(KeyFileTest, RewrappingKeepsTheDataKey) {
    Opened o = MakeKeyFile("old");
    ASSERT_TRUE(WrapKey(o.file, SlotKind::Password, "new", kFast, o.key));
    EXPECT_EQ(o.file.keySlots.size(), 2u);
    SecretBytes key;
    EXPECT_EQ(UnwrapKey(o.file, SlotKind::Password, "old", key), UnwrapStatus::WrongSecret);
    ASSERT_EQ(UnwrapKey(o.file, SlotKind::Password, "new", key), UnwrapStatus::Opened);
    EXPECT_EQ(key.view(), o.key.view());
    // A slot's parameters are bound to its wrapped key: a cheaper setting
    // written over them opens nothing.
    o.file.keySlots[0].params.opsLimit = 2;
    EXPECT_EQ(UnwrapKey(o.file, SlotKind::Password, "new", key), UnwrapStatus::WrongSecret);
}

class EntryFileTest : public ::testing::Test {
  protected:
    Opened o = MakeKeyFile("pw");
};

TEST_F(EntryFileTest, RoundTripsAnyTextAndHidesItsLength) {
    const std::string texts[] = {"",
                                 "a",
                                 "日記\r\n😀",
                                 std::string(255, 'x'),
                                 std::string(256, 'y'),
                                 std::string(1000, '\0')};
    for (const std::string& t : texts) {
        const auto sealed = SealEntry(t, "2024-02-29", o.file.keyId, o.key);
        ASSERT_TRUE(sealed);
        EXPECT_EQ((sealed->size() - kEntryHeaderBytes - kTagBytes) % kEntryPadBlock, 0u);
        if (t.size() >= 8) {
            EXPECT_EQ(sealed->find(t), std::string::npos);
        }
        std::string back;
        EXPECT_EQ(OpenEntry(*sealed, "2024-02-29", o.file.keyId, o.key, back), EntryStatus::Opened);
        EXPECT_EQ(back, t);
    }
    // A fresh nonce each time: the same text never seals to the same bytes.
    EXPECT_NE(*SealEntry("same", "2024-01-01", o.file.keyId, o.key),
              *SealEntry("same", "2024-01-01", o.file.keyId, o.key));
}

TEST_F(EntryFileTest, HostileFilesNeverOpen) {
    const std::string good = *SealEntry("秘密の日記", "2024-03-01", o.file.keyId, o.key);
    const Opened other = MakeKeyFile("pw");
    const std::string foreign = *SealEntry("x", "2024-03-01", other.file.keyId, other.key);
    std::string sameIdOtherKey = foreign;
    sameIdOtherKey.replace(8, kKeyIdBytes, reinterpret_cast<const char*>(o.file.keyId.data()),
                           kKeyIdBytes);
    std::string flipped = good;
    flipped[kEntryHeaderBytes + 3] ^= 4;
    std::string newer = good;
    newer[6] = 2;
    struct Case {
        const char* what;
        std::string bytes;
        std::string day;
        EntryStatus want;
    } cases[] = {
        {"as written", good, "2024-03-01", EntryStatus::Opened},
        {"copied to another day", good, "2024-03-02", EntryStatus::Damaged},
        {"another year's day", good, "2023-03-01", EntryStatus::Damaged},
        {"empty", "", "2024-03-01", EntryStatus::NotEntry},
        {"a Windows container", std::string("\x17\0LOCKED", 8) + good, "2024-03-01",
         EntryStatus::NotEntry},
        {"header only", good.substr(0, kEntryHeaderBytes), "2024-03-01", EntryStatus::Damaged},
        {"truncated", good.substr(0, good.size() - 1), "2024-03-01", EntryStatus::Damaged},
        {"one block short", good.substr(0, good.size() - kEntryPadBlock), "2024-03-01",
         EntryStatus::Damaged},
        {"a bit flipped", flipped, "2024-03-01", EntryStatus::Damaged},
        {"another diary", foreign, "2024-03-01", EntryStatus::OtherKey},
        {"another key under this id", sameIdOtherKey, "2024-03-01", EntryStatus::Damaged},
        {"newer version", newer, "2024-03-01", EntryStatus::Newer},
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_EQ(OpenEntry(c.bytes, c.day, o.file.keyId, o.key, text), c.want) << c.what;
        EXPECT_TRUE(c.want == EntryStatus::Opened || text.empty()) << c.what;
    }
}

// One place chooses how a diary's text outside its entries is sealed: the
// strong lock whenever the folder holds it (nothing while its key is closed),
// the Windows container when asked, the bytes as they are otherwise.
TEST(DiarySealTest, EachDiaryIsSealedItsOwnWay) {
    test::TempDir dir;
    setenv("XDG_DATA_HOME", (dir / "share").c_str(), 1);
    const std::string plain = dir / "plain", strong = dir / "strong", closed = dir / "closed";
    for (const std::string& d : {plain, strong, closed}) test::MakeDir(d);
    test::PutUnderStrongLock(strong);
    test::PutUnderStrongLock(closed);
    ForgetKey(closed);
    const std::string text = "hidden words \xF0\x9F\x98\x80";
    struct Case {
        const char* what;
        std::string dataPath;
        bool useEncryption;
        std::string password;
        bool written, sealed;
    } cases[] = {
        {"no lock", plain, false, "pw", true, false},
        {"the Windows lock", plain, true, "pw", true, true},
        {"a password that cannot be a key", plain, true, "", false, false},
        {"the strong lock", strong, false, "", true, true},
        {"the strong lock over the Windows one", strong, true, "pw", true, true},
        {"the strong lock, its key closed", closed, true, "pw", false, false},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> bytes =
            SealForDiary(text, c.dataPath, "2024-02-29", c.useEncryption, c.password);
        ASSERT_EQ(bytes.has_value(), c.written) << c.what;
        if (!c.written) continue;
        EXPECT_EQ(bytes->find("hidden") == std::string::npos, c.sealed) << c.what;
        std::string back;
        EXPECT_EQ(OpenForDiary(*bytes, c.dataPath, "2024-02-29", c.password, back),
                  c.sealed ? Unsealed::Opened : Unsealed::Plain)
            << c.what;
        EXPECT_EQ(back, text) << c.what;
        if (!c.sealed) continue;
        // Neither another diary's key nor another password opens it, and a
        // strong seal is bound to its day.
        EXPECT_EQ(OpenForDiary(*bytes, closed, "2024-02-29", "other", back), Unsealed::Closed)
            << c.what;
        if (c.dataPath == strong) {
            EXPECT_EQ(OpenForDiary(*bytes, strong, "2024-03-01", "", back), Unsealed::Damaged)
                << c.what;
        }
    }
}

}  // namespace
}  // namespace kuv::lock
