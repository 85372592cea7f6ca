#include "app/profile.h"

#include <cstdint>
#include <string>
#include <vector>

#include "app/settings.h"
#include "platform/cp932.h"
#include "platform/fileio.h"

namespace kuv {

namespace {

// A settings file is a few hundred bytes; anything this large is not one and
// is read as missing rather than parsed.

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool IsLead(char c) {
    return cp932::IsLeadByte(static_cast<unsigned char>(c));
}

char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Names match without regard to the case of ASCII letters; the second byte of
// a double-byte character can look like a letter and is compared exactly.
bool NameEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (IsLead(a[i]) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

// The first "]" that is not the second byte of a double-byte character.
std::size_t FindCloseBracket(std::string_view s, std::size_t from) {
    for (std::size_t i = from; i < s.size(); ++i) {
        if (IsLead(s[i])) {
            ++i;
            continue;
        }
        if (s[i] == ']') return i;
    }
    return std::string_view::npos;
}

// True when the last byte is a lead byte that has no second byte.
bool EndsInLeadByte(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (IsLead(s[i])) {
            if (i + 1 == s.size()) return true;
            ++i;
        }
    }
    return false;
}

struct Line {
    std::size_t begin = 0;  // first byte
    std::size_t end = 0;    // one past the last byte before the line break
    std::size_t next = 0;   // first byte of the following line
};

// Lines ended by CR LF, a lone CR or a lone LF; the last one may have none.
std::vector<Line> SplitLines(std::string_view s) {
    std::vector<Line> lines;
    std::size_t i = 0;
    while (i < s.size()) {
        Line l;
        l.begin = i;
        while (i < s.size() && s[i] != '\r' && s[i] != '\n') ++i;
        l.end = i;
        if (i < s.size()) {
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
            ++i;
        }
        l.next = i;
        lines.push_back(l);
    }
    return lines;
}

enum class LineKind { Other, Section, Key };

struct Parsed {
    LineKind kind = LineKind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // a key's value, trimmed, quotes still on
};

Parsed ParseLine(std::string_view text) {
    Parsed p;
    std::string_view t = Trim(text);
    if (!t.empty() && t.front() == '[') {
        std::size_t close = FindCloseBracket(t, 1);
        if (close != std::string_view::npos) {
            p.kind = LineKind::Section;
            p.name = Trim(t.substr(1, close - 1));
            return p;
        }
    }
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return p;
    p.kind = LineKind::Key;
    p.name = Trim(t.substr(0, eq));
    p.value = Trim(t.substr(eq + 1));
    return p;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

// The text written after "=": the reader trims blanks and takes off one pair
// of matching quotes, so a value that would lose anything that way (a password
// of spaces, a pattern in quotes) is written inside one more pair of double
// quotes. Readers of the Windows kind take that pair off again.
std::string EncodeValue(std::string_view value) {
    const bool loses =
        !value.empty() &&
        (IsBlank(value.front()) || IsBlank(value.back()) ||
         (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()));
    if (!loses) return std::string(value);
    std::string out;
    out.reserve(value.size() + 2);
    out += '"';
    out += value;
    out += '"';
    return out;
}

bool HasLineBreakOrZero(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool IsBlankLine(std::string_view s, const Line& l) {
    return Trim(s.substr(l.begin, l.end - l.begin)).empty();
}

std::string CutForBuffer(std::string_view v, std::size_t bufSize) {
    std::size_t zero = v.find('\0');
    if (zero != std::string_view::npos) v = v.substr(0, zero);
    const std::size_t max = bufSize == 0 ? 0 : bufSize - 1;
    if (v.size() > max) v = v.substr(0, max);
    return std::string(v);
}

}  // namespace

bool ProfileLookup(std::string_view contents, std::string_view section, std::string_view key,
                   std::string& value) {
    const std::string_view sec = Trim(section);
    const std::string_view k = Trim(key);
    bool inSection = false;
    bool seen = false;
    for (const Line& l : SplitLines(contents)) {
        Parsed p = ParseLine(contents.substr(l.begin, l.end - l.begin));
        if (p.kind == LineKind::Section) {
            // Only the first section of a name counts; later ones are never searched.
            inSection = !seen && NameEquals(p.name, sec);
            seen = seen || inSection;
            continue;
        }
        if (inSection && p.kind == LineKind::Key && NameEquals(p.name, k)) {
            value = std::string(Unquote(p.value));
            return true;
        }
    }
    return false;
}

std::string ProfileUpdate(std::string_view contents, std::string_view section, std::string_view key,
                          std::string_view value) {
    const std::string_view sec = Trim(section);
    const std::string_view k = Trim(key);
    const std::string encoded = EncodeValue(value);
    const std::vector<Line> lines = SplitLines(contents);

    std::size_t header = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        Parsed p = ParseLine(contents.substr(l.begin, l.end - l.begin));
        if (p.kind == LineKind::Section && NameEquals(p.name, sec)) {
            header = i;
            break;
        }
    }

    std::string out;
    out.reserve(contents.size() + sec.size() + k.size() + encoded.size() + 8);

    if (header == lines.size()) {
        // A new section goes at the end, without a blank line before it; a
        // file whose last line has no line break gets one first.
        out.append(contents);
        if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += "\r\n";
        out += '[';
        out += sec;
        out += "]\r\n";
        out += k;
        out += '=';
        out += encoded;
        out += "\r\n";
        return out;
    }

    std::size_t lastFilled = header;
    for (std::size_t i = header + 1; i < lines.size(); ++i) {
        const Line& l = lines[i];
        Parsed p = ParseLine(contents.substr(l.begin, l.end - l.begin));
        if (p.kind == LineKind::Section) break;
        if (p.kind == LineKind::Key && NameEquals(p.name, k)) {
            // The line is rewritten where it stands, keeping the name as the
            // file spells it.
            out.append(contents.substr(0, l.begin));
            out.append(p.name);
            out += '=';
            out += encoded;
            out += "\r\n";
            out.append(contents.substr(l.next));
            return out;
        }
        if (!IsBlankLine(contents, l)) lastFilled = i;
    }

    // A new key follows the last filled line of its section, so that blank
    // lines between sections stay where they are.
    const Line& after = lines[lastFilled];
    out.append(contents.substr(0, after.next));
    if (after.next == after.end) out += "\r\n";
    out += k;
    out += '=';
    out += encoded;
    out += "\r\n";
    out.append(contents.substr(after.next));
    return out;
}

bool ProfileEntryWritable(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view sec = Trim(section);
    const std::string_view k = Trim(key);
    if (sec.empty() || k.empty()) return false;
    if (HasLineBreakOrZero(section) || HasLineBreakOrZero(key) || HasLineBreakOrZero(value)) {
        return false;
    }
    // Names that the reader would take for something else.
    if (FindCloseBracket(sec, 0) != std::string_view::npos) return false;
    if (k.find('=') != std::string_view::npos || k.front() == '[') return false;
    // A lead byte at the end would take the "]" or "=" after it for its second
    // byte: the section would never be found again.
    if (EndsInLeadByte(sec) || EndsInLeadByte(k)) return false;
    return true;
}

std::string ProfileRead(std::string_view contents, std::string_view section, std::string_view key,
                        std::string_view def, std::size_t bufSize) {
    std::string value;
    if (ProfileLookup(contents, section, key, value)) return CutForBuffer(value, bufSize);
    // The Windows call strips the blanks at the end of the default.
    const std::size_t end = def.find_last_not_of(' ');
    return CutForBuffer(def.substr(0, end == std::string_view::npos ? 0 : end + 1), bufSize);
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view def, std::size_t bufSize,
                                    const std::string& path) {
    std::string contents;
    if (!fsio::IsFile(path) ||
        fsio::ReadWholeFile(path, contents, kMaxProfileBytes) != fsio::ReadStatus::Ok) {
        contents.clear();
    }
    return ProfileRead(contents, section, key, def, bufSize);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path) {
    if (!ProfileEntryWritable(section, key, value)) return false;
    const fsio::Kind kind = fsio::KindOf(path);
    if (kind != fsio::Kind::File && kind != fsio::Kind::Missing) return false;
    std::string contents;
    switch (fsio::ReadWholeFile(path, contents, kMaxProfileBytes)) {
        case fsio::ReadStatus::Ok:
            // Replacing through a rename would get past a read-only file.
            if (!IsWritablePath(path)) return false;
            break;
        case fsio::ReadStatus::Missing:
            contents.clear();
            break;
        default:
            // A file that cannot be read whole is never replaced by a rewrite.
            return false;
    }
    std::string updated = ProfileUpdate(contents, section, key, value);
    if (!contents.empty() && updated == contents) return true;
    return fsio::WriteFileAtomic(path, updated, fsio::ChangeExtension(path, ".$$$"));
}

bool ParseProfileInt(std::string_view text, std::int32_t& out) {
    std::string t(text);
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t.replace(0, 2, 1, '$');
    std::size_t i = 0;
    while (i < t.size() && t[i] == ' ') ++i;
    if (i == t.size()) return false;

    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };

    bool hex = false;
    bool negative = false;
    if (t[i] == '-' || t[i] == '+') {
        negative = t[i] == '-';
        ++i;
    } else if (t[i] == '$' || t[i] == 'x' || t[i] == 'X') {
        hex = true;
        ++i;
    } else if (t[i] == '0' && i + 1 < t.size() && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == t.size()) return false;

    if (hex) {
        std::uint32_t v = 0;
        int significant = 0;
        for (; i < t.size(); ++i) {
            int d = hexValue(t[i]);
            if (d < 0) return false;
            if (significant > 0 || d != 0) {
                if (++significant > 8) return false;
            }
            v = (v << 4) | static_cast<std::uint32_t>(d);
        }
        out = static_cast<std::int32_t>(v);
        return true;
    }

    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    std::uint64_t v = 0;
    for (; i < t.size(); ++i) {
        if (!isDigit(t[i])) return false;
        v = v * 10 + static_cast<std::uint64_t>(t[i] - '0');
        if (v > limit) return false;
    }
    out = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(v))
                   : static_cast<std::int32_t>(v);
    return true;
}

std::string FormatProfileInt(std::int32_t value) {
    return std::to_string(value);
}

}  // namespace kuv
