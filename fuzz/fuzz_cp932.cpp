// The code page 932 conversion both ways.
//
// Input: byte 0 = mode, then the text: as code page 932 bytes (mode 0), as
// UTF-16LE code units (mode 1) or as UTF-8 (mode 2).
// Properties:
//  - bytes -> UTF-16 -> bytes always converts, and gives the bytes back
//    except where code page 932 holds a character twice (the NEC and IBM
//    duplicates), where it gives the one form that reads as the same text;
//    written back keeping the codes of the bytes it came from, it gives the
//    very bytes back, and with a character typed, a text that reads back;
//  - a Unicode text that converts to bytes reads back as the same text
//    (no character is replaced without a word), except that the JIS
//    characters that Unicode names twice read back under code page 932's name;
//  - UTF-8 out is well formed; UTF-8 in round-trips when it converts.
#include <cstdio>
#include <string>

#include "harness.h"
#include "platform/cp932.h"

using kuv::fuzz::Check;
using kuv::fuzz::Hex;
namespace cp = kuv::cp932;

namespace {

std::string HexUtf16(std::u16string_view u) {
    std::string s;
    char buf[8];
    for (std::size_t i = 0; i < u.size() && i < 32; ++i) {
        std::snprintf(buf, sizeof buf, "%04X ", static_cast<unsigned>(u[i]));
        s += buf;
    }
    return s;
}

bool WellFormedUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        int extra;
        char32_t c;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            c = b & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(extra) >= s.size()) return false;
        for (int k = 1; k <= extra; ++k) {
            const auto t = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((t & 0xC0) != 0x80) return false;
            c = (c << 6) | (t & 0x3F);
        }
        if ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
            (c >= 0xD800 && c <= 0xDFFF)) {
            return false;
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

bool IsSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// The JIS characters that Unicode names twice, written on purpose as the code
// page 932 code of the same JIS character: they read back under code page
// 932's name (〜 as ～ and so on), as on Windows.
char16_t ReadsBackAs(char16_t c) {
    switch (c) {
        case 0x301C:
            return 0xFF5E;
        case 0x2016:
            return 0x2225;
        case 0x2212:
            return 0xFF0D;
        case 0x2014:
            return 0x2015;
        case 0x00A2:
            return 0xFFE0;
        case 0x00A3:
            return 0xFFE1;
        case 0x00AC:
            return 0xFFE2;
        default:
            return c;
    }
}

void CheckBytes(std::string_view bytes) {
    const std::u16string u = cp::ToUtf16(bytes);
    const cp::Encoded back = cp::FromUtf16(u);
    Check(back.ok, "every byte string converts back", Hex(bytes));
    if (back.bytes != bytes) {
        // Allowed only where the text reads the same: a duplicate code.
        Check(cp::ToUtf16(back.bytes) == u, "bytes -> UTF-16 -> bytes keeps the text",
              Hex(bytes) + " -> " + Hex(back.bytes));
        Check(cp::FromUtf16(cp::ToUtf16(back.bytes)).bytes == back.bytes,
              "the canonical form is stable", Hex(back.bytes));
    }
    Check(WellFormedUtf8(cp::ToUtf8(bytes)), "ToUtf8 gives well-formed UTF-8", Hex(bytes));

    const cp::Encoded kept = cp::FromUtf16Keeping(u, bytes);
    Check(kept.ok && kept.bytes == bytes, "an unedited text keeps its bytes", Hex(bytes));
    // A letter typed after a whole character (not after an escaped byte).
    const std::size_t at = u.size() / 2;
    if (at > 0 && !IsSurrogate(u[at - 1])) {
        std::u16string typed = u;
        typed.insert(at, 1, u'Z');
        const cp::Encoded e = cp::FromUtf16Keeping(typed, bytes);
        Check(e.ok && cp::ToUtf16(e.bytes) == typed, "a typed character reads back", Hex(bytes));
    }
}

void CheckUtf16(std::u16string_view u) {
    const cp::Encoded e = cp::FromUtf16(u);
    if (!e.ok) {
        Check(e.badIndex < u.size(), "the first bad character lies in the text");
        Check(e.bytes.empty(), "a failed conversion gives no bytes");
        const char16_t bad = u[e.badIndex];
        if (!IsSurrogate(bad)) Check(e.badChar == bad, "the bad character is named");
        return;
    }
    // The escapes of undecodable bytes may merge into a character, so the text
    // is compared only when it holds no surrogate.
    std::u16string expected;
    for (char16_t c : u) {
        if (IsSurrogate(c)) return;
        expected.push_back(ReadsBackAs(c));
    }
    Check(cp::ToUtf16(e.bytes) == expected, "a text that converts reads back as the same text",
          HexUtf16(u));
}

void CheckUtf8(std::string_view s) {
    const std::optional<std::string> b = cp::FromUtf8(s);
    if (!b) return;
    Check(WellFormedUtf8(s), "FromUtf8 accepts only well-formed UTF-8", Hex(s));
    std::u16string u = cp::ToUtf16(*b);
    for (char16_t c : u) {
        if (IsSurrogate(c)) return;
    }
    const cp::Encoded again = cp::FromUtf16(u);
    Check(again.ok && again.bytes == *b, "UTF-8 -> bytes is stable");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 3) {
        case 0:
            CheckBytes(text);
            break;
        case 1: {
            std::u16string u;
            for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
                u.push_back(static_cast<char16_t>(static_cast<unsigned char>(text[i]) |
                                                  (static_cast<unsigned char>(text[i + 1]) << 8)));
            }
            CheckUtf16(u);
            break;
        }
        default:
            CheckUtf8(text);
            CheckBytes(text);
            break;
    }
    return 0;
}
