#include "platform/cp932.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace kuv::cp932 {
namespace {

struct Case {
    const char* utf8;
    std::string bytes;
};

TEST(Cp932, ConvertsBothWaysAsWindowsCodePage932) {
    const Case cases[] = {
        {"abc", "abc"},
        {"水", "\x90\x85"},
        {"日付挿入", "\x93\xfa\x95\x74\x91\x7d\x93\xfc"},
        {"ｱ", "\xb1"},                     // half-width katakana is one byte
        {"①", "\x87\x40"},                 // NEC special characters
        {"～", "\x81\x60"},                // the wave dash of code page 932
        {"\\", "\x5c"},                    // 0x5C stays a backslash, not a yen sign
        {"\x1a\x1c\x7f", "\x1a\x1c\x7f"},  // control bytes are not swapped
        {"ＭＳ Ｐゴシック", "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(ToUtf8(c.bytes), c.utf8);
        auto back = FromUtf8(c.utf8);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, c.bytes);
    }
}

TEST(Cp932, InvalidBytesSurviveARoundTripThroughUtf16) {
    const std::string samples[] = {
        std::string("\x80\xa0\xfd\xfe\xff", 5),  // bytes that start no character
        std::string("a\x81", 2),                 // a lead byte at the end
        std::string("\x81\x20z", 3),             // a lead byte before an invalid trail
        std::string("x\0y", 3),
    };
    for (const std::string& s : samples) {
        std::u16string u = ToUtf16(s);
        Encoded e = FromUtf16(u);
        ASSERT_TRUE(e.ok);
        EXPECT_EQ(e.bytes, s);
    }
    EXPECT_EQ(ToUtf8(std::string("a\x80", 2)), "a\xef\xbf\xbd");
}

TEST(Cp932, ReportsTheFirstCharacterThatDoesNotFit) {
    struct Bad {
        std::u16string text;
        std::size_t index;
        char32_t c;
    };
    const Bad cases[] = {
        {u"ab\U0001F600c", 2, 0x1F600},  // an emoji, as a surrogate pair
        {u"日\u00e9", 1, 0xE9},          // é has no code page 932 byte
        {u"\xd800z", 0, 0xD800},         // a lone high surrogate
    };
    for (const Bad& b : cases) {
        Encoded e = FromUtf16(b.text);
        EXPECT_FALSE(e.ok);
        EXPECT_EQ(e.badIndex, b.index);
        EXPECT_EQ(e.badChar, b.c);
    }
    EXPECT_FALSE(FromUtf8("\xf0\x9f\x98\x80").has_value());
    EXPECT_FALSE(FromUtf8("\xc3").has_value());          // truncated sequence
    EXPECT_FALSE(FromUtf8("\xed\xa0\x80").has_value());  // encoded surrogate
    EXPECT_EQ(CodePointName(0x1F600), "U+1F600");
}

bool IsEscapeUnit(char16_t c) {
    return c >= 0xDC80 && c <= 0xDCFF;
}

// The single characters that some code of the code page reads as.
std::set<char16_t> CharactersOfTheCodePage() {
    std::set<char16_t> chars;
    auto add = [&](const std::string& bytes) {
        const std::u16string u = ToUtf16(bytes);
        if (u.size() == 1 && !IsEscapeUnit(u[0])) chars.insert(u[0]);
    };
    for (int b = 0; b < 0x100; ++b) add(std::string(1, static_cast<char>(b)));
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            add(std::string{static_cast<char>(lead), static_cast<char>(trail)});
        }
    }
    return chars;
}

// JIS characters that Unicode names twice: typed under the JIS name (an input
// method on Linux gives U+301C for 〜), written as the code page 932 code of
// that JIS character, read back under code page 932's name, as on Windows.
struct LookAlike {
    char16_t typed;
    std::string bytes;
    char16_t readBack;
};
const LookAlike kLookAlikes[] = {
    {0x301C, "\x81\x60", 0xFF5E},  // 〜 -> ～
    {0x2016, "\x81\x61", 0x2225},  // ‖ -> ∥
    {0x2212, "\x81\x7c", 0xFF0D},  // − -> －
    {0x2014, "\x81\x5c", 0x2015},  // — -> ―
    {0x00A2, "\x81\x91", 0xFFE0},  // ¢ -> ￠
    {0x00A3, "\x81\x92", 0xFFE1},  // £ -> ￡
    {0x00AC, "\x81\xca", 0xFFE2},  // ¬ -> ￢
};

TEST(Cp932, JisLookAlikesAreWrittenAsTheCodePage932Character) {
    for (const LookAlike& a : kLookAlikes) {
        SCOPED_TRACE(CodePointName(a.typed));
        const Encoded e = FromUtf16(std::u16string{u'a', a.typed, u'b'});
        ASSERT_TRUE(e.ok);
        EXPECT_EQ(e.bytes, "a" + a.bytes + "b");
        EXPECT_EQ(ToUtf16(a.bytes), std::u16string(1, a.readBack));
    }
}

// Any other character that the converter would write as the bytes of a
// different one (a "best fit") is refused like a character the code page
// does not hold: the yen sign and the overline would come back as "\" and "~".
TEST(Cp932, CharactersThatWouldReadBackAsOthersAreRefused) {
    for (char16_t c : {char16_t{0x00A5}, char16_t{0x203E}}) {
        SCOPED_TRACE(CodePointName(c));
        const Encoded e = FromUtf16(std::u16string{u'日', c, u'b'});
        EXPECT_FALSE(e.ok);
        EXPECT_EQ(e.badIndex, 1u);
        EXPECT_EQ(e.badChar, c);
        EXPECT_TRUE(e.bytes.empty());
    }
}

// Over the whole plane: exactly the characters that some code reads as, and
// the look-alikes, are written; each reads back as itself (or as the
// look-alike's code page 932 form).
TEST(Cp932, EveryCharacterWrittenReadsBackAsItself) {
    const std::set<char16_t> ofCodePage = CharactersOfTheCodePage();
    int written = 0;
    for (char32_t c = 0; c < 0x10000; ++c) {
        if (IsEscapeUnit(static_cast<char16_t>(c))) continue;
        const std::u16string u(1, static_cast<char16_t>(c));
        const Encoded e = FromUtf16(u);
        const LookAlike* alike = nullptr;
        for (const LookAlike& a : kLookAlikes) {
            if (a.typed == c) alike = &a;
        }
        EXPECT_EQ(e.ok, ofCodePage.count(u[0]) != 0 || alike != nullptr) << CodePointName(c);
        if (!e.ok) continue;
        ++written;
        const std::u16string back = ToUtf16(e.bytes);
        if (alike != nullptr) {
            EXPECT_EQ(back, std::u16string(1, alike->readBack)) << CodePointName(c);
        } else {
            EXPECT_EQ(back, u) << CodePointName(c);
        }
    }
    EXPECT_EQ(written, static_cast<int>(ofCodePage.size() + std::size(kLookAlikes)));
}

// A byte that starts no character is kept as an escape. A lead byte kept so
// must not pair with the first byte of the character after it, which is
// written in a form (of a duplicated character) that keeps them apart.
TEST(Cp932, AnEscapedLeadByteStaysApartFromTheNextCharacter) {
    const struct {
        std::string bytes;
        std::u16string text;
    } cases[] = {
        // EEEE is no character; U+92FF is EEC0 (NEC-selected IBM) and FBDC
        // (IBM), and EE FB would read as U+FF07.
        {"\xee\xee\xc0", u"\xdcee\x92ff"},
        {"a\xee\xee\xc0\xee\xee\xc0z", u"a\xdcee\x92ff\xdcee\x92ffz"},
        {"\xee\xed\x40", u"\xdcee\x7e8a"},  // U+7E8A: ED40 and FA5C; EE FA is ￤
        {"\x81\xee\xe1", u"\xdc81\x9adc"},  // U+9ADC: EEE1 and FC40; 81 FC is ◯
        {"\x83\xee\xf9", u"\xdc83\xffe2"},  // ￢: EEF9 and 81CA; 83 81 is メ
        {"\x87\xfa\x4a", u"\xdc87\x2160"},  // Ⅰ: FA4A (IBM) and 8754 (NEC row 13)
        {"\x81\x20\x41", u"\xdc81 A"},      // no duplicate involved
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        ASSERT_EQ(ToUtf16(c.bytes), c.text);
        const Encoded e = FromUtf16(c.text);
        ASSERT_TRUE(e.ok);
        EXPECT_EQ(ToUtf16(e.bytes), c.text);
        EXPECT_EQ(e.bytes.size(), c.bytes.size());
    }
    // The entry's own bytes come back when they held the one form that fits.
    EXPECT_EQ(FromUtf16(u"\xdcee\x92ff").bytes, "\xee\xee\xc0");
}

// Any bytes, read and written again without an edit, read as the same text,
// have the same length and are stable. The strings favour the bytes that
// meet the trouble: lead bytes before the codes of duplicated characters.
TEST(Cp932, AnyBytesReadBackAsTheSameText) {
    std::vector<std::string> duplicates;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
            const std::u16string u = ToUtf16(code);
            if (u.size() == 1 && !IsEscapeUnit(u[0]) && FromUtf16(u).bytes != code) {
                duplicates.push_back(code);
                duplicates.push_back(FromUtf16(u).bytes);
            }
        }
    }
    ASSERT_GE(duplicates.size(), 398u);

    std::mt19937 random(20261208);
    auto pick = [&](std::uint32_t n) { return static_cast<std::uint32_t>(random() % n); };
    std::size_t total = 0;
    int escapedLeadBeforeDuplicate = 0;
    while (total < 300000) {
        std::string bytes;
        const std::uint32_t parts = 1 + pick(24);
        for (std::uint32_t k = 0; k < parts; ++k) {
            switch (pick(5)) {
                case 0: {  // a lead byte
                    const std::uint32_t r = pick(31 + 29);
                    bytes.push_back(static_cast<char>(r < 31 ? 0x81 + r : 0xE0 + r - 31));
                    break;
                }
                case 1:
                    bytes += duplicates[pick(static_cast<std::uint32_t>(duplicates.size()))];
                    break;
                case 2:
                    bytes.push_back(static_cast<char>(pick(256)));
                    break;
                case 3:
                    bytes.push_back(static_cast<char>(0x20 + pick(0x5F)));
                    break;
                default:
                    bytes.push_back(static_cast<char>(0x81 + pick(0x7C)));
                    bytes.push_back(static_cast<char>(0x40 + pick(0xBD)));
                    break;
            }
        }
        total += bytes.size();
        const std::u16string text = ToUtf16(bytes);
        for (std::size_t i = 0; i + 1 < text.size(); ++i) {
            if (IsEscapeUnit(text[i]) && IsLeadByte(static_cast<unsigned char>(text[i] - 0xDC00)) &&
                !IsEscapeUnit(text[i + 1])) {
                const std::string next = FromUtf16(text.substr(i + 1, 1)).bytes;
                for (const std::string& d : duplicates) escapedLeadBeforeDuplicate += d == next;
            }
        }
        const Encoded back = FromUtf16(text);
        ASSERT_TRUE(back.ok) << ::testing::PrintToString(bytes);
        ASSERT_EQ(ToUtf16(back.bytes), text) << ::testing::PrintToString(bytes) << " written as "
                                             << ::testing::PrintToString(back.bytes);
        EXPECT_EQ(back.bytes.size(), bytes.size());
        EXPECT_EQ(FromUtf16(ToUtf16(back.bytes)).bytes, back.bytes);
    }
    EXPECT_GT(escapedLeadBeforeDuplicate, 1000);
}

// The codes that the converter does not write for their character: the
// second codes of the characters that code page 932 holds more than once.
std::vector<std::string> SecondCodes() {
    std::vector<std::string> codes;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
            const std::u16string u = ToUtf16(code);
            if (u.size() == 1 && !IsEscapeUnit(u[0]) && FromUtf16(u).bytes != code) {
                codes.push_back(code);
            }
        }
    }
    return codes;
}

// An edited text keeps, for every character the edit left, the code that
// character was loaded with; a character typed anew takes the converter's
// form. Each case gives the bytes loaded and the bytes the edit must save;
// the edited text is what the saved bytes read as.
TEST(Cp932Keeping, CharactersLeftByTheEditKeepTheirCodes) {
    // 纊 ≒ ￢ in their second codes (NEC-selected IBM, NEC row 13, IBM);
    // the converter writes them FA5C 81E0 81CA.
    const std::string kept = "\xed\x40\x87\x90\xfa\x54";
    const std::string loaded = kept + "end";
    const std::string longText(3000, 'a');
    const struct {
        const char* name;
        std::string original;
        std::string saved;
    } cases[] = {
        {"typedAtTheEnd", loaded, loaded + "Z"},
        {"typedAtTheStart", loaded, "Z" + loaded},
        {"typedInTheMiddle", loaded,
         "\xed\x40\x87\x90Z\xfa\x54"
         "end"},
        {"typedInTwoPlaces", loaded,
         "Q\xed\x40\x87\x90\xfa\x54"
         "eWnd"},
        {"oneDeleted", loaded,
         "\xed\x40\xfa\x54"
         "end"},
        {"textAfterDeleted", loaded, kept},
        {"replacedAround", "a" + kept + "b", "x" + kept + "y"},
        {"unchanged", loaded, loaded},
        {"duplicateTypedAnew", loaded, loaded + "\xfa\x5c"},
        {"duplicateTypedBetween", loaded,
         "\xed\x40_\xfa\x5c_\x87\x90\xfa\x54"
         "end"},
        {"bothCodesOfOneCharacter", "\xed\x40-\xfa\x5c", "\xed\x40+-\xfa\x5c"},
        {"escapesStay", "\x81\x20\xed\x40\xff", "\x81\x20\xed\x40Z\xff"},
        {"farApartInALongText", "(" + kept + longText + kept + ")",
         "((" + kept + longText.substr(1) + "b" + kept + "))"},
        // Too changed to align: a character keeps the one code it had
        // throughout the original; one that had two takes the converter's.
        {"rewrittenBeyondTheBound", "<\xed\x40" + std::string(3000, 'a') + "\x87\x90\x81\xe0>",
         "[\xed\x40" + std::string(3000, 'b') + "\x81\xe0]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string text = ToUtf16(c.saved);
        const Encoded e = FromUtf16Keeping(text, c.original);
        ASSERT_TRUE(e.ok);
        EXPECT_EQ(e.bytes, c.saved);
    }
    // What the converter alone made of the first case.
    EXPECT_EQ(FromUtf16(ToUtf16(loaded + "Z")).bytes,
              "\xfa\x5c\x81\xe0\x81\xca"
              "endZ");
}

TEST(Cp932Keeping, EverySecondCodeSurvivesATypedCharacter) {
    const std::vector<std::string> codes = SecondCodes();
    EXPECT_EQ(codes.size(), 398u);
    for (const std::string& code : codes) {
        SCOPED_TRACE(::testing::PrintToString(code));
        const std::string original = "a" + code + "b";
        EXPECT_EQ(FromUtf16Keeping(ToUtf16(original + "Z"), original).bytes, original + "Z");
        // Typed anew, the character takes the converter's form.
        EXPECT_EQ(FromUtf16Keeping(ToUtf16("Z" + code), "Z").bytes,
                  FromUtf16(ToUtf16("Z" + code)).bytes);
    }
}

// An entry saved without an edit gives back the very bytes it was loaded
// from, whatever they are; characters that do not fit still fail the save.
TEST(Cp932Keeping, AnUneditedTextGivesBackItsBytes) {
    const std::vector<std::string> codes = SecondCodes();
    std::mt19937 random(20261209);
    auto pick = [&](std::uint32_t n) { return static_cast<std::uint32_t>(random() % n); };
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        const std::uint32_t parts = 1 + pick(24);
        for (std::uint32_t k = 0; k < parts; ++k) {
            if (pick(3) == 0) {
                bytes += codes[pick(static_cast<std::uint32_t>(codes.size()))];
            } else {
                bytes.push_back(static_cast<char>(pick(256)));
            }
        }
        const Encoded e = FromUtf16Keeping(ToUtf16(bytes), bytes);
        ASSERT_TRUE(e.ok);
        ASSERT_EQ(e.bytes, bytes) << ::testing::PrintToString(bytes);
    }
    const Encoded bad = FromUtf16Keeping(ToUtf16("\xed\x40") + u"\U0001F600", "\xed\x40");
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.badIndex, 1u);
    EXPECT_EQ(bad.badChar, char32_t{0x1F600});
}

TEST(Cp932, LeadBytesAreTheTwoRanges) {
    int count = 0;
    for (int b = 0; b < 256; ++b) count += IsLeadByte(static_cast<unsigned char>(b)) ? 1 : 0;
    EXPECT_EQ(count, (0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1));
    EXPECT_TRUE(IsLeadByte(0x81));
    EXPECT_TRUE(IsLeadByte(0xFC));
    EXPECT_FALSE(IsLeadByte(0xA0));
    EXPECT_FALSE(IsLeadByte(0xFD));
}

}  // namespace
}  // namespace kuv::cp932
