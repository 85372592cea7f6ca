#include "diary/search_fold.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/cp932.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kuv {

namespace {

constexpr std::uint16_t kNoCharacter = 0xFFFF;
// What a byte that starts no character folds to: entries never hold it.
constexpr std::uint16_t kPlaceholder = 0x00;

// Half-width katakana U+FF61 to U+FF9F and their full-width forms.
constexpr char16_t kFullWidthKana[] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9,
    0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB,
    0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
    0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,
    0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C,
};
static_assert(sizeof kFullWidthKana / sizeof kFullWidthKana[0] == 0xFF9F - 0xFF61 + 1);

// The full-width katakana that a voiced (dakuten) or semi-voiced (handakuten)
// mark turns into another letter, and that letter; 0 when it does not.
char16_t Voiced(char16_t kana, bool semi) {
    const bool haRow =
        kana == 0x30CF || kana == 0x30D2 || kana == 0x30D5 || kana == 0x30D8 || kana == 0x30DB;
    if (semi) return haRow ? static_cast<char16_t>(kana + 2) : 0;
    if (haRow) return static_cast<char16_t>(kana + 1);
    if (kana == 0x30A6) return 0x30F4;  // ウ -> ヴ
    // カ to ト: every voiced letter follows its plain one, but for the small ッ.
    if (kana >= 0x30AB && kana <= 0x30C8 && kana != 0x30C3) {
        const bool plain = kana < 0x30C3 ? (kana - 0x30AB) % 2 == 0 : (kana - 0x30C4) % 2 == 0;
        return plain ? static_cast<char16_t>(kana + 1) : 0;
    }
    return 0;
}

// The folding rules on one Unicode character: width, then kana, then case.
char16_t FoldCharacter(char16_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) c = static_cast<char16_t>(c - 0xFEE0);  // full-width ASCII
    if (c == 0x3000) c = 0x20;                                              // full-width space
    if (c == 0x301C) c = 0x7E;                                              // 〜 WAVE DASH
    if (c >= 0xFF61 && c <= 0xFF9F) c = kFullWidthKana[c - 0xFF61];         // half-width kana
    if (c >= 0x3041 && c <= 0x3096) c = static_cast<char16_t>(c + 0x60);    // hiragana
    if (c == 0x309D || c == 0x309E) c = static_cast<char16_t>(c + 0x60);    // ゝ ゞ
    if (c >= 'A' && c <= 'Z') return static_cast<char16_t>(c + 0x20);
    if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return static_cast<char16_t>(c + 0x20);
    if (c >= 0x0410 && c <= 0x042F) return static_cast<char16_t>(c + 0x20);
    if (c == 0x0401) return 0x0451;
    if (c >= 0x2160 && c <= 0x216F) return static_cast<char16_t>(c + 0x10);  // Roman numerals
    return c;
}

// cp932::IsLeadByte, here where the folding loop can have it inline.
inline bool LeadByte(unsigned b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool TrailByte(unsigned b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

struct FoldTable {
    // The folded code of every code (a byte, or lead * 256 + trail);
    // kNoCharacter where no character has that code.
    std::array<std::uint16_t, 0x10000> fold{};
    // The folded code of a half-width letter (byte - 0xA0) with ﾞ [0] or
    // ﾟ [1] after it; 0 when the two stay two characters.
    std::array<std::array<std::uint16_t, 2>, 0x40> voiced{};
    std::array<char, 0x80> ascii{};
};

// Built from the converter, so that the rules above are written in Unicode
// and each code page 932 character folds to one code: each character held
// under several codes takes the lowest.
std::unique_ptr<FoldTable> BuildTable() {
    auto t = std::make_unique<FoldTable>();
    t->fold.fill(kNoCharacter);

    // Every single byte from 0x80 and every possible pair, each followed by a
    // line break, decoded in one call: a code that is no character decodes to
    // more than one unit before its line break.
    std::string codes;
    std::vector<std::uint16_t> order;
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        codes += static_cast<char>(b);
        codes += '\n';
        order.push_back(static_cast<std::uint16_t>(b));
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!cp932::IsLeadByte(static_cast<unsigned char>(lead))) continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (!TrailByte(trail)) continue;
            codes += static_cast<char>(lead);
            codes += static_cast<char>(trail);
            codes += '\n';
            order.push_back(static_cast<std::uint16_t>(lead << 8 | trail));
        }
    }
    const std::u16string units = cp932::ToUtf16(codes);

    std::vector<char16_t> unicode(0x10000, 0);
    std::vector<std::uint16_t> lowest(0x10000, kNoCharacter);  // by Unicode character
    std::vector<bool> valid(0x10000, false);
    for (unsigned b = 0; b < 0x80; ++b) {
        unicode[b] = static_cast<char16_t>(b);
        lowest[b] = static_cast<std::uint16_t>(b);
        valid[b] = true;
    }
    std::size_t at = 0;
    for (std::uint16_t code : order) {
        const std::size_t end = units.find(u'\n', at);
        if (end == std::u16string::npos) break;
        const bool one = end - at == 1 && !(units[at] >= 0xDC80 && units[at] <= 0xDCFF);
        if (one) {
            valid[code] = true;
            unicode[code] = units[at];
            if (lowest[units[at]] == kNoCharacter) lowest[units[at]] = code;
        }
        at = end + 1;
    }
    for (unsigned code = 0; code < 0x10000; ++code) {
        if (!valid[code]) continue;
        const char16_t folded = FoldCharacter(unicode[code]);
        const std::uint16_t target = lowest[folded];
        t->fold[code] = target != kNoCharacter ? target : lowest[unicode[code]];
    }
    for (unsigned b = 0; b < 0x80; ++b) t->ascii[b] = static_cast<char>(t->fold[b]);
    // A lead byte on its own is no character.
    for (unsigned b = 0x81; b <= 0xFC; ++b) {
        if (cp932::IsLeadByte(static_cast<unsigned char>(b))) t->fold[b] = kNoCharacter;
    }
    for (unsigned b = 0xA1; b <= 0xDF; ++b) {
        if (!valid[b] || unicode[b] < 0xFF61 || unicode[b] > 0xFF9F) continue;
        const char16_t full = kFullWidthKana[unicode[b] - 0xFF61];
        for (int semi = 0; semi < 2; ++semi) {
            const char16_t v = Voiced(full, semi == 1);
            if (v != 0 && lowest[FoldCharacter(v)] != kNoCharacter) {
                t->voiced[b - 0xA0][static_cast<std::size_t>(semi)] = lowest[FoldCharacter(v)];
            }
        }
    }
    return t;
}

const FoldTable& Table() {
    static const std::unique_ptr<FoldTable> table = BuildTable();
    return *table;
}

// Folds text into out, which has room for twice its size (a half-width
// letter becomes two bytes); returns the folded size. With kMap, map gets the
// source offset of every folded byte.
template <bool kMap>
std::size_t FoldInto(std::string_view text, char* out, std::uint32_t* map) {
    const FoldTable& t = Table();
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    char* o = out;
    std::size_t i = 0;
    while (i < n) {
        const unsigned b = s[i];
        if (b < 0x80) {
            if constexpr (kMap) map[o - out] = static_cast<std::uint32_t>(i);
            *o++ = t.ascii[b];
            ++i;
            continue;
        }
        std::uint16_t code = kNoCharacter;
        std::size_t used = 1;
        if (i + 1 < n && LeadByte(b)) {
            code = t.fold[b << 8 | s[i + 1]];
            if (code != kNoCharacter) used = 2;
        }
        if (code == kNoCharacter) {
            if (b >= 0xA1 && b <= 0xDF && i + 1 < n && (s[i + 1] == 0xDE || s[i + 1] == 0xDF)) {
                code = t.voiced[b - 0xA0][s[i + 1] - 0xDE];
                used = code != 0 ? 2 : 1;
            }
            if (used == 1) code = t.fold[b];
            if (code == kNoCharacter) code = kPlaceholder;
        }
        if constexpr (kMap) {
            map[o - out] = static_cast<std::uint32_t>(i);
            if (code > 0xFF) map[o - out + 1] = static_cast<std::uint32_t>(i);
        }
        if (code > 0xFF) *o++ = static_cast<char>(code >> 8);
        *o++ = static_cast<char>(code & 0xFF);
        i += used;
    }
    return static_cast<std::size_t>(o - out);
}

}  // namespace

std::string FoldText(std::string_view text) {
    // Folded in a scratch buffer and copied out at its exact size: the
    // corpus keeps many of these, and a string grown in place keeps slack.
    thread_local std::string scratch;
    return std::string(FoldTextInto(text, scratch));
}

std::string_view FoldTextInto(std::string_view text, std::string& buffer) {
    if (buffer.size() < text.size() * 2) buffer.resize(text.size() * 2);
    return std::string_view(buffer.data(), FoldInto<false>(text, buffer.data(), nullptr));
}

std::string FoldText(std::string_view text, std::vector<std::uint32_t>& map) {
    std::string folded(text.size() * 2, '\0');
    map.assign(text.size() * 2 + 1, 0);
    const std::size_t n = FoldInto<true>(text, folded.data(), map.data());
    folded.resize(n);
    map.resize(n + 1);
    map[n] = static_cast<std::uint32_t>(text.size());
    return folded;
}

bool StartsCharacter(std::string_view folded, std::size_t pos) {
    // The bytes before pos that could lead a character pair up from the last
    // byte that cannot, which ends a character: an odd count means pos is
    // the second byte of a pair.
    std::size_t leads = 0;
    while (leads < pos && LeadByte(static_cast<unsigned char>(folded[pos - 1 - leads]))) {
        ++leads;
    }
    return leads % 2 == 0;
}

void CountBytes(std::string_view folded, ByteCounts& counts) {
    for (char c : folded) ++counts[static_cast<unsigned char>(c)];
}

Needle MakeNeedle(std::string folded, const ByteCounts* counts) {
    Needle n;
    n.bytes = std::move(folded);
    if (n.bytes.empty()) return n;
    n.a = 0;
    n.b = n.bytes.size() - 1;
    if (counts == nullptr || n.bytes.size() < 2) return n;
    auto count = [&](std::size_t i) { return (*counts)[static_cast<unsigned char>(n.bytes[i])]; };
    // The rarest byte, then the rarest of the others; later ones win ties,
    // as the last byte of a character is the more telling one.
    std::size_t rarest = 0;
    for (std::size_t i = 1; i < n.bytes.size(); ++i) {
        if (count(i) <= count(rarest)) rarest = i;
    }
    std::size_t next = rarest == 0 ? 1 : 0;
    for (std::size_t i = 0; i < n.bytes.size(); ++i) {
        if (i != rarest && count(i) <= count(next)) next = i;
    }
    n.a = std::min(rarest, next);
    n.b = std::max(rarest, next);
    return n;
}

std::size_t FindFolded(std::string_view folded, std::string_view needle, std::size_t from) {
    return FindFolded(folded, MakeNeedle(std::string(needle)), from);
}

std::size_t FindFolded(std::string_view folded, const Needle& needle, std::size_t from) {
    const std::size_t n = needle.bytes.size();
    if (n == 0 || folded.size() < n || from > folded.size() - n) return std::string_view::npos;
    const char* h = folded.data();
    const char* w = needle.bytes.data();
    const std::size_t lastStart = folded.size() - n;
    std::size_t i = from;
    if (n == 1) {
        while (i <= lastStart) {
            const void* hit = std::memchr(h + i, w[0], lastStart + 1 - i);
            if (hit == nullptr) break;
            const auto pos = static_cast<std::size_t>(static_cast<const char*>(hit) - h);
            if (StartsCharacter(folded, pos)) return pos;
            i = pos + 1;
        }
        return std::string_view::npos;
    }
    const std::size_t a = needle.a, b = needle.b;
#if defined(__SSE2__)
    // Sixteen starts at a time: those where both chosen bytes match are
    // compared whole.
    const __m128i byteA = _mm_set1_epi8(w[a]);
    const __m128i byteB = _mm_set1_epi8(w[b]);
    for (; i + 16 <= lastStart + 1; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + a));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + b));
        auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x, byteA), _mm_cmpeq_epi8(y, byteB))));
        while (mask != 0) {
            const std::size_t pos = i + static_cast<std::size_t>(__builtin_ctz(mask));
            if (std::memcmp(h + pos, w, n) == 0 && StartsCharacter(folded, pos)) return pos;
            mask &= mask - 1;
        }
    }
#endif
    for (; i <= lastStart; ++i) {
        if (h[i + a] == w[a] && h[i + b] == w[b] && std::memcmp(h + i, w, n) == 0 &&
            StartsCharacter(folded, i)) {
            return i;
        }
    }
    return std::string_view::npos;
}

}  // namespace kuv
