#include "diary/day_template.h"

#include "dates/date_pattern.h"
#include "platform/cp932.h"

namespace kuv {

namespace {

// The pattern formatter gives at most 256 bytes; a stretch of template this
// long cannot come to more.
constexpr std::size_t kChunkBytes = 48;

bool AsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void Flush(std::string& chunk, TDateTime day, std::string& out) {
    if (chunk.empty()) return;  // an empty pattern means "C"
    out += FormatDatePattern(chunk, day);
    chunk.clear();
}

// One line: quoted text is copied as it stands, the rest goes to the
// formatter in stretches cut between characters that are no letters.
void ExpandLine(std::string_view line, TDateTime day, std::string& out) {
    std::string chunk;
    for (std::size_t i = 0; i < line.size();) {
        const char c = line[i];
        if (c == '"' || c == '\'') {
            Flush(chunk, day, out);
            std::size_t j = i + 1;
            while (j < line.size() && line[j] != c) {
                j += cp932::IsLeadByte(static_cast<unsigned char>(line[j])) && j + 1 < line.size()
                         ? 2
                         : 1;
            }
            out.append(line.substr(i + 1, j - i - 1));
            i = j < line.size() ? j + 1 : j;
            continue;
        }
        if (chunk.size() >= kChunkBytes && !AsciiLetter(c)) Flush(chunk, day, out);
        const std::size_t width =
            cp932::IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < line.size() ? 2 : 1;
        chunk.append(line.substr(i, width));
        i += width;
    }
    Flush(chunk, day, out);
}

}  // namespace

ExpandedTemplate ExpandDayTemplate(std::string_view tmpl, TDateTime day) {
    ExpandedTemplate out;
    bool marked = false;
    for (std::size_t begin = 0; begin <= tmpl.size();) {
        std::size_t end = tmpl.find_first_of("\r\n", begin);
        const bool last = end == std::string_view::npos;
        if (last) end = tmpl.size();
        const std::string_view line = tmpl.substr(begin, end - begin);
        if (!marked && line == "|") {
            marked = true;
            out.cursor = out.text.size();
        } else {
            ExpandLine(line, day, out.text);
        }
        if (last) break;
        out.text += "\r\n";
        begin = end + (tmpl.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    if (!marked) out.cursor = out.text.size();
    return out;
}

}  // namespace kuv
