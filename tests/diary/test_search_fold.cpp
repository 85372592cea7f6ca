#include "diary/search_fold.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/reference.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Cp932;

bool Matches(const std::string& text, const std::string& query) {
    return FindFolded(FoldText(text), FoldText(query)) != std::string::npos;
}

struct Pair {
    const char* text;  // UTF-8, or code page 932 bytes when raw
    const char* query;
    bool raw = false;
};

std::string Bytes(const char* s, bool raw) {
    return raw ? std::string(s) : Cp932(s);
}

void ExpectFoldTogether(const Pair& p) {
    const std::string a = Bytes(p.text, p.raw), b = Bytes(p.query, p.raw);
    EXPECT_TRUE(Matches(a, b)) << p.text << " / " << p.query;
    EXPECT_TRUE(Matches(b, a)) << p.query << " / " << p.text;
    EXPECT_EQ(FoldText(a), FoldText(b)) << p.text;
}

// Pairs that must find each other, both ways round.
TEST(SearchFold, TheseMatch) {
    const Pair pairs[] = {
        {"ＡＢＣ", "abc"},
        {"ＡＢＣ", "ABC"},
        {"Kyoto", "kYOTO"},
        {"１２時", "12時"},
        {"ｶﾞｿﾘﾝ", "ガソリン"},
        {"ﾊﾟﾝ", "パン"},
        {"ﾊﾞｽ", "バス"},
        {"ｳﾞｧｲｵﾘﾝ", "ヴァイオリン"},
        {"ねこ", "ネコ"},
        {"ﾈｺ", "ねこ"},
        {"ﾃﾞｰﾀ", "でーた"},
        {"〜", "~"},
        {"～", "~"},
        {"〜", "～"},
        {"ゝ", "ヽ"},
        {"｢ﾒﾓ｣｡", "「めも」。"},
        {"ΑΒΓ", "αβγ"},
        {"ЖЁ", "жё"},
        {"Ⅳ", "ⅳ"},
        {"（メモ）", "(めも)"},
        {"東京", "東京"},
        // ∵ under its JIS code and under its NEC row 13 code.
        {"\x81\xe6", "\x87\x9a", true},
        // ¬ under its JIS code and under its IBM code.
        {"\x81\xca", "\xee\xf9", true},
    };
    for (const Pair& p : pairs) ExpectFoldTogether(p);
}

// Both ends of every folded range, so that a range cut short or run long shows.
TEST(SearchFold, RangeEndsFoldWithTheirRange) {
    const Pair pairs[] = {
        {"A", "a"},   {"Z", "z"},   {"！", "!"}, {"～", "~"},  {"Ａ", "a"},
        {"Ｚ", "z"},  {"ａ", "A"},  {"ｚ", "Z"}, {"　", " "},  {"｡", "。"},
        {"ﾟ", "゜"},  {"ｦ", "ヲ"},  {"ﾝ", "ン"}, {"ぁ", "ァ"}, {"ん", "ン"},
        {"ゝ", "ヽ"}, {"ゞ", "ヾ"}, {"Α", "α"},  {"Ω", "ω"},   {"Σ", "σ"},
        {"А", "а"},   {"Я", "я"},   {"Ё", "ё"},  {"Ⅰ", "ⅰ"},   {"Ⅹ", "ⅹ"},
    };
    for (const Pair& p : pairs) ExpectFoldTogether(p);
}

// Pairs that must stay apart, both ways round.
TEST(SearchFold, TheseDoNotMatch) {
    const Pair pairs[] = {
        {"か", "が"}, {"は", "ば"}, {"ば", "ぱ"}, {"ｶﾞ", "カ"},   {"ﾊﾟ", "ﾊﾞ"},
        {"つ", "っ"}, {"ア", "ァ"}, {"ウ", "ヴ"}, {"東", "束"},   {"ｶﾞ", "ｶ"},
        {"ー", "-"},  {"Ａ", "Α"},  {"1", "①"},   {"べ", "ヘ゛"},
    };
    for (const Pair& p : pairs) {
        const std::string a = Bytes(p.text, p.raw), b = Bytes(p.query, p.raw);
        EXPECT_FALSE(Matches(a, b)) << p.text << " / " << p.query;
        EXPECT_FALSE(Matches(b, a)) << p.query << " / " << p.text;
    }
}

// A match never starts on the second byte of a character, nor takes half of
// one: the bytes of a query may well stand inside other characters.
TEST(SearchFold, MatchesWholeCharactersOnly) {
    struct Case {
        std::string text, query;
        std::size_t want;  // folded offset, or npos
    };
    const Case cases[] = {
        {Cp932("ソ表"), "\\", std::string::npos},        // 0x83 0x5C, 0x95 0x5C
        {Cp932("亜亜"), "\x9f\x88", std::string::npos},  // 0x88 0x9F 0x88 0x9F
        {Cp932("亜亜\\"), "\\", 4},                      // the lone backslash
        {Cp932("ソa"), "a", 2},                          // 'a' after a pair
        {Cp932("ああア"), Cp932("あ"), 0},               // both fold to ア
        {Cp932("東京と京都"), Cp932("京"), 2},
        {Cp932("ポ|"), "|", 2},  // ポ is 0x83 0x7C
    };
    for (const Case& c : cases) {
        const std::string text = FoldText(c.text);
        EXPECT_EQ(FindFolded(text, FoldText(c.query)), c.want) << c.text;
        // The same when the bytes compared first are the rarest of the text.
        ByteCounts counts{};
        CountBytes(text, counts);
        EXPECT_EQ(FindFolded(text, MakeNeedle(FoldText(c.query), &counts)), c.want) << c.text;
    }
    // Every later occurrence is found as well, each only once.
    const std::string text = FoldText(Cp932("ねこネコﾈｺ猫ねこ"));
    const std::string cat = FoldText(Cp932("ねこ"));
    std::vector<std::size_t> hits;
    for (std::size_t p = FindFolded(text, cat); p != std::string::npos;
         p = FindFolded(text, cat, p + 1)) {
        hits.push_back(p);
    }
    EXPECT_EQ(hits, (std::vector<std::size_t>{0, 4, 8, 14}));
}

// Long texts go through the sixteen-at-a-time path; its edges must hold,
// whichever two bytes of the term it compares first.
TEST(SearchFold, FindsAtEveryOffsetOfALongText) {
    const std::string word = FoldText(Cp932("東京都"));
    std::vector<Needle> needles;
    for (std::size_t a = 0; a < word.size(); ++a) {
        for (std::size_t b = a; b < word.size(); ++b) needles.push_back(Needle{word, a, b});
    }
    for (std::size_t pad = 0; pad < 40; ++pad) {
        const std::string text = FoldText(std::string(pad, 'x') + Cp932("東京都"));
        for (const Needle& n : needles) {
            EXPECT_EQ(FindFolded(text, n), pad) << n.a << n.b;
            EXPECT_EQ(FindFolded(text, n, pad + 1), std::string::npos);
            EXPECT_EQ(FindFolded(text.substr(0, text.size() - 1), n), std::string::npos);
        }
    }
    // The rarest bytes by the counts are the ones chosen.
    ByteCounts counts{};
    counts.fill(100);
    counts[static_cast<unsigned char>(word[1])] = 1;
    counts[static_cast<unsigned char>(word[4])] = 2;
    const Needle chosen = MakeNeedle(word, &counts);
    EXPECT_EQ(chosen.a, 1u);
    EXPECT_EQ(chosen.b, 4u);
    EXPECT_EQ(FindFolded("abc", ""), std::string::npos);
    EXPECT_EQ(FindFolded("abc", "abcd"), std::string::npos);
    EXPECT_EQ(FindFolded("abc", "c", 5), std::string::npos);
}

TEST(SearchFold, MapsFoldedOffsetsBackToTheText) {
    // A B C ｶﾞ 東 京 ｡ : the voiced pair becomes one character of two bytes,
    // the full-width letters one byte each.
    const std::string text = Cp932("ＡBＣｶﾞ東京｡");
    std::vector<std::uint32_t> map;
    const std::string folded = FoldText(text, map);
    ASSERT_EQ(folded, FoldText(text));
    ASSERT_EQ(map.size(), folded.size() + 1);
    struct Case {
        const char* query;
        std::uint32_t begin, end;
    };
    const Case cases[] = {
        {"abc", 0, 5}, {"が", 5, 7}, {"東京", 7, 11}, {"。", 11, 12}, {"cガ東", 3, 9},
    };
    for (const Case& c : cases) {
        const std::string q = FoldText(Cp932(c.query));
        const std::size_t at = FindFolded(folded, q);
        ASSERT_NE(at, std::string::npos) << c.query;
        EXPECT_EQ(map[at], c.begin) << c.query;
        EXPECT_EQ(map[at + q.size()], c.end) << c.query;
    }
}

// Bytes that start no character fold to the byte 0 and leave their
// neighbours whole; line breaks stay where they were.
TEST(SearchFold, KeepsBrokenBytesApartAndLinesInPlace) {
    const std::string text = std::string("a\x80") + "\x81\r\n" + Cp932("ソ") + "\x85\x40" + "\x83";
    std::vector<std::uint32_t> map;
    const std::string folded = FoldText(text, map);
    EXPECT_EQ(folded, std::string("a\0\0\r\n\x83\x5c\0@\0", 10));
    EXPECT_EQ(map, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 5, 7, 8, 9, 10}));
    EXPECT_NE(FindFolded(folded, "@"), std::string::npos);
    EXPECT_EQ(FindFolded(folded, "\\"), std::string::npos);
}

}  // namespace
}  // namespace kuv
