#include "crypt/cryptogram.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "platform/fileio.h"
#include "support_crypt.h"

namespace kuv {
namespace {

using test::DosValue;
using test::Exists;
using test::FileBytes;
using test::HandBody;
using test::HandContainer;
using test::HandHeader;
using test::LocalTime;
using test::Mtime;
using test::Pattern;
using test::SetMtime;
using test::WriteBytes;

const std::string kNikki = "\x93\xfa\x8b\x4c";  // 日記 in code page 932
const std::string k32 = "0123456789abcdefghijklmnopqrstuv";

std::string Header(const std::string& key, std::uint32_t date) {
    unsigned char buf[kCryptHeaderSize];
    std::memset(buf, 0xEE, sizeof buf);
    MakeCryptHeader(buf, key, date);
    return std::string(reinterpret_cast<const char*>(buf), sizeof buf);
}

CryptHeader Parse(const std::string& bytes) {
    return ParseCryptHeader(reinterpret_cast<const unsigned char*>(bytes.data()));
}

// --- the header and the cipher ---------------------------------------------

TEST(CryptHeaderTest, LayoutIsByteExact) {
    const std::string h = Header("abc", 0x12345678);
    const std::string expected = std::string("\x17\0LOCKED", 8) + "\x78\x56\x34\x12" +
                                 "\xC7\xC4\xC5" + std::string(29, '\0');
    EXPECT_EQ(h, expected);
    EXPECT_EQ(h, HandHeader("abc", 0x12345678));
}

TEST(CryptHeaderTest, MakeAndParseTable) {
    struct Case {
        std::string key;
        std::uint32_t date;
        std::string stored;  // what the key field gives back
    };
    const Case cases[] = {
        {"k", 0, "k"},
        {"718306925461", 0xFFFFFFFFu, "718306925461"},
        {k32, DosValue(2024, 2, 29, 23, 59, 58), k32},
        {k32 + "wxyz", 1, k32},  // only 32 bytes fit
        {"ab\xA6"
         "cd",
         2, "ab"},                // 0xA6 masks to 0 and ends the key
        {"\x82\xA6", 3, "\x82"},  // え: its trail byte is 0xA6
        {kNikki, 4, kNikki},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const std::string h = Header(c.key, c.date);
        EXPECT_EQ(h, HandHeader(c.key, c.date));
        const CryptHeader parsed = Parse(h);
        EXPECT_EQ(parsed.key, c.stored);
        EXPECT_EQ(parsed.date, c.date);
    }
}

TEST(CryptHeaderTest, AnyMarkerByteWrongGivesNothing) {
    const std::string good = HandHeader("key", 0x01020304);
    for (std::size_t i = 0; i < 8; ++i) {
        for (unsigned char delta : {0x01, 0x20, 0x80}) {
            std::string h = good;
            h[i] = static_cast<char>(h[i] ^ delta);
            SCOPED_TRACE(testing::Message() << "byte " << i << " ^ " << int{delta});
            const CryptHeader parsed = Parse(h);
            EXPECT_EQ(parsed.key, "");
            EXPECT_EQ(parsed.date, 0u);
            EXPECT_FALSE(HasCryptMarker(reinterpret_cast<const unsigned char*>(h.data()), 44));
        }
    }
    EXPECT_TRUE(HasCryptMarker(reinterpret_cast<const unsigned char*>(good.data()), 8));
    EXPECT_FALSE(HasCryptMarker(reinterpret_cast<const unsigned char*>(good.data()), 7));
}

// The body cipher, in memory: byte j XOR key byte ((j mod 1024) mod L), so
// the key runs on within a block and starts again at the next.
TEST(CryptCipherTest, KeyRunsOnWithinABlockAndRestartsAtTheNext) {
    struct Case {
        std::size_t count;
        std::string key;
    };
    const Case cases[] = {{1, "abc"},  {1023, "abc"}, {1024, "abc"}, {2048, "abc"},
                          {2500, k32}, {300, kNikki}, {3000, kNikki}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " bytes under " << c.key);
        const std::string body = Pattern(c.count, 7);
        std::string plain;
        ASSERT_EQ(CryptDecodeBytes(HandHeader(c.key, 0) + body, c.key, plain),
                  CryptResult::Decoded);
        ASSERT_EQ(plain.size(), c.count);
        for (std::size_t j = 0; j < c.count; ++j) {
            const char want = static_cast<char>(body[j] ^ c.key[(j % 1024) % c.key.size()]);
            ASSERT_EQ(plain[j], want) << "byte " << j;
        }
    }
}

TEST(CryptCipherTest, WhatGivesNoText) {
    const std::string body = Pattern(64);
    struct Case {
        std::string container, key;
        CryptResult result;
    };
    const Case cases[] = {
        {HandHeader("", 0) + body, "", CryptResult::Failed},  // no key opens anything
        {HandHeader("k", 0), "k", CryptResult::Decoded},      // a header alone
        {HandHeader("k", 0).substr(0, 35), "k", CryptResult::Decoded},
        {HandHeader("k", 0).substr(0, 34), "k", CryptResult::Failed},
        {HandHeader("k", 0) + body, "K", CryptResult::NoMatchingHeader},
    };
    for (const Case& c : cases) {
        std::string plain = "old";
        EXPECT_EQ(CryptDecodeBytes(c.container, c.key, plain), c.result) << c.container.size();
        EXPECT_EQ(plain, "");
    }
}

TEST(CryptKeyTest, StorableKeys) {
    EXPECT_TRUE(CryptKeyStorable("a"));
    EXPECT_TRUE(CryptKeyStorable(k32));
    EXPECT_TRUE(CryptKeyStorable(kNikki));
    EXPECT_FALSE(CryptKeyStorable(""));
    EXPECT_FALSE(CryptKeyStorable(k32 + "w"));
    EXPECT_FALSE(CryptKeyStorable("\x82\xA6"));
    EXPECT_FALSE(CryptKeyStorable(std::string("\xA6", 1)));
}

// --- files ----------------------------------------------------------------

class CryptFileTest : public test::TempDirTest {
  protected:
    const std::time_t kPlainTime = LocalTime(2021, 3, 4, 5, 6, 8);
    const std::uint32_t kPlainDos = DosValue(2021, 3, 4, 5, 6, 8);

    std::string MakePlain(const std::string& name, const std::string& bytes) {
        const std::string path = P(name);
        WriteBytes(path, bytes);
        SetMtime(path, kPlainTime);
        return path;
    }
    std::string MakeContainer(const std::string& name, const std::string& bytes) {
        const std::string path = P(name);
        WriteBytes(path, bytes);
        SetMtime(path, LocalTime(2001, 1, 1, 0, 0, 0));
        return path;
    }
};

TEST_F(CryptFileTest, RoundTripsByteForByteWithTheDate) {
    const std::size_t sizes[] = {0, 1, 1023, 1024, 1025, 2049, (std::size_t{3} << 20) + 7};
    const std::string keys[] = {"k", "abc", k32, kNikki};
    int n = 0;
    for (std::size_t size : sizes) {
        for (const std::string& key : keys) {
            SCOPED_TRACE(testing::Message() << "size " << size << " key " << key);
            const std::string plain = Pattern(size, static_cast<unsigned>(n));
            const std::string path =
                MakePlain(std::string(1, 'f').append(std::to_string(n++)).append(".dia"), plain);
            const std::time_t before = std::time(nullptr);

            ASSERT_TRUE(CryptEncodeFile(path, key, false));
            // Compared as a whole: a mismatch of megabytes is not worth printing.
            EXPECT_TRUE(FileBytes(path) == HandContainer(plain, key, kPlainDos));
            // The container bears the time it was written; only its header keeps the old one.
            EXPECT_GE(Mtime(path), before - 1);

            ASSERT_EQ(CryptDecodeFile(path, key, false), CryptResult::Decoded);
            EXPECT_TRUE(FileBytes(path) == plain);
            EXPECT_EQ(Mtime(path), kPlainTime);
        }
    }
    EXPECT_EQ(Names().size(), static_cast<std::size_t>(n));  // no work file stays behind
}

TEST_F(CryptFileTest, KeyStartsAgainAtEveryBlock) {
    const std::string path = MakePlain("z", std::string(2048, '\0'));
    ASSERT_TRUE(CryptEncodeFile(path, "xyz", false));
    const std::string c = FileBytes(path);
    ASSERT_EQ(c.size(), 2048u + 44);
    EXPECT_EQ(c[44 + 1022], 'z');  // 1022 mod 3 = 2
    EXPECT_EQ(c[44 + 1023], 'x');  // 1023 mod 3 = 0
    EXPECT_EQ(c[44 + 1024], 'x');  // a new block: key byte 0 again, not 1
    EXPECT_EQ(c[44 + 1025], 'y');

    const std::string one = MakePlain("one", std::string(1025, '\0'));
    ASSERT_TRUE(CryptEncodeFile(one, "pq", false));
    const std::string d = FileBytes(one);
    ASSERT_EQ(d.size(), 1069u);
    EXPECT_EQ(d[44 + 1023], 'q');
    EXPECT_EQ(d[44 + 1024], 'p');  // the one remaining byte takes key byte 0
}

TEST_F(CryptFileTest, DecodesContainersBuiltByTheLayout) {
    struct Case {
        std::string plain;
        std::string key;
        int y, mo, d, h, mi, s;
    };
    const Case cases[] = {
        {"\x93\xfa\x8b\x4c\x82\xc5\x82\xb7\r\n", "718306925461", 1999, 12, 31, 23, 59, 58},
        {Pattern(5000, 3), kNikki, 2000, 2, 29, 12, 34, 56},
        {"", "p", 1980, 1, 1, 0, 0, 0},
        {Pattern(1024 * 3, 4), k32, 2107, 12, 31, 23, 59, 58},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        const std::string path =
            MakeContainer("h" + std::to_string(n++) + ".xda",
                          HandContainer(c.plain, c.key, DosValue(c.y, c.mo, c.d, c.h, c.mi, c.s)));
        ASSERT_EQ(CryptDecodeFile(path, c.key, false), CryptResult::Decoded);
        EXPECT_EQ(FileBytes(path), c.plain);
        EXPECT_EQ(Mtime(path), LocalTime(c.y, c.mo, c.d, c.h, c.mi, c.s));
    }
}

TEST_F(CryptFileTest, EncodedDateTable) {
    struct Case {
        std::time_t mtime;
        std::uint32_t header;  // the date field the container gets
        std::time_t restored;  // -1: the time of writing
    };
    const Case cases[] = {
        {LocalTime(2021, 3, 4, 5, 6, 9), DosValue(2021, 3, 4, 5, 6, 8),
         LocalTime(2021, 3, 4, 5, 6, 8)},  // 2-second grain
        {LocalTime(1980, 1, 1, 0, 0, 0), 0x00210000u, LocalTime(1980, 1, 1, 0, 0, 0)},
        {LocalTime(2107, 12, 31, 23, 59, 59), DosValue(2107, 12, 31, 23, 59, 58),
         LocalTime(2107, 12, 31, 23, 59, 58)},
        {LocalTime(1979, 12, 31, 23, 59, 59), 0xFFFFFFFFu, -1},
        {LocalTime(2108, 1, 1, 0, 0, 0), 0xFFFFFFFFu, -1},
        {0, 0xFFFFFFFFu, -1},  // 1970
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        const std::string path = P("d" + std::to_string(n++));
        WriteBytes(path, "entry text");
        SetMtime(path, c.mtime);
        ASSERT_TRUE(CryptEncodeFile(path, "key", false));
        EXPECT_EQ(FileBytes(path).substr(0, 44), HandHeader("key", c.header));
        const std::time_t before = std::time(nullptr);
        ASSERT_EQ(CryptDecodeFile(path, "key", false), CryptResult::Decoded);
        EXPECT_EQ(FileBytes(path), "entry text");
        if (c.restored >= 0) {
            EXPECT_EQ(Mtime(path), c.restored);
        } else {
            EXPECT_GE(Mtime(path), before - 1);
        }
    }
}

TEST_F(CryptFileTest, HeaderDatesThatSetNothing) {
    const std::uint32_t dates[] = {
        0,                                      // no date
        0xFFFFFFFFu,                            // could not be read
        DosValue(2021, 13, 1, 0, 0, 0),         // month 13
        DosValue(2021, 2, 29, 0, 0, 0),         // no such day
        DosValue(2021, 1, 0, 0, 0, 0),          // day 0
        DosValue(2021, 1, 1, 24, 0, 0),         // hour 24
        (DosValue(2021, 1, 1, 0, 0, 0) | 30u),  // 60 seconds
    };
    int n = 0;
    for (std::uint32_t date : dates) {
        SCOPED_TRACE(testing::Message() << std::hex << date);
        const std::string path = MakeContainer(std::string(1, 'n').append(std::to_string(n++)),
                                               HandContainer("text", "key", date));
        const std::time_t before = std::time(nullptr);
        ASSERT_EQ(CryptDecodeFile(path, "key", false), CryptResult::Decoded);
        EXPECT_EQ(FileBytes(path), "text");
        EXPECT_GE(Mtime(path), before - 1);
    }
}

TEST_F(CryptFileTest, FilesShorterThan35BytesAreRefused) {
    const std::string header = HandHeader("k", kPlainDos);
    for (std::size_t n = 0; n < 35; ++n) {
        SCOPED_TRACE(n);
        const std::string path = MakeContainer("s", header.substr(0, n));
        EXPECT_EQ(CryptDecodeFile(path, "k", false), CryptResult::Failed);
        EXPECT_EQ(FileBytes(path), header.substr(0, n));
        EXPECT_EQ(Names(), std::vector<std::string>{"s"});  // no work file
    }
}

TEST_F(CryptFileTest, FilesOf35To43BytesReadAsAShortHeader) {
    const std::string header = HandHeader("five5", kPlainDos);
    const std::string longKey = "abcdefghijklmnopqrstuvwxyz0123";  // field bytes 12 to 41
    for (std::size_t n = 35; n < 44; ++n) {
        SCOPED_TRACE(n);
        const std::string path =
            MakeContainer(std::string(1, 'm').append(std::to_string(n)), header.substr(0, n));
        ASSERT_EQ(CryptDecodeFile(path, "five5", false), CryptResult::Decoded);
        EXPECT_EQ(FileBytes(path), "");
        EXPECT_EQ(Mtime(path), kPlainTime);

        // A key that reaches past the end of the file is stored cut short.
        const std::string cut = HandHeader(longKey, kPlainDos).substr(0, n);
        const std::string q = MakeContainer(std::string(1, 'q').append(std::to_string(n)), cut);
        const CryptResult expected = n >= 42 ? CryptResult::Decoded : CryptResult::NoMatchingHeader;
        EXPECT_EQ(CryptDecodeFile(q, longKey, false), expected);
        if (expected == CryptResult::NoMatchingHeader) {
            EXPECT_EQ(FileBytes(q), cut);
            EXPECT_EQ(test::SizeOf(fsio::ChangeExtension(q, ".$$$")), 0);
        }
    }
}

TEST_F(CryptFileTest, NoMatchingHeaderLeavesTheFileAndAnEmptyWorkFile) {
    const std::string container = HandContainer(Pattern(3000), "Secret", kPlainDos);
    std::string flipped = container;
    flipped[2] = 'l';  // "lOCKED"
    struct Case {
        std::string bytes;
        std::string key;
    };
    const Case cases[] = {
        {"This is a plain entry of more than thirty-five bytes.\r\n", "Secret"},
        {container, "secret"},   // letter case counts
        {container, "Secre"},    // shorter
        {container, "Secret!"},  // longer
        {container, "other"},
        {flipped, "Secret"},
        // Made under a 36-byte key: the header holds 32, so the key never matches.
        {HandContainer("abc", k32 + "wxyz", kPlainDos), k32 + "wxyz"},
        {HandContainer("abc",
                       "ab\xA6"
                       "cd",
                       kPlainDos),
         "ab\xA6"
         "cd"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        const std::string path = MakeContainer("e" + std::to_string(n++) + ".xda", c.bytes);
        const std::string work = path.substr(0, path.size() - 4) + ".$$$";
        WriteBytes(work, "stale output of an earlier call");
        EXPECT_EQ(CryptDecodeFile(path, c.key, false), CryptResult::NoMatchingHeader);
        EXPECT_EQ(FileBytes(path), c.bytes);
        EXPECT_EQ(Mtime(path), LocalTime(2001, 1, 1, 0, 0, 0));
        ASSERT_TRUE(Exists(work));
        EXPECT_EQ(test::SizeOf(work), 0);
        // The empty work file does not hinder the next call.
        EXPECT_TRUE(CryptEncodeFile(path, "next", false));
    }
}

TEST_F(CryptFileTest, EncodingTwiceWrapsTwice) {
    const std::string plain = Pattern(2500, 9);
    const std::string path = MakePlain("w.dia", plain);
    ASSERT_TRUE(CryptEncodeFile(path, "key", false));
    const std::string once = FileBytes(path);
    SetMtime(path, LocalTime(2010, 6, 7, 8, 9, 10));
    ASSERT_TRUE(CryptEncodeFile(path, "key", false));
    EXPECT_EQ(FileBytes(path), HandContainer(once, "key", DosValue(2010, 6, 7, 8, 9, 10)));
    ASSERT_EQ(CryptDecodeFile(path, "key", false), CryptResult::Decoded);
    EXPECT_EQ(FileBytes(path), once);
    EXPECT_EQ(Mtime(path), LocalTime(2010, 6, 7, 8, 9, 10));
    ASSERT_EQ(CryptDecodeFile(path, "key", false), CryptResult::Decoded);
    EXPECT_EQ(FileBytes(path), plain);
}

TEST_F(CryptFileTest, KeepSourceKeepsTheReplacedFile) {
    const std::string plain = Pattern(4000, 1);
    const std::string path = MakePlain("0101.dia", plain);
    const std::string container = HandContainer(plain, "pw", kPlainDos);

    ASSERT_TRUE(CryptEncodeFile(path, "pw", true));
    EXPECT_EQ(FileBytes(path), container);
    EXPECT_EQ(FileBytes(P("0101.org")), plain);
    EXPECT_EQ(Mtime(P("0101.org")), kPlainTime);
    EXPECT_EQ(Names(), (std::vector<std::string>{"0101.dia", "0101.org"}));

    ASSERT_EQ(CryptDecodeFile(path, "pw", true), CryptResult::Decoded);
    EXPECT_EQ(FileBytes(path), plain);
    EXPECT_EQ(FileBytes(P("0101.crp")), container);
    EXPECT_EQ(Names(), (std::vector<std::string>{"0101.crp", "0101.dia", "0101.org"}));
}

// The kept file stands for the file renamed aside, which keeps its time to
// the nanosecond, also where the two-second MS-DOS time cannot hold it.
TEST_F(CryptFileTest, KeptFileKeepsItsTimeWhole) {
    const struct {
        const char* name;
        std::time_t seconds;
        long nanoseconds;
    } times[] = {
        {"oddSecondWithNanoseconds", LocalTime(2001, 1, 17, 13, 5, 9), 123456789},
        {"before1980", LocalTime(1975, 6, 1, 12, 0, 1), 5},
        {"after2107", LocalTime(2150, 1, 1, 0, 0, 0), 999999999},
    };
    const auto setTime = [](const std::string& path, std::time_t s, long ns) {
        const timespec t[2] = {{s, ns}, {s, ns}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), t, 0), 0);
    };
    const auto timeOf = [](const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0);
        return std::pair<std::time_t, long>(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    };
    int n = 0;
    for (const auto& t : times) {
        SCOPED_TRACE(t.name);
        const std::string path = MakePlain("t" + std::to_string(n++) + ".dia", Pattern(1500, 3));
        setTime(path, t.seconds, t.nanoseconds);
        ASSERT_TRUE(CryptEncodeFile(path, "pw", true));
        EXPECT_EQ(timeOf(fsio::ChangeExtension(path, ".org")),
                  std::make_pair(t.seconds, t.nanoseconds));
        setTime(path, t.seconds, t.nanoseconds);
        ASSERT_EQ(CryptDecodeFile(path, "pw", true), CryptResult::Decoded);
        EXPECT_EQ(timeOf(fsio::ChangeExtension(path, ".crp")),
                  std::make_pair(t.seconds, t.nanoseconds));
    }
}

TEST_F(CryptFileTest, KeepSourceFailsWhenTheKeptNameExists) {
    const std::string plain = Pattern(1500, 2);
    const std::string path = MakePlain("0101.dia", plain);
    WriteBytes(P("0101.org"), "an older backup");
    EXPECT_FALSE(CryptEncodeFile(path, "pw", true));
    EXPECT_EQ(FileBytes(path), plain);
    EXPECT_EQ(FileBytes(P("0101.org")), "an older backup");
    EXPECT_EQ(FileBytes(P("0101.$$$")), HandContainer(plain, "pw", kPlainDos));

    const std::string container = HandContainer(plain, "pw", kPlainDos);
    const std::string xda = MakeContainer("0102.xda", container);
    WriteBytes(P("0102.crp"), "an older container");
    EXPECT_EQ(CryptDecodeFile(xda, "pw", true), CryptResult::Failed);
    EXPECT_EQ(FileBytes(xda), container);
    EXPECT_EQ(FileBytes(P("0102.crp")), "an older container");
    EXPECT_EQ(FileBytes(P("0102.$$$")), plain);
    EXPECT_EQ(Mtime(P("0102.$$$")), kPlainTime);
    EXPECT_EQ(Names(), (std::vector<std::string>{"0101.$$$", "0101.dia", "0101.org", "0102.$$$",
                                                 "0102.crp", "0102.xda"}));
}

TEST_F(CryptFileTest, WorkFileNames) {
    ASSERT_EQ(::mkdir(P("a.b").c_str(), 0700), 0);
    struct Case {
        std::string path;  // code page 932, in the folder
        std::string disk;  // its name on disk (UTF-8)
        std::string work;  // the work file's name on disk
    };
    const Case cases[] = {
        {"0101.dia", "0101.dia", "0101.$$$"},
        {"diary.ini", "diary.ini", "diary.$$$"},
        {"a.b/name", "a.b/name", "a.b/name.$$$"},
        {"x.tar.gz", "x.tar.gz", "x.tar.$$$"},
        {"noext", "noext", "noext.$$$"},
        {"\x95\x5c.dia", "表.dia", "表.$$$"},  // 表: trail byte 0x5C
        {"a.b/\x83\x5c\x83\x74\x83\x67", "a.b/ソフト", "a.b/ソフト.$$$"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.disk);
        WriteBytes(P(c.disk), "A plain text that is no container, of forty bytes.");
        EXPECT_EQ(CryptDecodeFile(P(c.path), "key", false), CryptResult::NoMatchingHeader);
        EXPECT_TRUE(Exists(P(c.work)));
        EXPECT_EQ(test::SizeOf(P(c.work)), 0);
    }
}

TEST(CryptNamesTest, TrailBytesNeverCount) {
    struct Case {
        std::string path, work;
    };
    const Case cases[] = {
        {"d/0101.dia", "d/0101.$$$"},
        {"d.e/f", "d.e/f.$$$"},
        {"d/a\x81.b", "d/a\x81.b.$$$"},  // the "." is the second byte of a character
        {"a.b\x81/c", "a.$$$"},          // so is the "/"
        {"d/\x95\x5c.x", "d/\x95\x5c.$$$"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fsio::ChangeExtension(c.path, ".$$$"), c.work) << c.path;
    }
}

TEST_F(CryptFileTest, EncodeToWritesTheTargetAndLeavesTheSource) {
    const std::string plain = Pattern(3000, 5);
    const std::string source = MakePlain("0117.dia", plain);
    const std::string target = P("0117.xda");
    WriteBytes(target, "the earlier locked entry");

    ASSERT_TRUE(CryptEncodeFileTo(source, target, kNikki));
    EXPECT_EQ(FileBytes(source), plain);
    EXPECT_EQ(Mtime(source), kPlainTime);
    EXPECT_EQ(FileBytes(target), HandContainer(plain, kNikki, kPlainDos));
    EXPECT_EQ(Names(), (std::vector<std::string>{"0117.dia", "0117.xda"}));

    // Unstorable or empty keys and a missing source leave the target as it was.
    const std::string before = FileBytes(target);
    EXPECT_FALSE(CryptEncodeFileTo(source, target, ""));
    EXPECT_FALSE(CryptEncodeFileTo(source, target, "\x82\xA6"));
    EXPECT_FALSE(CryptEncodeFileTo(P("missing.dia"), target, "pw"));
    EXPECT_EQ(FileBytes(target), before);
    EXPECT_EQ(Names(), (std::vector<std::string>{"0117.dia", "0117.xda"}));
}

TEST_F(CryptFileTest, EncodeBytesToWritesOnlyTheContainer) {
    const std::string target = P("0117.xda");
    WriteBytes(target, "the earlier locked entry");
    for (std::size_t size : {std::size_t{0}, std::size_t{1025}, std::size_t{3u << 20}}) {
        const std::string plain = Pattern(size, 9);
        ASSERT_TRUE(CryptEncodeBytesTo(plain, kPlainDos, target, kNikki)) << size;
        EXPECT_EQ(FileBytes(target), HandContainer(plain, kNikki, kPlainDos)) << size;
        EXPECT_EQ(Names(), (std::vector<std::string>{"0117.xda"}));
    }
    const std::string before = FileBytes(target);
    EXPECT_FALSE(CryptEncodeBytesTo("text", kPlainDos, target, ""));
    EXPECT_FALSE(CryptEncodeBytesTo("text", kPlainDos, target, std::string(33, 'k')));
    fsio::fault::FailNth(fsio::fault::Op::NoSpace, 2);
    EXPECT_FALSE(CryptEncodeBytesTo(Pattern(3u << 20, 1), kPlainDos, target, kNikki));
    fsio::fault::Reset();
    EXPECT_EQ(FileBytes(target), before);
    EXPECT_EQ(Names(), (std::vector<std::string>{"0117.xda"}));
}

TEST_F(CryptFileTest, DecodeToMemoryWritesNothing) {
    const std::string plain = Pattern(5000, 6);
    const std::string path = MakeContainer("0117.xda", HandContainer(plain, "pw", kPlainDos));
    const std::string stored = FileBytes(path);
    std::string out = "old";
    EXPECT_EQ(CryptDecodeToMemory(path, "pw", out, 1 << 20), CryptResult::Decoded);
    EXPECT_EQ(out, plain);
    EXPECT_EQ(CryptDecodeToMemory(path, "pw", out, 5000), CryptResult::Decoded);
    EXPECT_EQ(out, plain);

    struct Case {
        std::string key;
        std::size_t max;
        CryptResult result;
    };
    const Case cases[] = {{"pW", 1 << 20, CryptResult::NoMatchingHeader},
                          {"", 1 << 20, CryptResult::Failed},
                          {"pw", 4999, CryptResult::Failed}};
    for (const Case& c : cases) {
        out = "old";
        EXPECT_EQ(CryptDecodeToMemory(path, c.key, out, c.max), c.result) << c.key << c.max;
        EXPECT_EQ(out, "");
    }
    EXPECT_EQ(CryptDecodeToMemory(P("missing.xda"), "pw", out, 100), CryptResult::Failed);

    const std::string shortOne = MakeContainer("0118.xda", HandHeader("pw", 0).substr(0, 35));
    EXPECT_EQ(CryptDecodeToMemory(shortOne, "pw", out, 100), CryptResult::Decoded);
    EXPECT_EQ(out, "");
    const std::string tiny = MakeContainer("0119.xda", HandHeader("pw", 0).substr(0, 34));
    EXPECT_EQ(CryptDecodeToMemory(tiny, "pw", out, 100), CryptResult::Failed);

    EXPECT_EQ(FileBytes(path), stored);
    EXPECT_EQ(Mtime(path), LocalTime(2001, 1, 1, 0, 0, 0));
    EXPECT_EQ(Names(), (std::vector<std::string>{"0117.xda", "0118.xda", "0119.xda"}));
}

TEST_F(CryptFileTest, DecodeToMemoryMatchesDecodeFile) {
    const std::string plain = Pattern((std::size_t{2} << 20) + 1000, 8);
    const std::string path = MakePlain("big.dia", plain);
    ASSERT_TRUE(CryptEncodeFile(path, "abc", false));
    std::string out;
    EXPECT_EQ(CryptDecodeToMemory(path, "abc", out, std::size_t{64} << 20), CryptResult::Decoded);
    EXPECT_TRUE(out == plain);
    EXPECT_EQ(HandBody(out, "abc"), FileBytes(path).substr(44));
}

}  // namespace
}  // namespace kuv
