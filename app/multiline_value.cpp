#include "app/multiline_value.h"

#include "platform/cp932.h"

namespace kuv {

std::string JoinLinesForIni(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (cp932::IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < text.size()) {
            out += c;
            out += text[++i];
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
        if (cp932::IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < value.size()) {
            out += c;
            out += value[++i];
        } else if (c == '\\' && i + 1 < value.size() && value[i + 1] == 'n') {
            out += "\r\n";
            ++i;
        } else if (c == '\\' && i + 1 < value.size() && value[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace kuv
