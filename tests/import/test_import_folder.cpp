#include "import/import_folder.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "crypt/cryptogram.h"
#include "history/entry_history.h"
#include "tests/support/reference.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Cp932;
using test::Exists;
using test::HandContainer;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(ImportedText, DetectsTheEncodingAndSaysWhich) {
    using P = ImportedText::Problem;
    const struct {
        std::string bytes;
        TextEncoding encoding;
        P problem;
        std::string entry;
    } cases[] = {
        {"今日は晴れ\n明日", TextEncoding::Utf8, P::None, Cp932("今日は晴れ\r\n明日")},
        {"\xEF\xBB\xBFwith mark\r\n", TextEncoding::Utf8, P::None, "with mark\r\n"},
        {Cp932("今日は晴れ\r明日"), TextEncoding::Cp932, P::None, Cp932("今日は晴れ\r\n明日")},
        {Cp932("ｶﾀｶﾅ ①"), TextEncoding::Cp932, P::None, Cp932("ｶﾀｶﾅ ①")},
        {"plain ascii", TextEncoding::Utf8, P::None, "plain ascii"},
        {"\x82\xa0\xff\xfe", TextEncoding::Unknown, P::UnknownEncoding, ""},
        {"\xEF\xBB\xBF\x82\xa0", TextEncoding::Unknown, P::UnknownEncoding, ""},
        {std::string("a\0b", 3), TextEncoding::Unknown, P::NotText, ""},
        {"\xFF\xFEh\0i\0", TextEncoding::Unknown, P::NotText, ""},
        {" \r\n\t\n", TextEncoding::Utf8, P::Empty, ""},
        {"smile 😀 here", TextEncoding::Utf8, P::BadChar, ""},
    };
    for (const auto& c : cases) {
        const ImportedText t = DecodeImportedText(c.bytes);
        EXPECT_EQ(t.encoding, c.encoding) << c.bytes;
        EXPECT_EQ(t.problem, c.problem) << c.bytes;
        EXPECT_EQ(t.entry, c.entry) << c.bytes;
    }
    EXPECT_EQ(DecodeImportedText("smile 😀 here").badChar, U'😀');
}

TEST(ImportFileDay, TakesDatedTextAndMarkdownNamesOnly) {
    const struct {
        const char* name;
        bool taken;
    } cases[] = {
        {"2024-01-05.txt", true},        {"2024-01-05 walk.md", true}, {"2024-02-29.TXT", true},
        {"2023-02-29.txt", false},       {"2024-1-05.txt", false},     {"2024-01-05.doc", false},
        {"notes 2024-01-05.txt", false}, {"0000-01-01.txt", false},    {"2024-01-05", false},
    };
    for (const auto& c : cases) {
        DateParts day;
        EXPECT_EQ(ImportFileDay(c.name, day), c.taken) << c.name;
    }
    // Names dated with a day no calendar has are told apart from other names.
    const struct {
        const char* name;
        bool misdated;
    } misdated[] = {
        {"2023-02-29.txt", true},  {"2024-02-30 walk.md", true}, {"0000-01-01.txt", true},
        {"2024-13-01.TXT", true},  {"2024-01-05.txt", false},    {"2024-1-05.txt", false},
        {"2024-02-30.doc", false}, {"notes.txt", false},         {"2024-02-3.txt", false},
    };
    for (const auto& c : misdated) EXPECT_EQ(ImportFileMisdated(c.name), c.misdated) << c.name;
    DateParts day;
    ASSERT_TRUE(ImportFileDay("2024-01-05 walk.md", day));
    EXPECT_EQ(day.year * 10000 + day.month * 100 + day.day, 20240105);
}

class ImportTest : public ::testing::Test {
  protected:
    ImportTest() {
        ::mkdir((data / "2024").c_str(), 0700);
        options.folder = in.path();
        options.dataPath = data.path();
    }
    TempDir in, data;
    ImportOptions options;
};

TEST_F(ImportTest, NeverReplacesTheUsersWords) {
    WriteBytes(data / "2024/0102.dia", Cp932("前からの日記"));
    WriteBytes(data / "2024/0103.dia", Cp932("改行で終わる\r\n"));
    WriteBytes(data / "2024/0104.dia", Cp932("前から\r\n\r\n取り込み済み"));
    WriteBytes(data / "2024/0105.xda", HandContainer(Cp932("鍵付き"), "other", 0));
    const struct {
        const char* file;
        std::string bytes;
        const char* entry;  // the .dia afterwards, UTF-8; nullptr: none
        ImportFileReport::Outcome outcome;
    } cases[] = {
        {"2024-01-01.txt", "新しい日", "新しい日", ImportFileReport::Outcome::Imported},
        {"2024-01-02.md", "追記", "前からの日記\r\n\r\n追記", ImportFileReport::Outcome::Appended},
        {"2024-01-03.txt", Cp932("追記"), "改行で終わる\r\n\r\n追記",
         ImportFileReport::Outcome::Appended},
        {"2024-01-04.txt", "取り込み済み", "前から\r\n\r\n取り込み済み",
         ImportFileReport::Outcome::Skipped},
        {"2024-01-05.txt", "開けない日", nullptr, ImportFileReport::Outcome::Skipped},
        {"2024-01-06.txt", "絵文字 🙂", nullptr, ImportFileReport::Outcome::Skipped},
        {"2024-01-07.txt", std::string("\x82\xa0\xff", 3), nullptr,
         ImportFileReport::Outcome::Skipped},
        // Named for a day that is none; 2024/0108.dia stays missing.
        {"2024-02-30.txt", "ない日", nullptr, ImportFileReport::Outcome::Skipped},
    };
    for (const auto& c : cases) WriteBytes(in / c.file, c.bytes);
    WriteBytes(in / "readme.txt", "not dated");

    const ImportResult r = ImportFolder(options);
    EXPECT_EQ(r.status, ImportStatus::Done);
    EXPECT_EQ(r.imported, 1u);
    EXPECT_EQ(r.appended, 2u);
    EXPECT_EQ(r.skipped, 5u);
    EXPECT_EQ(r.ignored, 1u);
    ASSERT_EQ(r.files.size(), std::size(cases));
    for (std::size_t i = 0; i < r.files.size(); ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(r.files[i].outcome, c.outcome) << c.file;
        EXPECT_FALSE(r.files[i].message.empty()) << c.file;
        const std::string dia = data / ("2024/010" + std::to_string(i + 1) + ".dia");
        if (c.entry != nullptr) {
            EXPECT_EQ(ReadBytes(dia), Cp932(c.entry)) << c.file;
        } else {
            EXPECT_FALSE(Exists(dia)) << c.file;
        }
    }
    EXPECT_EQ(r.files[0].encoding, TextEncoding::Utf8);
    EXPECT_EQ(r.files[2].encoding, TextEncoding::Cp932);
    EXPECT_EQ(r.files[5].badChar, U'🙂');
    EXPECT_NE(r.files[5].message.find("U+1F642"), std::string::npos);
    EXPECT_EQ(r.files[7].message.find("2024-02-30.txt: "), 0u);
    EXPECT_EQ(ReadBytes(data / "2024/0105.xda"), HandContainer(Cp932("鍵付き"), "other", 0));
}

// An entry that gets the text added is kept as it was, as an earlier version.
TEST_F(ImportTest, AnAppendedEntryKeepsItsEarlierVersion) {
    WriteBytes(data / "2024/0102.dia", Cp932("前からの日記"));
    WriteBytes(in / "2024-01-02.txt", "追記");
    ASSERT_EQ(ImportFolder(options).appended, 1u);
    const VersionList list =
        ListEntryVersions(DiaryHistoryFolder(*UserHistoryRoot(), data.path()), "2024", "0102");
    ASSERT_EQ(list.versions.size(), 1u);
    std::string kept;
    bool locked = false;
    ASSERT_TRUE(ReadEntryVersion(list.versions[0].path, kept, locked));
    EXPECT_EQ(kept, Cp932("前からの日記"));
}

TEST_F(ImportTest, WithEncryptionOnEntriesAreSavedLocked) {
    WriteBytes(in / "2024-03-01.txt", "秘密");
    options.useEncryption = true;
    options.password = "pw";
    ASSERT_EQ(ImportFolder(options).imported, 1u);
    EXPECT_FALSE(Exists(data / "2024/0301.dia"));
    std::string plain;
    ASSERT_EQ(CryptDecodeToMemory(data / "2024/0301.xda", "pw", plain, 1 << 20),
              CryptResult::Decoded);
    EXPECT_EQ(plain, Cp932("秘密"));
}

TEST_F(ImportTest, ACancelKeepsWhatWasSaved) {
    for (const char* f : {"2024-01-01.txt", "2024-01-02.txt", "2024-01-03.txt"}) {
        WriteBytes(in / f, f);
    }
    const ImportResult r =
        ImportFolder(options, [](std::uint64_t done, std::uint64_t) { return done < 2; });
    EXPECT_EQ(r.status, ImportStatus::Cancelled);
    EXPECT_EQ(r.imported, 2u);
    EXPECT_TRUE(Exists(data / "2024/0102.dia"));
    EXPECT_FALSE(Exists(data / "2024/0103.dia"));
}

}  // namespace
}  // namespace kuv
