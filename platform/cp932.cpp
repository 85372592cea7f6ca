#include "platform/cp932.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kuv::cp932 {
namespace {

// One iconv descriptor per direction, opened on first use; the program has a
// single user-interface thread, the tools none at all.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of [in, in + inLeft) as it can, appending to out.
    // Returns the number of input bytes consumed; stops at the first
    // sequence it cannot convert.
    std::size_t Convert(const char* in, std::size_t inLeft, std::string& out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in);
        std::size_t left = inLeft;
        char buf[4096];
        while (left > 0) {
            char* dst = buf;
            std::size_t room = sizeof buf;
            std::size_t r = iconv(cd_, &src, &left, &dst, &room);
            out.append(buf, static_cast<std::size_t>(dst - buf));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) break;
        }
        return inLeft - left;
    }

private:
    iconv_t cd_;
};

Converter& ToUtf16Conv() {
    static Converter c("UTF-16LE", "CP932");
    return c;
}
Converter& FromUtf16Conv() {
    static Converter c("CP932", "UTF-16LE");
    return c;
}

void AppendUtf16Le(std::u16string& out, const std::string& le) {
    for (std::size_t i = 0; i + 1 < le.size(); i += 2) {
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(le[i]) |
                                            (static_cast<unsigned char>(le[i + 1]) << 8)));
    }
}

constexpr char16_t kEscapeBase = 0xDC00;

bool IsEscape(char16_t c) { return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF; }

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Strict UTF-8 decoding; false on any malformed sequence.
bool DecodeUtf8(std::string_view s, std::u16string& out) {
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        char32_t c;
        int extra;
        if (b < 0x80) {
            c = b;
            extra = 0;
        } else if (b >= 0xC2 && b <= 0xDF) {
            c = b & 0x1F;
            extra = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            c = b & 0x0F;
            extra = 2;
        } else if (b >= 0xF0 && b <= 0xF4) {
            c = b & 0x07;
            extra = 3;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(extra) >= s.size() && extra > 0) return false;
        for (int k = 1; k <= extra; ++k) {
            unsigned char t = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((t & 0xC0) != 0x80) return false;
            c = (c << 6) | (t & 0x3F);
        }
        if ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
            (c >= 0xD800 && c <= 0xDFFF)) {
            return false;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

}  // namespace

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

std::u16string ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    Converter& conv = ToUtf16Conv();
    std::string le;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        le.clear();
        std::size_t used = conv.ok() ? conv.Convert(bytes.data() + pos, bytes.size() - pos, le)
                                     : 0;
        AppendUtf16Le(out, le);
        pos += used;
        if (pos < bytes.size()) {
            // A byte that starts no valid character keeps its value as an escape.
            out.push_back(static_cast<char16_t>(kEscapeBase +
                                                static_cast<unsigned char>(bytes[pos])));
            ++pos;
        }
    }
    return out;
}

Encoded FromUtf16(std::u16string_view text) {
    Encoded result;
    result.bytes.reserve(text.size());
    Converter& conv = FromUtf16Conv();
    std::size_t i = 0;
    std::string le;
    while (i < text.size()) {
        if (IsEscape(text[i])) {
            result.bytes.push_back(static_cast<char>(text[i] - kEscapeBase));
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !IsEscape(text[end])) ++end;
        le.clear();
        le.reserve((end - i) * 2);
        for (std::size_t k = i; k < end; ++k) {
            le.push_back(static_cast<char>(text[k] & 0xFF));
            le.push_back(static_cast<char>(text[k] >> 8));
        }
        std::size_t used = conv.ok() ? conv.Convert(le.data(), le.size(), result.bytes) : 0;
        if (used < le.size()) {
            std::size_t bad = i + used / 2;
            char32_t c = text[bad];
            if (c >= 0xD800 && c <= 0xDBFF && bad + 1 < text.size() && text[bad + 1] >= 0xDC00 &&
                text[bad + 1] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (text[bad + 1] - 0xDC00);
            }
            result.ok = false;
            result.badIndex = bad;
            result.badChar = c;
            result.bytes.clear();
            return result;
        }
        i = end;
    }
    return result;
}

std::string ToUtf8(std::string_view bytes) {
    std::u16string u = ToUtf16(bytes);
    std::string out;
    out.reserve(u.size());
    for (std::size_t i = 0; i < u.size(); ++i) {
        char32_t c = u[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < u.size() && u[i + 1] >= 0xDC00 &&
            u[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
    std::u16string u;
    u.reserve(utf8.size());
    if (!DecodeUtf8(utf8, u)) return std::nullopt;
    Encoded e = FromUtf16(u);
    if (!e.ok) return std::nullopt;
    return std::move(e.bytes);
}

std::string CodePointName(char32_t c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
    return buf;
}

}  // namespace kuv::cp932
