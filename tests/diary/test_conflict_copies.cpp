#include "diary/conflict_copies.h"

#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "crypt/cryptogram.h"
#include "diary/catalog.h"
#include "platform/fileio.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Exists;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// 2001-01-17 10:20:30 local time.
std::time_t Noonish() {
    std::tm tm{};
    tm.tm_year = 101;
    tm.tm_mon = 0;
    tm.tm_mday = 17;
    tm.tm_hour = 10;
    tm.tm_min = 20;
    tm.tm_sec = 30;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

TEST(ConflictNames, ParseTheCopiesOfEveryWriter) {
    struct Case {
        const char* name;
        int month, day;
        bool locked;
        ConflictKind kind;
        const char* when;
    };
    const Case cases[] = {
        {"0117.conflict-20250101-120000.dia", 1, 17, false, ConflictKind::Own, "20250101120000"},
        {"0117.conflict-20250101-120000-2.xda", 1, 17, true, ConflictKind::Own,
         "202501011200000002"},
        {"0117.conflict-20250101-120000-12.dia", 1, 17, false, ConflictKind::Own,
         "202501011200000012"},
        {"0229.conflict-20240229-235959.dia", 2, 29, false, ConflictKind::Own, "20240229235959"},
        {"1231.sync-conflict-20250101-120000-ABCDEF7.dia", 12, 31, false, ConflictKind::Syncthing,
         "20250101120000"},
        {"1231.sync-conflict-20250101-120000-ABCDEF7.xda", 12, 31, true, ConflictKind::Syncthing,
         "20250101120000"},
        {"0117 (conflicted copy 2025-01-01 120000).dia", 1, 17, false, ConflictKind::Nextcloud,
         "20250101120000"},
        {"0117 (conflicted copy 2025-01-01 120000).xda", 1, 17, true, ConflictKind::Nextcloud,
         "20250101120000"},
        {"0117 (Hanako's conflicted copy 2025-01-01).dia", 1, 17, false, ConflictKind::Dropbox,
         "20250101"},
        {"0117 (Jo (work)'s conflicted copy 2025-01-01).xda", 1, 17, true, ConflictKind::Dropbox,
         "20250101"},
        // Every other form the sync tools write.
        {"1208 (conflicted copy 2026-12-09).dia", 12, 8, false, ConflictKind::Dropbox, "20261209"},
        {"1208 (Hanako's conflicted copy 2026-12-09) (2).dia", 12, 8, false, ConflictKind::Dropbox,
         "202612090002"},
        {"1208 (conflicted copy 2026-12-09) (12).xda", 12, 8, true, ConflictKind::Dropbox,
         "202612090012"},
        {"1208 (Selective Sync Conflict).dia", 12, 8, false, ConflictKind::Dropbox, ""},
        {"1208 (conflicted copy Hanako Sato 2026-12-09 101010).dia", 12, 8, false,
         ConflictKind::Nextcloud, "20261209101010"},
        {"1208_conflict-20261209-101010.dia", 12, 8, false, ConflictKind::Nextcloud,
         "20261209101010"},
        {"1208.sync-conflict-20261209-101010.dia", 12, 8, false, ConflictKind::Syncthing,
         "20261209101010"},
        {"1208-DESKTOP-7QK2M1A.dia", 12, 8, false, ConflictKind::OneDrive, ""},
        {"1208-hanako_laptop.xda", 12, 8, true, ConflictKind::OneDrive, ""},
        {"0229-PC2.dia", 2, 29, false, ConflictKind::OneDrive, ""},
    };
    for (const Case& c : cases) {
        const std::optional<ConflictName> n = ParseConflictName(c.name);
        ASSERT_TRUE(n.has_value()) << c.name;
        EXPECT_EQ(n->month, c.month) << c.name;
        EXPECT_EQ(n->day, c.day) << c.name;
        EXPECT_EQ(n->locked, c.locked) << c.name;
        EXPECT_EQ(n->kind, c.kind) << c.name;
        EXPECT_EQ(n->when, c.when) << c.name;
    }
}

TEST(ConflictNames, RefuseEntriesWorkFilesAndOtherNames) {
    const char* names[] = {
        "0117.dia",
        "0117.xda",
        "0117.$$$",
        "0117.conflict-20250101-120000.$$$",  // a copy's work file
        "0117.conflict-20250101-120000.DIA",
        "0230.conflict-20250101-120000.dia",  // no such day
        "1301.conflict-20250101-120000.dia",
        "ab17.conflict-20250101-120000.dia",
        "0117.conflict-2025011-120000.dia",
        "0117.conflict-20251301-120000.dia",
        "0117.conflict-20250101-250000.dia",
        "0117.conflict-20250101-120000-1.dia",  // the first copy has no counter
        "0117.conflict-20250101-120000-02.dia",
        "0117.conflict-20250101-120000x.dia",
        "0117.sync-conflict-20250101-120000-ABCDEF.dia",  // short device id
        "0117.sync-conflict-20250101-120000-abcdef7.dia",
        "0117 (conflicted copy 2025-01-01 12000).dia",
        "0117 ('s conflicted copy 2025-01-01).dia",  // nobody's
        "0117 (conflicted copy (x) 2025-01-01 120000).dia",
        "0117 (conflicted copy 2025-01-01) (0).dia",
        "0117 (conflicted copy 2025-01-01) (x).dia",
        "0117 (conflicted copy 2025-01-01)(2).dia",
        "0117_conflict-20250101-1200.dia",
        "0117.sync-conflict-20250101-120000-.dia",
        "0117 (Selective Sync Conflict)x.dia",
        "0117 (Hanako's conflicted copy 2025-02-30).dia",
        "0117-.dia",   // no machine
        "0117-2.dia",  // digits only: no computer's name
        "0117--PC.dia",
        "0117-PC 2.dia",
        "0117-PC.conflict.dia",
        "0117-ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKL.dia",
        "",
    };
    for (const char* name : names) EXPECT_FALSE(ParseConflictName(name).has_value()) << name;
}

TEST(ConflictCopies, ListOneDayAndTheWholeFolderOldestFirst) {
    TempDir dir;
    for (const char* year : {"2023", "2024"}) ::mkdir((dir / year).c_str(), 0700);
    const char* files[] = {
        "2024/0117.dia",
        "2024/0117.conflict-20250301-090000.dia",
        "2024/0117.sync-conflict-20250101-120000-ABCDEF7.xda",
        "2024/0117 (Hanako's conflicted copy 2025-02-01).dia",
        "2024/0117.conflict-20250301-090000.$$$",
        "2024/0229 (conflicted copy 2025-01-01 120000).dia",
        "2023/0229.conflict-20250101-120000.dia",  // 2023 has no 29 February
        "2023/1231.conflict-20250101-120000.dia",
    };
    for (const char* f : files) WriteBytes(dir / f, "x");
    ::mkdir((dir / "2024/0118.conflict-20250101-120000.dia").c_str(), 0700);

    std::vector<std::string> day;
    for (const ConflictCopy& c : ListConflictCopies(dir.path(), 2024, 1, 17)) {
        day.push_back(c.path.substr(dir.path().size() + 1));
    }
    EXPECT_EQ(day, (std::vector<std::string>{
                       "2024/0117.sync-conflict-20250101-120000-ABCDEF7.xda",
                       "2024/0117 (Hanako's conflicted copy 2025-02-01).dia",
                       "2024/0117.conflict-20250301-090000.dia",
                   }));
    const std::vector<ConflictCopy> all = ListAllConflictCopies(dir.path());
    std::vector<std::string> paths;
    for (const ConflictCopy& c : all) paths.push_back(c.path.substr(dir.path().size() + 1));
    EXPECT_EQ(paths, (std::vector<std::string>{
                         "2023/1231.conflict-20250101-120000.dia",
                         "2024/0117.sync-conflict-20250101-120000-ABCDEF7.xda",
                         "2024/0117 (Hanako's conflicted copy 2025-02-01).dia",
                         "2024/0117.conflict-20250301-090000.dia",
                         "2024/0229 (conflicted copy 2025-01-01 120000).dia",
                     }));
    EXPECT_TRUE(all[1].locked);
    EXPECT_EQ(all[1].kind, ConflictKind::Syncthing);
    EXPECT_TRUE(ListConflictCopies(dir.path(), 2024, 1, 18).empty());
    EXPECT_TRUE(ListAllConflictCopies(dir / "missing").empty());
}

TEST(ConflictCopies, OwnCopiesNeverReplaceOneAnotherNorLoadAsEntries) {
    TempDir dir;
    const std::string folder = dir / "2001";
    const std::time_t when = Noonish();
    // Taken before: the copy of the same second from another machine.
    ::mkdir(folder.c_str(), 0700);
    WriteBytes(folder + "/0117.conflict-20010117-102030-2.dia", "theirs");

    const ConflictWrite first = WriteConflictCopy(folder, "0117", "one\r\n", "", when);
    const ConflictWrite second = WriteConflictCopy(folder, "0117", "two\r\n", "", when);
    ASSERT_TRUE(first.ok && second.ok);
    EXPECT_EQ(first.path, folder + "/0117.conflict-20010117-102030.dia");
    EXPECT_EQ(second.path, folder + "/0117.conflict-20010117-102030-3.dia");
    EXPECT_EQ(ReadBytes(first.path), "one\r\n");
    EXPECT_EQ(ReadBytes(second.path), "two\r\n");
    EXPECT_EQ(ReadBytes(folder + "/0117.conflict-20010117-102030-2.dia"), "theirs");
    EXPECT_EQ(Names(folder), (std::vector<std::string>{
                                 "0117.conflict-20010117-102030-2.dia",
                                 "0117.conflict-20010117-102030-3.dia",
                                 "0117.conflict-20010117-102030.dia",
                             }));  // no work file left
    EXPECT_TRUE(ListAllEntries(dir.path()).empty());
    EXPECT_EQ(ListConflictCopies(dir.path(), 2001, 1, 17).size(), 3u);

    // A write that fails leaves nothing behind.
    fsio::fault::FailNth(fsio::fault::Op::Write, 1);
    EXPECT_FALSE(WriteConflictCopy(folder, "0117", "three", "", when).ok);
    fsio::fault::Reset();
    EXPECT_EQ(Names(folder).size(), 3u);
}

TEST(ConflictCopies, ALockedEntrysCopyStaysLocked) {
    TempDir dir;
    const std::string key = "pass";
    std::string text(3000, 'x');  // more than one block of the cipher
    text += "\r\nend";
    const ConflictWrite w = WriteConflictCopy(dir.path(), "0117", text, key, Noonish());
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.path, dir / "0117.conflict-20010117-102030.xda");
    const std::string stored = ReadBytes(w.path);
    EXPECT_EQ(stored.find("end"), std::string::npos);  // never plain on the disk
    std::string plain;
    EXPECT_EQ(CryptDecodeBytes(stored, key, plain), CryptResult::Decoded);
    EXPECT_EQ(plain, text);

    PaneContent pane;
    ASSERT_TRUE(ReadConflictCopy(w.path, key, pane));
    EXPECT_EQ(pane.source, PaneSource::Locked);
    EXPECT_EQ(pane.text, text);
    ASSERT_TRUE(ReadConflictCopy(w.path, "wrong", pane));
    EXPECT_EQ(pane.source, PaneSource::Sealed);
    EXPECT_EQ(pane.text, "\x17");

    // A password that cannot be a key stores the copy as a save would: plain.
    const ConflictWrite loose = WriteConflictCopy(dir.path(), "0118", "t", "\xA6", Noonish());
    ASSERT_TRUE(loose.ok);
    EXPECT_EQ(loose.path, dir / "0118.conflict-20010117-102030.dia");
}

TEST(ConflictCopies, ReadAppendAndDelete) {
    TempDir dir;
    WriteBytes(dir / "0117.conflict-20010117-102030.dia", std::string("a\nb\0c", 5));
    PaneContent pane;
    ASSERT_TRUE(ReadConflictCopy(dir / "0117.conflict-20010117-102030.dia", "", pane));
    EXPECT_EQ(pane.source, PaneSource::Plain);
    EXPECT_EQ(pane.text, "a\r\nb");
    EXPECT_FALSE(ReadConflictCopy(dir / "0117.conflict-20010117-102031.dia", "", pane));

    struct Case {
        const char *entry, *copy, *want;
    };
    const Case cases[] = {
        {"", "copy", "copy"},
        {"entry", "", "entry"},
        {"entry", "copy", "entry\r\n\r\ncopy"},
        {"entry\r\n", "copy", "entry\r\n\r\ncopy"},
        {"entry\r\n\r\n", "copy\r\n", "entry\r\n\r\ncopy\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(AppendConflictText(c.entry, c.copy), c.want) << c.entry;

    WriteBytes(dir / "0117.dia", "entry");
    EXPECT_FALSE(DeleteConflictCopy(dir / "0117.dia"));  // an entry is never taken
    EXPECT_TRUE(Exists(dir / "0117.dia"));
    EXPECT_TRUE(DeleteConflictCopy(dir / "0117.conflict-20010117-102030.dia"));
    EXPECT_FALSE(Exists(dir / "0117.conflict-20010117-102030.dia"));
    EXPECT_FALSE(DeleteConflictCopy(dir / "0117.conflict-20010117-102030.dia"));
}

}  // namespace
}  // namespace kuv
