// Text that crosses the edge between the panes (Unicode) and the files (code
// page 932) must come back as the user left it: no character replaced
// without a word, no untouched byte of an entry changed by an edit elsewhere.
// Also names in the settings file that the file cannot hold.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/profile.h"
#include "diary/diary_book.h"
#include "platform/cp932.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::ReadBytes;
using test::WriteBytes;

std::string Hex16(const std::u16string& u) {
    std::string s;
    char buf[8];
    for (char16_t c : u) {
        std::snprintf(buf, sizeof buf, "%04X ", static_cast<unsigned>(c));
        s += buf;
    }
    return s;
}

// Characters that glibc's CP932 converter writes as the bytes of another
// character ("best fit"): saved and loaded again, the entry would show a
// different character than the one typed. They must be refused like any
// other character that the code page cannot hold.
TEST(TextEdge, CharactersThatWouldComeBackAsOthersAreRefused) {
    const struct {
        char16_t c;
        const char* name;
    } cases[] = {
        {0x00A5, "YEN SIGN"},  // would come back as "\"
        {0x203E, "OVERLINE"},  // would come back as "~"
    };
    for (const auto& c : cases) {
        const std::u16string text{u'a', c.c, u'b'};
        const cp932::Encoded e = cp932::FromUtf16(text);
        if (e.ok) {
            ADD_FAILURE() << c.name << " is written as bytes that read back as "
                          << Hex16(cp932::ToUtf16(e.bytes)) << "instead of being refused";
        } else {
            EXPECT_EQ(e.badIndex, 1u) << c.name;
            EXPECT_EQ(e.badChar, static_cast<char32_t>(c.c)) << c.name;
        }
    }
}

// The one exception, on purpose: JIS characters that Unicode names twice are
// written as the code page 932 code of the same JIS character (Japanese input
// methods on Linux type U+301C for 〜; Windows converts them the same way) and
// read back under code page 932's name.
const struct {
    char16_t typed;
    char16_t readBack;
} kJisLookAlikes[] = {
    {0x301C, 0xFF5E},  // 〜 WAVE DASH -> ～
    {0x2016, 0x2225},  // ‖ DOUBLE VERTICAL LINE -> ∥
    {0x2212, 0xFF0D},  // − MINUS SIGN -> －
    {0x2014, 0x2015},  // — EM DASH -> ―
    {0x00A2, 0xFFE0},  // ¢ -> ￠
    {0x00A3, 0xFFE1},  // £ -> ￡
    {0x00AC, 0xFFE2},  // ¬ -> ￢
};

// Every character that converts reads back as itself, or is a JIS look-alike.
TEST(TextEdge, EveryCharacterThatConvertsReadsBackAsItself) {
    int converted = 0, changed = 0, alike = 0;
    for (char32_t c = 1; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const std::u16string u(1, static_cast<char16_t>(c));
        const cp932::Encoded e = cp932::FromUtf16(u);
        if (!e.ok) continue;
        ++converted;
        const std::u16string back = cp932::ToUtf16(e.bytes);
        if (back == u) continue;
        bool allowed = false;
        for (const auto& a : kJisLookAlikes) {
            allowed = allowed || (a.typed == c && back == std::u16string(1, a.readBack));
        }
        if (allowed) {
            ++alike;
        } else {
            ++changed;
            ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(c) << " reads back as "
                          << Hex16(back);
        }
    }
    std::printf("  %d characters convert, %d as their JIS look-alike, %d read back as another\n",
                converted, alike, changed);
    EXPECT_EQ(changed, 0);
}

// Code page 932 holds some characters twice (the NEC and IBM extensions):
// they are written back in one form, which reads as the same text.
TEST(TextEdge, DuplicateCodesAreWrittenInAFormThatReadsTheSame) {
    int pairs = 0, rewritten = 0;
    for (int a = 0x81; a <= 0xFC; ++a) {
        for (int b = 0x40; b <= 0xFC; ++b) {
            const std::string bytes{static_cast<char>(a), static_cast<char>(b)};
            const std::u16string u = cp932::ToUtf16(bytes);
            const cp932::Encoded back = cp932::FromUtf16(u);
            ASSERT_TRUE(back.ok);
            ++pairs;
            if (back.bytes != bytes) {
                ++rewritten;
                EXPECT_EQ(cp932::ToUtf16(back.bytes), u) << std::hex << a << " " << b;
            }
        }
    }
    std::printf("  %d double-byte codes, %d written back in their other form\n", pairs, rewritten);
}

// A byte that starts no character is kept as an escape; when the character
// after it is written in its other duplicate form, the kept byte pairs with
// that form's first byte and both read as different characters.
TEST(TextEdge, AnUndecodableByteBeforeADuplicateCodeKeepsTheText) {
    const char* const cases[] = {
        "\xee\xee\xc0",          // EE (no character) + EEC0 (NEC-selected IBM, U+92FF)
        "\x81\xed\x40",          // 81 + ED40 (U+7E8A) written back as FA5C
        "\xfc\x87\x90",          // FC + 8790 (NEC row 13 U+2252) written back as 81E0
        "text \xe0\xfa\x4a end"  // E0 + FA4A (IBM U+2160) written back as 8754
    };
    for (const char* c : cases) {
        const std::string bytes = c;
        const std::u16string shown = cp932::ToUtf16(bytes);
        const cp932::Encoded saved = cp932::FromUtf16(shown);
        ASSERT_TRUE(saved.ok);
        EXPECT_EQ(cp932::ToUtf16(saved.bytes), shown)
            << "text " << Hex16(shown) << "come back as " << Hex16(cp932::ToUtf16(saved.bytes));
    }
}

// The same seen from the diary: an entry with such bytes, a line typed at
// its end, saved and loaded again: the untouched first line must not change.
TEST(TextEdge, AnEditAtTheEndLeavesTheRestOfTheEntryAsItWas) {
    test::TempDir dir(test::FastTempBase());
    const std::string folder = dir.path();
    WriteBytes(folder + "/0117.dia", "\xee\xee\xc0\r\n");
    const PaneContent loaded = LoadPane(folder, "0117", "");
    std::u16string pane = cp932::ToUtf16(loaded.text);
    const std::u16string untouched = pane;
    pane += u"added\r\n";
    const cp932::Encoded saved = cp932::FromUtf16(pane);
    ASSERT_TRUE(saved.ok);
    SaveEntry(folder, "0117", saved.bytes, false, "");
    const std::u16string reloaded = cp932::ToUtf16(LoadPane(folder, "0117", "").text);
    EXPECT_EQ(reloaded.substr(0, untouched.size()), untouched)
        << "was " << Hex16(untouched) << "now " << Hex16(reloaded);
}

// A section name whose last byte is a lead byte: written as "[" name "]",
// the reader takes the "]" for the second byte of a character, so the
// section is never found again. Such a name must be refused, or read back.
TEST(ProfileNames, ASectionEndingInALeadByteIsRefusedOrReadsBack) {
    test::TempDir dir(test::FastTempBase());
    const std::string path = dir / "plain.ini";
    for (const char* section : {"\xee", "NAME\x81", "\x95\x5c\x82"}) {
        const bool written = WritePrivateProfileString(section, "KEY", "value", path);
        if (written) {
            EXPECT_EQ(GetPrivateProfileString(section, "KEY", "<none>", 2048, path), "value")
                << "the write reported success but the entry cannot be read: "
                << test::ReadBytes(path);
        }
        ::unlink(path.c_str());
    }
}

}  // namespace
}  // namespace kuv
