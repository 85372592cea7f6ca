#include "platform/cp932.h"

#include <gtest/gtest.h>

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
        {"ｱ", "\xb1"},                      // half-width katakana is one byte
        {"①", "\x87\x40"},                  // NEC special characters
        {"～", "\x81\x60"},                  // the wave dash of code page 932
        {"\\", "\x5c"},                      // 0x5C stays a backslash, not a yen sign
        {"\x1a\x1c\x7f", "\x1a\x1c\x7f"},    // control bytes are not swapped
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
        std::string("\x80\xa0\xfd\xfe\xff", 5),   // bytes that start no character
        std::string("a\x81", 2),                  // a lead byte at the end
        std::string("\x81\x20z", 3),              // a lead byte before an invalid trail
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
        {u"日\u00e9", 1, 0xE9},           // é has no code page 932 byte
        {u"\xd800z", 0, 0xD800},          // a lone high surrogate
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
