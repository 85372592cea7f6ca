#include "app/multiline_value.h"

#include "platform/cp932.h"

namespace kuv {

namespace {

// A lead byte takes the next one along only when that can be its second
// byte: a lead byte before a line break stays alone, so the break is still
// seen.
bool PairAt(std::string_view text, std::size_t i) {
    if (!cp932::IsLeadByte(static_cast<unsigned char>(text[i])) || i + 1 >= text.size()) {
        return false;
    }
    const auto trail = static_cast<unsigned char>(text[i + 1]);
    return trail >= 0x40 && trail != 0x7F && trail <= 0xFC;
}

// 0 to 15 for a hexadecimal digit; far below zero otherwise, so that a sum
// with one stays negative.
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1000;
}

}  // namespace

std::string JoinLinesForIni(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (PairAt(text, i)) {
            out += c;
            out += text[++i];
        } else if (cp932::IsLeadByte(static_cast<unsigned char>(c))) {
            // Alone, it would take the backslash of an escape after it.
            const auto b = static_cast<unsigned char>(c);
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\\n";
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += c;
        }
    }
    return out;
}

std::string SplitLinesFromIni(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        const char next = i + 1 < value.size() ? value[i + 1] : '\0';
        int hex = -1;
        if (c == '\\' && next == 'x' && i + 3 < value.size()) {
            hex = HexValue(value[i + 2]) * 16 + HexValue(value[i + 3]);
        }
        if (PairAt(value, i)) {
            out += c;
            out += value[++i];
        } else if (c == '\\' && next == 'n') {
            out += "\r\n";
            ++i;
        } else if (c == '\\' && next == '\\') {
            out += '\\';
            ++i;
        } else if (hex >= 0) {
            out += static_cast<char>(hex);
            i += 3;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace kuv
