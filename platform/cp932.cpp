#include "platform/cp932.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kuv::cp932 {
namespace {

// One iconv descriptor per direction and thread, opened on first use: a
// descriptor keeps state between calls, and a search or export may read entry
// files on a worker thread while the window converts text.
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
    thread_local Converter c("UTF-16LE", "CP932");
    return c;
}
Converter& FromUtf16Conv() {
    thread_local Converter c("CP932", "UTF-16LE");
    return c;
}

void AppendUtf16Le(std::u16string& out, const std::string& le) {
    for (std::size_t i = 0; i + 1 < le.size(); i += 2) {
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(le[i]) |
                                            (static_cast<unsigned char>(le[i + 1]) << 8)));
    }
}

constexpr char16_t kEscapeBase = 0xDC00;

bool IsEscape(char16_t c) {
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
}

// The bytes of one character: (length << 16) | code, the code being the byte
// or lead * 256 + trail. Zero and one are no form.
using Form = std::uint32_t;
constexpr Form kUnknown = 0;
constexpr Form kRefused = 1;

Form MakeForm(const std::string& bytes) {
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    if (bytes.size() == 1) return (Form{1} << 16) | b0;
    return (Form{2} << 16) | (Form{b0} << 8) | static_cast<unsigned char>(bytes[1]);
}

unsigned char FirstByte(Form f) {
    return static_cast<unsigned char>((f >> 16) == 1 ? f & 0xFF : (f >> 8) & 0xFF);
}

// The one character that the bytes read as, or -1 when they are not exactly one.
int ReadOne(const std::string& bytes) {
    Converter& conv = ToUtf16Conv();
    std::string le;
    if (!conv.ok() || conv.Convert(bytes.data(), bytes.size(), le) != bytes.size() ||
        le.size() != 2) {
        return -1;
    }
    return static_cast<unsigned char>(le[0]) | (static_cast<unsigned char>(le[1]) << 8);
}

// JIS X 0208 characters that Unicode names twice: the converter writes the
// JIS names as the code page 932 code of the same JIS character, which reads
// back under its code page 932 name. Japanese input methods on Linux type
// U+301C for 〜, and Windows converts all of these the same way, so they are
// kept; any other character that would read back as another is refused
// (U+00A5 ¥ and U+203E ‾ would come back as the ASCII backslash and tilde).
struct LookAlike {
    char16_t typed;
    std::uint16_t code;
    char16_t readBack;
};
constexpr LookAlike kJisLookAlikes[] = {
    {0x301C, 0x8160, 0xFF5E},  // 〜 WAVE DASH -> ～
    {0x2016, 0x8161, 0x2225},  // ‖ DOUBLE VERTICAL LINE -> ∥
    {0x2212, 0x817C, 0xFF0D},  // − MINUS SIGN -> －
    {0x2014, 0x815C, 0x2015},  // — EM DASH -> ―
    {0x00A2, 0x8191, 0xFFE0},  // ¢ -> ￠
    {0x00A3, 0x8192, 0xFFE1},  // £ -> ￡
    {0x00AC, 0x81CA, 0xFFE2},  // ¬ -> ￢
};

// The converter's form of c, or kRefused when it has none that reads back as c
// (or as its JIS look-alike).
Form ComputeForm(char16_t c) {
    if (c >= 0xD800 && c <= 0xDFFF) return kRefused;
    Converter& conv = FromUtf16Conv();
    const char le[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    std::string bytes;
    if (!conv.ok() || conv.Convert(le, 2, bytes) != 2 || bytes.empty() || bytes.size() > 2) {
        return kRefused;
    }
    const Form form = MakeForm(bytes);
    const int back = ReadOne(bytes);
    if (back == c) return form;
    for (const LookAlike& a : kJisLookAlikes) {
        if (a.typed == c && form == ((Form{2} << 16) | a.code) && back == a.readBack) return form;
    }
    return kRefused;
}

// Each character's form, worked out through the converter the first time the
// character is met; a text is then written by table look-up.
class EncodeTable {
  public:
    Form Of(char16_t c) {
        Form& f = forms_[c];
        if (f == kUnknown) f = ComputeForm(c);
        return f;
    }

  private:
    std::vector<Form> forms_ = std::vector<Form>(0x10000, kUnknown);
};

// Filled as characters are met, so each thread keeps its own.
EncodeTable& Table() {
    thread_local EncodeTable t;
    return t;
}

// Which double-byte codes are characters, and the characters that code page 932
// holds under more than one code (NEC row 13, the NEC-selected IBM rows and
// the IBM rows). Built on first need, which only text with escapes has.
struct CodeIndex {
    std::vector<bool> pairs = std::vector<bool>(0x10000, false);  // lead * 256 + trail
    std::unordered_map<char16_t, std::vector<Form>> duplicates;
};

const CodeIndex& Codes() {
    static const CodeIndex index = [] {
        CodeIndex x;
        std::unordered_map<char16_t, std::vector<Form>> all;
        for (int b = 0; b < 0x100; ++b) {
            const std::string bytes(1, static_cast<char>(b));
            const int c = ReadOne(bytes);
            if (c >= 0) all[static_cast<char16_t>(c)].push_back(MakeForm(bytes));
        }
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
                const int c = ReadOne(bytes);
                if (c < 0) continue;
                x.pairs[static_cast<std::size_t>(lead << 8 | trail)] = true;
                all[static_cast<char16_t>(c)].push_back(MakeForm(bytes));
            }
        }
        for (auto& [c, forms] : all) {
            if (forms.size() > 1) x.duplicates.emplace(c, std::move(forms));
        }
        return x;
    }();
    return index;
}

bool PairsWith(unsigned char lead, unsigned char next) {
    if (next < 0x40 || next == 0x7F || next > 0xFC) return false;  // never a second byte
    return Codes().pairs[static_cast<std::size_t>(lead << 8 | next)];
}

// A lead byte kept as an escape stays a byte of its own only when the byte
// after it does not complete a character with it. The entry's own bytes had
// such a form of the next character; where the converter's form of a
// duplicated character would pair, another of its codes is taken. (A text
// edited so that a character follows the escape directly may have none.)
Form FormAfterEscapedLead(unsigned char lead, char16_t c, Form form) {
    if (!PairsWith(lead, FirstByte(form))) return form;
    const auto& dups = Codes().duplicates;
    const auto it = dups.find(c);
    if (it == dups.end()) return form;
    for (Form other : it->second) {
        if (!PairsWith(lead, FirstByte(other))) return other;
    }
    return form;
}

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

bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

std::u16string ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    Converter& conv = ToUtf16Conv();
    std::string le;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        le.clear();
        std::size_t used = conv.ok() ? conv.Convert(bytes.data() + pos, bytes.size() - pos, le) : 0;
        AppendUtf16Le(out, le);
        pos += used;
        if (pos < bytes.size()) {
            // A byte that starts no valid character keeps its value as an escape.
            out.push_back(
                static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[pos])));
            ++pos;
        }
    }
    return out;
}

Encoded FromUtf16(std::u16string_view text) {
    Encoded result;
    result.bytes.reserve(text.size());
    EncodeTable& table = Table();
    // Written through a small buffer: appending byte by byte would cost more
    // than the look-ups themselves.
    char buf[4096];
    std::size_t n = 0;
    unsigned char escapedLead = 0;  // the byte of an escape just written, when a lead byte
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (n + 2 > sizeof buf) {
            result.bytes.append(buf, n);
            n = 0;
        }
        const char16_t c = text[i];
        if (IsEscape(c)) {
            const auto b = static_cast<unsigned char>(c - kEscapeBase);
            buf[n++] = static_cast<char>(b);
            escapedLead = IsLeadByte(b) ? b : 0;
            continue;
        }
        Form form = table.Of(c);
        if (form == kRefused) {
            char32_t bad = c;
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                text[i + 1] <= 0xDFFF) {
                bad = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            }
            result.ok = false;
            result.badIndex = i;
            result.badChar = bad;
            result.bytes.clear();
            return result;
        }
        if (escapedLead != 0) {
            form = FormAfterEscapedLead(escapedLead, c, form);
            escapedLead = 0;
        }
        if ((form >> 16) == 2) buf[n++] = static_cast<char>((form >> 8) & 0xFF);
        buf[n++] = static_cast<char>(form & 0xFF);
    }
    result.bytes.append(buf, n);
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
