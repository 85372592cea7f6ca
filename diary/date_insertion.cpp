#include "diary/diary_book.h"

namespace kuv {

std::string AppendDateLine(const std::string& text, const std::string& stamp, std::size_t& caret) {
    std::string result = text;
    const bool atLineStart =
        result.empty() || (result.size() >= 2 && result.compare(result.size() - 2, 2, "\r\n") == 0);
    if (atLineStart) {
        result += stamp;
        result += "\r\n";
    } else {
        result += "\r\n";
        result += stamp;
    }
    caret = result.size();
    return result;
}

// A final line break does not start a further line, so only the empty text
// holds no line.
bool HoldsNoLine(const std::string& text) {
    return text.empty();
}

}  // namespace kuv
