#include "app/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "platform/fileio.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using std::string_literals::operator""s;

struct LookupCase {
    const char* name;
    std::string contents;
    const char* section;
    const char* key;
    bool found;
    std::string value;
};

void PrintTo(const LookupCase& c, std::ostream* os) {
    *os << c.name;
}

class ProfileLookupTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(ProfileLookupTest, FindsTheValue) {
    const LookupCase& c = GetParam();
    std::string value = "untouched";
    EXPECT_EQ(ProfileLookup(c.contents, c.section, c.key, value), c.found);
    if (c.found) {
        EXPECT_EQ(value, c.value);
    }
}

// "ゾ" is 0x83 0x5D: its second byte is "]".
const std::string kZo = "\x83\x5d";
// "ア" is 0x83 0x41 and "チ" is 0x83 0x61: second bytes "A" and "a".
const std::string kA = "\x83\x41";
const std::string kDi = "\x83\x61";

INSTANTIATE_TEST_SUITE_P(
    Reader, ProfileLookupTest,
    ::testing::Values(
        LookupCase{"plain", "[SYSTEM]\r\nPASSWORD=abc\r\n", "SYSTEM", "PASSWORD", true, "abc"},
        LookupCase{"sectionCase", "[system]\r\nPassword=abc\r\n", "SYSTEM", "PASSWORD", true,
                   "abc"},
        LookupCase{"argumentCase", "[SYSTEM]\r\nPASSWORD=abc\r\n", "System", "password", true,
                   "abc"},
        LookupCase{"trimmed", "  [ SYSTEM ]  \r\n \t PASSWORD \t=\t abc def \t\r\n", "SYSTEM",
                   "PASSWORD", true, "abc def"},
        LookupCase{"argumentsTrimmed", "[SYSTEM]\r\nPASSWORD=abc\r\n", " SYSTEM ", "\tPASSWORD",
                   true, "abc"},
        LookupCase{"doubleQuotes", "[S]\r\nK=\" a b \"\r\n", "S", "K", true, " a b "},
        LookupCase{"singleQuotes", "[S]\r\nK=' a '\r\n", "S", "K", true, " a "},
        LookupCase{"mixedQuotesStay", "[S]\r\nK=\"a'\r\n", "S", "K", true, "\"a'"},
        LookupCase{"loneQuoteStays", "[S]\r\nK=\"\r\n", "S", "K", true, "\""},
        LookupCase{"emptyQuotes", "[S]\r\nK=\"\"\r\n", "S", "K", true, ""},
        LookupCase{"onePairOnly", "[S]\r\nK=\"\"a\"\"\r\n", "S", "K", true, "\"a\""},
        LookupCase{"quotesInside", "[S]\r\nK=yyyy\"/\"mm\r\n", "S", "K", true, "yyyy\"/\"mm"},
        LookupCase{"emptyValue", "[S]\r\nK=\r\n", "S", "K", true, ""},
        LookupCase{"blankValue", "[S]\r\nK=   \r\n", "S", "K", true, ""},
        LookupCase{"secondEquals", "[S]\r\nK=a=b\r\n", "S", "K", true, "a=b"},
        LookupCase{"firstKeyWins", "[S]\r\nK=1\r\nK=2\r\n", "S", "K", true, "1"},
        LookupCase{"firstSectionWins", "[S]\r\nA=1\r\n[T]\r\nB=2\r\n[S]\r\nA=3\r\nC=4\r\n", "S",
                   "A", true, "1"},
        LookupCase{"laterDuplicateSectionIgnored", "[S]\r\nA=1\r\n[S]\r\nC=4\r\n", "S", "C", false,
                   ""},
        LookupCase{"keyInOtherSection", "[S]\r\nA=1\r\n[T]\r\nK=2\r\n", "S", "K", false, ""},
        LookupCase{"keyBeforeAnySection", "K=0\r\n[S]\r\nA=1\r\n", "S", "K", false, ""},
        LookupCase{"noEquals", "[S]\r\nK\r\nK=2\r\n", "S", "K", true, "2"},
        LookupCase{"noEqualsOnly", "[S]\r\nK\r\n", "S", "K", false, ""},
        LookupCase{"missingSection", "[T]\r\nK=1\r\n", "S", "K", false, ""},
        LookupCase{"emptyFile", "", "S", "K", false, ""},
        LookupCase{"lf", "[S]\nA=1\nK=2\n", "S", "K", true, "2"},
        LookupCase{"loneCr", "[S]\rA=1\rK=2\r", "S", "K", true, "2"},
        LookupCase{"mixedEnds", "[S]\r\nA=1\rK=2\nB=3", "S", "K", true, "2"},
        LookupCase{"lastLineWithoutBreak", "[S]\r\nK=2", "S", "K", true, "2"},
        LookupCase{"textAfterBracket", "[S] ; note\r\nK=2\r\n", "S", "K", true, "2"},
        LookupCase{"unclosedBracketIsNoSection", "[S\r\nK=2\r\n", "S", "K", false, ""},
        LookupCase{"commentIsItsOwnName", "[S]\r\n;K=1\r\nK=2\r\n", "S", "K", true, "2"},
        LookupCase{"zeroBytesAreOrdinary", "[S]\r\nA=x\0y\r\nK=2\r\n"s, "S", "K", true, "2"},
        LookupCase{"trailByteBracket", "[" + kZo + "]\r\nK=2\r\n", kZo.c_str(), "K", true, "2"},
        LookupCase{"trailByteLetterExact", "[S]\r\n" + kA + "=1\r\n", "S", kDi.c_str(), false, ""},
        LookupCase{"trailByteLetterSame", "[S]\r\n" + kDi + "=1\r\n", "S", kDi.c_str(), true, "1"}),
    [](const auto& info) { return std::string(info.param.name); });

struct UpdateCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    std::string value;
    std::string after;
};

void PrintTo(const UpdateCase& c, std::ostream* os) {
    *os << c.name;
}

class ProfileUpdateTest : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(ProfileUpdateTest, WritesTheLayout) {
    const UpdateCase& c = GetParam();
    const std::string after = ProfileUpdate(c.before, c.section, c.key, c.value);
    EXPECT_EQ(after, c.after);
    std::string back;
    ASSERT_TRUE(ProfileLookup(after, c.section, c.key, back));
    EXPECT_EQ(back, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Writer, ProfileUpdateTest,
    ::testing::Values(
        UpdateCase{"newFile", "", "SYSTEM", "PASSWORD", "abc", "[SYSTEM]\r\nPASSWORD=abc\r\n"},
        UpdateCase{"replaceInPlace", "[S]\r\nA=1\r\nK=old\r\nB=2\r\n", "S", "K", "new",
                   "[S]\r\nA=1\r\nK=new\r\nB=2\r\n"},
        UpdateCase{"replaceKeepsFileSpelling", "[s]\r\n  key = old  \r\n", "S", "KEY", "v",
                   "[s]\r\nkey=v\r\n"},
        UpdateCase{"replaceOnlyFirst", "[S]\r\nK=1\r\nK=2\r\n", "S", "K", "3",
                   "[S]\r\nK=3\r\nK=2\r\n"},
        UpdateCase{"replaceInFirstSection", "[S]\r\nK=1\r\n[S]\r\nK=2\r\n", "S", "K", "3",
                   "[S]\r\nK=3\r\n[S]\r\nK=2\r\n"},
        UpdateCase{"replaceLfLineOnly", "[S]\nA=1\nK=2\nB=3\n", "S", "K", "9",
                   "[S]\nA=1\nK=9\r\nB=3\n"},
        UpdateCase{"replaceLastLineWithoutBreak", "[S]\r\nK=2", "S", "K", "9", "[S]\r\nK=9\r\n"},
        UpdateCase{"newKeyAtEndOfSection", "[S]\r\nA=1\r\n\r\n[T]\r\nB=2\r\n", "S", "K", "v",
                   "[S]\r\nA=1\r\nK=v\r\n\r\n[T]\r\nB=2\r\n"},
        UpdateCase{"newKeyAfterComment", "[S]\r\nA=1\r\n; note\r\n  \r\n", "S", "K", "v",
                   "[S]\r\nA=1\r\n; note\r\nK=v\r\n  \r\n"},
        UpdateCase{"newKeyInEmptySection", "[S]\r\n[T]\r\n", "S", "K", "v",
                   "[S]\r\nK=v\r\n[T]\r\n"},
        UpdateCase{"newKeyAfterBareHeader", "[S]", "S", "K", "v", "[S]\r\nK=v\r\n"},
        UpdateCase{"newKeyAtEndWithoutBreak", "[S]\r\nA=1", "S", "K", "v", "[S]\r\nA=1\r\nK=v\r\n"},
        UpdateCase{"newKeyKeepsLfLines", "[S]\nA=1\n", "S", "K", "v", "[S]\nA=1\nK=v\r\n"},
        UpdateCase{"newSection", "[S]\r\nA=1\r\n", "T", "K", "v", "[S]\r\nA=1\r\n[T]\r\nK=v\r\n"},
        UpdateCase{"newSectionAfterBlank", "[S]\r\nA=1\r\n\r\n", "T", "K", "v",
                   "[S]\r\nA=1\r\n\r\n[T]\r\nK=v\r\n"},
        UpdateCase{"newSectionWithoutBreak", "[S]\r\nA=1", "T", "K", "v",
                   "[S]\r\nA=1\r\n[T]\r\nK=v\r\n"},
        UpdateCase{"newSectionAfterLoneCr", "[S]\rA=1\r", "T", "K", "v",
                   "[S]\rA=1\r[T]\r\nK=v\r\n"},
        UpdateCase{"otherBytesKept", "junk\0\xff\r\n[S]\n\tA = \"1\"\r\n[T]\rK=1\r"s, "T", "K", "2",
                   "junk\0\xff\r\n[S]\n\tA = \"1\"\r\n[T]\rK=2\r\n"s},
        UpdateCase{"emptyValue", "[S]\r\nK=1\r\n", "S", "K", "", "[S]\r\nK=\r\n"},
        UpdateCase{"spacesKeptByQuotes", "", "S", "K", "  ", "[S]\r\nK=\"  \"\r\n"},
        UpdateCase{"leadingSpaceKept", "", "S", "K", " a", "[S]\r\nK=\" a\"\r\n"},
        UpdateCase{"quotedValueKept", "", "S", "K", "\"a\"", "[S]\r\nK=\"\"a\"\"\r\n"},
        UpdateCase{"singleQuotedValueKept", "", "S", "K", "'a'", "[S]\r\nK=\"'a'\"\r\n"},
        UpdateCase{"innerQuotesAsTheyAre", "", "S", "K", "yyyy\"/\"mm", "[S]\r\nK=yyyy\"/\"mm\r\n"},
        UpdateCase{"sectionNameTrimmed", "", " S ", " K ", "v", "[S]\r\nK=v\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileEntryWritable, RefusesWhatCannotReadBack) {
    EXPECT_TRUE(ProfileEntryWritable("S", "K", "v"));
    EXPECT_TRUE(ProfileEntryWritable("S", "K", ""));
    EXPECT_FALSE(ProfileEntryWritable("", "K", "v"));
    EXPECT_FALSE(ProfileEntryWritable("S", "  ", "v"));
    EXPECT_FALSE(ProfileEntryWritable("S", "K", "a\r\n[S]\r\nK=b"));
    EXPECT_FALSE(ProfileEntryWritable("S", "K", "a\nb"));
    EXPECT_FALSE(ProfileEntryWritable("S", "K", "a\0b"s));
    EXPECT_FALSE(ProfileEntryWritable("S]", "K", "v"));
    EXPECT_FALSE(ProfileEntryWritable("S", "K=", "v"));
    EXPECT_FALSE(ProfileEntryWritable("S", "[K]", "v"));
    EXPECT_TRUE(ProfileEntryWritable(kZo, "K", "v"));
}

// A name that ends in a lead byte would take the "]" or "=" written after it
// for its second byte; a name that ends in a whole double-byte character whose
// second byte looks like a lead byte is fine.
TEST(ProfileEntryWritable, RefusesANameEndingInALeadByte) {
    const struct {
        std::string section;
        std::string key;
        bool writable;
    } cases[] = {
        {"\xee", "K", false},          // a lone lead byte
        {"NAME\x81", "K", false},      // one after ASCII
        {"\x95\x5c\x82", "K", false},  // one after 表
        {"\xee \t", "K", false},       // the blanks are trimmed off
        {"S", "NAME\x81", false},      // in a key name
        {"S", "\xfc", false},          // the last lead byte
        {"\x81\x81", "K", true},       // ＝: its second byte is a lead byte too
        {"S", "\x93\xfa", true},       // 日
        {kZo + kA, kDi, true},         // second bytes "]", "A" and "a"
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProfileEntryWritable(c.section, c.key, "v"), c.writable)
            << ::testing::PrintToString(c.section) << " " << ::testing::PrintToString(c.key);
        if (c.writable) {
            std::string value;
            EXPECT_TRUE(
                ProfileLookup(ProfileUpdate("", c.section, c.key, "v"), c.section, c.key, value));
            EXPECT_EQ(value, "v");
        }
    }
}

struct IntCase {
    const char* text;
    bool valid;
    std::int32_t value;
};

void PrintTo(const IntCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ProfileIntTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(ProfileIntTest, ParsesByTheRules) {
    const IntCase& c = GetParam();
    std::int32_t v = 12345;
    EXPECT_EQ(ParseProfileInt(c.text, v), c.valid) << '"' << c.text << '"';
    EXPECT_EQ(v, c.valid ? c.value : 12345) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Values, ProfileIntTest,
    ::testing::Values(
        IntCase{"12", true, 12}, IntCase{"0", true, 0}, IntCase{"-0", true, 0},
        IntCase{"007", true, 7}, IntCase{"+5", true, 5}, IntCase{"-5", true, -5},
        IntCase{" 5", true, 5}, IntCase{"   -5", true, -5}, IntCase{"\t5", false, 0},
        IntCase{"- 5", false, 0}, IntCase{"+ 5", false, 0}, IntCase{"5 ", false, 0},
        IntCase{"12pt", false, 0}, IntCase{"", false, 0}, IntCase{" ", false, 0},
        IntCase{"-", false, 0}, IntCase{"+", false, 0}, IntCase{"true", false, 0},
        IntCase{"false", false, 0}, IntCase{"0x10", true, 16}, IntCase{"0X1f", true, 31},
        IntCase{"$10", true, 16}, IntCase{"x10", true, 16}, IntCase{"X10", true, 16},
        IntCase{" 0x10", true, 16}, IntCase{" $ff", true, 255}, IntCase{"0x", false, 0},
        IntCase{"0X", false, 0}, IntCase{"$", false, 0}, IntCase{"x", false, 0},
        IntCase{" 0x", false, 0}, IntCase{"0xg", false, 0}, IntCase{"$1 ", false, 0},
        IntCase{"-$10", false, 0}, IntCase{"+0x10", false, 0}, IntCase{"0x-1", false, 0},
        IntCase{"$80000008", true, -2147483640}, IntCase{"0x80000008", true, -2147483640},
        IntCase{"-2147483640", true, -2147483640}, IntCase{"$FFFFFFFF", true, -1},
        IntCase{"$0000000010", true, 16}, IntCase{"$100000000", false, 0},
        IntCase{"2147483647", true, 2147483647}, IntCase{"+2147483647", true, 2147483647},
        IntCase{"2147483648", false, 0}, IntCase{"-2147483648", true, INT32_MIN},
        IntCase{"-2147483649", false, 0}, IntCase{"99999999999999999999", false, 0},
        IntCase{"00000000000000000000012", true, 12}, IntCase{"1.5", false, 0}));

TEST(ProfileInt, FormatsSignedDecimal) {
    EXPECT_EQ(FormatProfileInt(0), "0");
    EXPECT_EQ(FormatProfileInt(154), "154");
    EXPECT_EQ(FormatProfileInt(-1), "-1");
    EXPECT_EQ(FormatProfileInt(static_cast<std::int32_t>(0x80000008u)), "-2147483640");
    EXPECT_EQ(FormatProfileInt(INT32_MIN), "-2147483648");
}

class ProfileFileTest : public ::testing::Test {
  protected:
    void TearDown() override { fsio::fault::Reset(); }
    test::TempDir dir;
    std::string ini = dir / "diary.ini";
};

TEST_F(ProfileFileTest, MissingFileGivesTheDefault) {
    EXPECT_EQ(GetPrivateProfileString("S", "K", "def", 2048, ini), "def");
    EXPECT_FALSE(test::Exists(ini));
}

// As the Windows call does, a default gives up the blanks at its end; a
// value found keeps what the reading rules leave of it.
TEST_F(ProfileFileTest, DefaultLosesItsTrailingBlanks) {
    test::WriteBytes(ini, "[S]\r\nK=\"v  \"\r\n");
    const struct {
        const char* key;
        const char* def;
        const char* read;
    } cases[] = {
        {"X", "def  ", "def"}, {"X", "  def", "  def"}, {"X", "a b ", "a b"},
        {"X", "   ", ""},      {"X", "def\t", "def\t"}, {"K", "def  ", "v  "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " [" + c.def + "]");
        EXPECT_EQ(GetPrivateProfileString("S", c.key, c.def, 2048, ini), c.read);
        EXPECT_EQ(GetPrivateProfileString("S", c.key, c.def, 2048, dir / "missing.ini"),
                  std::string(c.key) == "K" ? "def" : c.read);
    }
}

TEST_F(ProfileFileTest, ReadsAHandWrittenFile) {
    test::WriteBytes(ini, "[SYSTEM]\r\nPASSWORD=secret\r\nDATAPATH=\r\n\r\n[FONT]\r\nSIZE=12\r\n");
    EXPECT_EQ(GetPrivateProfileString("system", "password", "d", 2048, ini), "secret");
    EXPECT_EQ(GetPrivateProfileString("SYSTEM", "DATAPATH", "d", 2048, ini), "");
    EXPECT_EQ(GetPrivateProfileString("SYSTEM", "FORMAT", "d", 2048, ini), "d");
    EXPECT_EQ(GetPrivateProfileString("FONT", "SIZE", "", 2048, ini), "12");
    EXPECT_EQ(GetPrivateProfileString("OLDDIARY", "SHOW", "1", 2048, ini), "1");
}

TEST_F(ProfileFileTest, CutsToTheBuffer) {
    const std::string longValue(5000, 'v');
    test::WriteBytes(ini, "[S]\r\nK=" + longValue + "\r\n");
    EXPECT_EQ(GetPrivateProfileString("S", "K", "", 2048, ini), std::string(2047, 'v'));
    EXPECT_EQ(GetPrivateProfileString("S", "K", "", 4, ini), "vvv");
    EXPECT_EQ(GetPrivateProfileString("S", "K", "", 1, ini), "");
    EXPECT_EQ(GetPrivateProfileString("S", "X", longValue, 2048, ini), std::string(2047, 'v'));
}

TEST_F(ProfileFileTest, ValueEndsAtAZeroByte) {
    test::WriteBytes(ini, "[S]\r\nK=ab\0cd\r\nL=\0\r\n"s);
    EXPECT_EQ(GetPrivateProfileString("S", "K", "", 2048, ini), "ab");
    EXPECT_EQ(GetPrivateProfileString("S", "L", "d", 2048, ini), "");
}

TEST_F(ProfileFileTest, SurvivesHostileFiles) {
    // One line of 2 MiB without a break, then the key.
    std::string big(2u << 20, 'x');
    big += "\n[S]\nK=1\n";
    test::WriteBytes(ini, big);
    EXPECT_EQ(GetPrivateProfileString("S", "K", "", 2048, ini), "1");

    // Beyond what a settings file can be: read as missing, never rewritten.
    std::string huge(17u << 20, '\0');
    test::WriteBytes(ini, "[S]\r\nK=1\r\n" + huge);
    EXPECT_EQ(GetPrivateProfileString("S", "K", "d", 2048, ini), "d");
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "2", ini));
    EXPECT_EQ(test::ReadBytes(ini).size(), huge.size() + 10);
}

TEST_F(ProfileFileTest, CreatesThePrivateFile) {
    ASSERT_TRUE(WritePrivateProfileString("OLDDIARY", "SHOW", "1", ini));
    ASSERT_TRUE(WritePrivateProfileString("OLDDIARY", "HEIGHT", "154", ini));
    ASSERT_TRUE(WritePrivateProfileString("WINDOW", "TOP", "-1", ini));
    EXPECT_EQ(test::ReadBytes(ini), "[OLDDIARY]\r\nSHOW=1\r\nHEIGHT=154\r\n[WINDOW]\r\nTOP=-1\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(test::Exists(dir / "diary.$$$"));
}

TEST_F(ProfileFileTest, RewritesThroughTheWorkFile) {
    const std::string before = "; kept\n[S]\nK=1\n";
    test::WriteBytes(ini, before);
    fsio::fault::FailNth(fsio::fault::Op::Rename, 1);
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "2", ini));
    EXPECT_EQ(test::ReadBytes(ini), before);
    EXPECT_FALSE(test::Exists(dir / "diary.$$$"));

    for (auto op : {fsio::fault::Op::Create, fsio::fault::Op::Write, fsio::fault::Op::NoSpace,
                    fsio::fault::Op::Sync, fsio::fault::Op::Close}) {
        fsio::fault::Reset();
        fsio::fault::FailNth(op, 1);
        EXPECT_FALSE(WritePrivateProfileString("S", "K", "2", ini));
        EXPECT_TRUE(fsio::fault::Fired());
        EXPECT_EQ(test::ReadBytes(ini), before);
    }
    fsio::fault::Reset();
    EXPECT_TRUE(WritePrivateProfileString("S", "K", "2", ini));
    EXPECT_EQ(test::ReadBytes(ini), "; kept\n[S]\nK=2\r\n");
}

TEST_F(ProfileFileTest, FailsWithoutItsFolder) {
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "1", dir / "none/diary.ini"));
    EXPECT_FALSE(test::Exists(dir / "none"));
}

TEST_F(ProfileFileTest, FailsOnAFolder) {
    ASSERT_EQ(::mkdir(ini.c_str(), 0700), 0);
    EXPECT_EQ(GetPrivateProfileString("S", "K", "d", 2048, ini), "d");
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "1", ini));
}

TEST_F(ProfileFileTest, RefusesAValueThatWouldAddLines) {
    test::WriteBytes(ini, "[S]\r\nK=1\r\n");
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "2\r\n[T]\r\nX=1", ini));
    EXPECT_EQ(test::ReadBytes(ini), "[S]\r\nK=1\r\n");
}

TEST_F(ProfileFileTest, RefusesASectionEndingInALeadByte) {
    const std::string before = "[S]\r\nK=1\r\n";
    test::WriteBytes(ini, before);
    EXPECT_FALSE(WritePrivateProfileString("NAME\x81", "K", "2", ini));
    EXPECT_FALSE(WritePrivateProfileString("S", "K\xee", "2", ini));
    EXPECT_EQ(test::ReadBytes(ini), before);
    EXPECT_FALSE(WritePrivateProfileString("\xee", "K", "2", dir / "new.ini"));
    EXPECT_FALSE(test::Exists(dir / "new.ini"));
}

TEST_F(ProfileFileTest, UnchangedValueWritesNothing) {
    test::WriteBytes(ini, "[S]\r\nK=1\r\n");
    fsio::fault::FailNth(fsio::fault::Op::Create, 1);
    EXPECT_TRUE(WritePrivateProfileString("S", "K", "1", ini));
    EXPECT_FALSE(fsio::fault::Fired());
}

}  // namespace
}  // namespace kuv
