#include "platform/cp932.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/text_align.h"
#include "platform/unicode.h"

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
// character is met; a text is then written by table look-up. The table is
// made in blocks of 256 characters as they are met: a Japanese text meets a
// few dozen of them, and the program does not pay for all 65536 at start.
class EncodeTable {
  public:
    Form Of(char16_t c) {
        std::unique_ptr<Block>& block = blocks_[c >> 8];
        if (!block) {
            block = std::make_unique<Block>();
            block->fill(kUnknown);
        }
        Form& f = (*block)[c & 0xFF];
        if (f == kUnknown) f = ComputeForm(c);
        return f;
    }

  private:
    using Block = std::array<Form, 0x100>;
    std::array<std::unique_ptr<Block>, 0x100> blocks_;
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

// Writes text; keep(i) names the code that character i carries over from
// the text it was edited from, or kUnknown for the converter's own form.
template <class Keep>
Encoded Encode(std::u16string_view text, Keep&& keep) {
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
        Form form = keep(i);
        if (form == kUnknown) form = table.Of(c);
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

// A character's code where it is not the converter's form of that character,
// by the character's UTF-16 index in the text.
struct Placed {
    std::size_t index;
    Form form;
};

// Only these lead bytes start a code that repeats a character coded
// elsewhere (NEC row 13, the NEC-selected IBM rows, the IBM rows): text
// without them is written as the converter writes it.
bool MayHoldOtherCodes(std::string_view bytes) {
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == 0x87 || b == 0xED || b == 0xEE || (b >= 0xFA && b <= 0xFC)) return true;
    }
    return false;
}

// The codes of bytes that the converter would not write back, by index in
// units = ToUtf16(bytes): each unit is one escaped byte or one character of
// one or two bytes.
std::vector<Placed> OtherCodes(std::string_view bytes, std::u16string_view units) {
    std::vector<Placed> out;
    EncodeTable& table = Table();
    std::size_t pos = 0;
    for (std::size_t i = 0; i < units.size() && pos < bytes.size(); ++i) {
        const char16_t c = units[i];
        const auto lead = static_cast<unsigned char>(bytes[pos]);
        if (IsEscape(c) || !IsLeadByte(lead) || pos + 1 >= bytes.size()) {
            ++pos;
            continue;
        }
        const Form form =
            (Form{2} << 16) | (Form{lead} << 8) | static_cast<unsigned char>(bytes[pos + 1]);
        pos += 2;
        if (form != table.Of(c)) out.push_back({i, form});
    }
    return out;
}

// For a text too changed to align: each character that the original held
// under one code only, that code.
std::unordered_map<char16_t, Form> OnlyCodes(std::u16string_view before,
                                             const std::vector<Placed>& others) {
    struct Seen {
        Form form;
        std::size_t placed = 0;
        std::size_t all = 0;
    };
    std::unordered_map<char16_t, Seen> seen;
    for (const Placed& p : others) {
        auto [it, added] = seen.try_emplace(before[p.index], Seen{p.form});
        // Two different codes: neither is the character's own.
        if (!added && it->second.form != p.form) it->second.form = kUnknown;
        ++it->second.placed;
    }
    for (const char16_t c : before) {
        if (auto it = seen.find(c); it != seen.end()) ++it->second.all;
    }
    std::unordered_map<char16_t, Form> only;
    for (const auto& [c, s] : seen) {
        // Also written in the converter's form somewhere: no single code.
        if (s.form != kUnknown && s.placed == s.all) only.emplace(c, s.form);
    }
    return only;
}

// Edits between two saves are few: a longer script is not searched for.
constexpr std::size_t kMaxEdits = 512;
constexpr std::size_t kMaxAlignSteps = std::size_t{1} << 22;

// The codes of others that the edit from before to after carries over, by
// index in after. Text kept at the start and at the end keeps its codes
// outright; the changed middle is aligned, or, when that costs too much, its
// characters take the one code that they had throughout the original.
std::vector<Placed> Carry(std::u16string_view before, std::u16string_view after,
                          const std::vector<Placed>& others) {
    const std::size_t n = before.size();
    const std::size_t m = after.size();
    std::size_t head = 0;
    while (head < n && head < m && before[head] == after[head]) ++head;
    std::size_t tail = 0;
    while (tail < n - head && tail < m - head && before[n - 1 - tail] == after[m - 1 - tail]) {
        ++tail;
    }
    const auto indexBelow = [&](std::size_t limit) {
        return std::partition_point(others.begin(), others.end(),
                                    [&](const Placed& p) { return p.index < limit; });
    };
    const auto middle = indexBelow(head);
    const auto end = indexBelow(n - tail);

    std::vector<Placed> kept;
    kept.reserve(others.size());
    kept.assign(others.begin(), middle);
    if (middle != end) {
        const std::u16string_view was = before.substr(head, n - tail - head);
        const std::u16string_view is = after.substr(head, m - tail - head);
        if (const auto pairs = text::KeptCharacters(was, is, kMaxEdits, kMaxAlignSteps)) {
            auto it = middle;
            for (const auto& [x, y] : *pairs) {
                while (it != end && it->index < head + x) ++it;
                if (it == end) break;
                if (it->index == head + x) kept.push_back({head + y, it->form});
            }
        } else {
            const auto only = OnlyCodes(before, others);
            for (std::size_t i = head; i < m - tail; ++i) {
                if (const auto it = only.find(after[i]); it != only.end()) {
                    kept.push_back({i, it->second});
                }
            }
        }
    }
    for (auto it = end; it != others.end(); ++it) kept.push_back({it->index - n + m, it->form});
    return kept;
}

}  // namespace

bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

std::u16string ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    Converter& conv = ToUtf16Conv();
    // Room for the whole text at once: growing it step by step would copy it
    // over and over.
    std::string le;
    le.reserve(2 * bytes.size());
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
    return Encode(text, [](std::size_t) { return kUnknown; });
}

Encoded FromUtf16Keeping(std::u16string_view text, std::string_view original) {
    if (!MayHoldOtherCodes(original)) return FromUtf16(text);
    const std::u16string before = ToUtf16(original);
    const std::vector<Placed> others = OtherCodes(original, before);
    if (others.empty()) return FromUtf16(text);
    const std::vector<Placed> kept = Carry(before, text, others);
    std::size_t next = 0;
    Encoded result = Encode(text, [&](std::size_t i) {
        while (next < kept.size() && kept[next].index < i) ++next;
        return next < kept.size() && kept[next].index == i ? kept[next].form : kUnknown;
    });
    // Only an escaped lead byte can take a kept code's first byte for its
    // partner; with one in the text, the bytes are read back, and should
    // they read otherwise, the converter's own forms are the safe answer.
    const bool escapedLead = std::any_of(text.begin(), text.end(), [](char16_t c) {
        return IsEscape(c) && IsLeadByte(static_cast<unsigned char>(c - kEscapeBase));
    });
    if (result.ok && escapedLead && ToUtf16(result.bytes) != text) return FromUtf16(text);
    return result;
}

std::string ToUtf8(std::string_view bytes) {
    return unicode::Utf16ToUtf8(ToUtf16(bytes));
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
    std::u16string u;
    u.reserve(utf8.size());
    if (!unicode::Utf8ToUtf16(utf8, u)) return std::nullopt;
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
