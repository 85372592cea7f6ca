#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypt/seal.h"
#include "drafts/draft_store.h"
#include "lock/strong_lock.h"
#include "platform/fileio.h"
#include "tests/support/session_rig.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

Draft MakeDraft(const std::string& data, std::string utf8) {
    Draft d;
    d.dataPath = data;
    d.year = 2026;
    d.month = 12;
    d.day = 8;
    d.time = 1796691600;
    d.base.file = EntryFile::Locked;
    d.base.locked.present = true;
    d.base.locked.hashed = true;
    d.base.locked.stamp = fsio::FileStamp{66, 1234567, 4096, 1796691600123456789};
    d.base.locked.hash = 0xfedcba9876543210u;
    d.base.sealed.present = true;
    d.base.sealed.stamp = fsio::FileStamp{66, 7654321, 512, 1796691600987654321};
    d.utf8 = std::move(utf8);
    return d;
}

TEST(DraftStore, ADraftReadsBackAsWritten) {
    const std::string texts[] = {"", "line\r\nline", "晴れ\U0001F600", std::string("a\0b", 3),
                                 std::string(4096, 'x')};
    for (const bool sealed : {false, true}) {
        for (const std::string& text : texts) {
            TempDir dir;
            const Draft d = MakeDraft(dir / "data\x82\xa0", text);
            ASSERT_TRUE(WriteDraft(dir / "state", d, sealed, "pw"));
            const std::string path = DraftPath(dir / "state", d.dataPath, 2026, 12, 8);
            EXPECT_EQ(ListDraftFiles(dir / "state", d.dataPath), std::vector<std::string>{path});
            EXPECT_EQ(test::ModeOf(path), 0600u);
            EXPECT_EQ(test::ModeOf(fsio::ParentOf(path)), 0700u);
            EXPECT_EQ(IsSealed(ReadBytes(path)), sealed);
            if (sealed && text.size() > 3) {
                EXPECT_EQ(ReadBytes(path).find(text), std::string::npos) << "plain on disk";
            }
            Draft back;
            ASSERT_EQ(ReadDraft(path, "pw", back), DraftRead::Ok) << text;
            EXPECT_EQ(back.utf8, text);
            EXPECT_EQ(back.dataPath, d.dataPath);
            EXPECT_EQ(back.time, d.time);
            EXPECT_EQ(CompareEntryVersions(back.base, d.base), EntryChange::None);
            EXPECT_EQ(back.base.locked.stamp, d.base.locked.stamp);
            EXPECT_EQ(back.base.sealed.stamp, d.base.sealed.stamp);
            EXPECT_EQ(ReadDraft(path, "other", back), sealed ? DraftRead::Sealed : DraftRead::Ok);
        }
    }
}

TEST(DraftStore, DamagedDraftsAreTold) {
    TempDir dir;
    const Draft d = MakeDraft(dir / "data", "some words");
    ASSERT_TRUE(WriteDraft(dir / "state", d, false, ""));
    const std::string path = DraftPath(dir / "state", d.dataPath, 2026, 12, 8);
    const std::string good = ReadBytes(path);
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"another magic", "KUVDRAFT2" + good.substr(9)},
        {"cut in the text", good.substr(0, good.size() - 1)},
        {"more than its text", good + "x"},
        {"cut in the header", good.substr(0, 30)},
        {"bad path digits", "KUVDRAFT1\nzz" + good.substr(good.find(' '))},
    };
    for (const auto& c : cases) {
        WriteBytes(path, c.bytes);
        Draft back;
        EXPECT_EQ(ReadDraft(path, "", back), DraftRead::Damaged) << c.what;
    }
}

TEST(DraftStore, NeverPlainWhenItCannotBeSealed) {
    TempDir dir;
    for (const std::string& password : {std::string(), std::string(33, 'k')}) {
        EXPECT_FALSE(WriteDraft(dir / "state", MakeDraft(dir / "data", "secret"), true, password));
        EXPECT_FALSE(test::Exists(dir / "state/drafts"));
    }
}

// Under the strong lock a draft is sealed with the diary's key for its day,
// whatever the caller asked, and nothing is written while the key is closed.
TEST(DraftStore, StrongLockedDraftsAreSealedForTheirDay) {
    TempDir dir;
    ::setenv("XDG_DATA_HOME", (dir / "share").c_str(), 1);
    const std::string data = dir / "data";
    test::MakeDir(data);
    test::PutUnderStrongLock(data);
    const std::string text = "secretword \xF0\x9F\x98\x80";
    const std::string path = DraftPath(dir / "state", data, 2026, 12, 8);
    const std::string moved = DraftPath(dir / "state", data, 2026, 12, 9);
    for (const bool sealed : {false, true}) {
        ASSERT_TRUE(WriteDraft(dir / "state", MakeDraft(data, text), sealed, "pw"));
        const std::string bytes = ReadBytes(path);
        EXPECT_EQ(bytes.find("secretword"), std::string::npos) << sealed;
        EXPECT_FALSE(IsSealed(bytes)) << "not the Windows container";
        WriteBytes(moved, bytes);
        struct Case {
            const char* what;
            std::string path, dataPath;
            DraftRead want;
        } cases[] = {
            {"its diary", path, data, DraftRead::Ok},
            {"no diary named", path, "", DraftRead::Sealed},
            {"under another day's name", moved, data, DraftRead::Damaged},
        };
        for (const Case& c : cases) {
            Draft back;
            EXPECT_EQ(ReadDraft(c.path, c.dataPath, "pw", back), c.want) << c.what;
            if (c.want == DraftRead::Ok) {
                EXPECT_EQ(back.utf8, text);
            }
        }
    }
    const std::string before = ReadBytes(path);
    lock::ForgetKey(data);
    EXPECT_FALSE(WriteDraft(dir / "state", MakeDraft(data, "new"), true, "pw"));
    EXPECT_EQ(ReadBytes(path), before);
    Draft back;
    EXPECT_EQ(ReadDraft(path, data, "pw", back), DraftRead::Sealed);
}

TEST(DraftStore, AFailedWriteKeepsTheDraftBefore) {
    using fsio::fault::Op;
    TempDir dir;
    ASSERT_TRUE(WriteDraft(dir / "state", MakeDraft(dir / "data", "before"), false, ""));
    const std::string path = DraftPath(dir / "state", dir / "data", 2026, 12, 8);
    for (const Op op : {Op::Create, Op::ShortWrite, Op::NoSpace, Op::Close, Op::Rename}) {
        fsio::fault::Reset();
        fsio::fault::FailNth(op, 1);
        EXPECT_FALSE(WriteDraft(dir / "state", MakeDraft(dir / "data", "after"), false, ""));
        EXPECT_TRUE(fsio::fault::Fired());
        fsio::fault::Reset();
        EXPECT_FALSE(test::Exists(fsio::ChangeExtension(path, ".$$$")));
        Draft back;
        ASSERT_EQ(ReadDraft(path, "", back), DraftRead::Ok);
        EXPECT_EQ(back.utf8, "before");
        EXPECT_EQ(ListDraftFiles(dir / "state", dir / "data").size(), 1u);
    }
    EXPECT_TRUE(RemoveDraft(dir / "state", dir / "data", 2026, 12, 8));
    EXPECT_FALSE(test::Exists(path));
    EXPECT_TRUE(RemoveDraft(dir / "state", dir / "data", 2026, 12, 8));
}

}  // namespace
}  // namespace kuv
