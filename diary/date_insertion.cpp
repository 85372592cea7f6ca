#include "diary/date_insertion.h"

namespace kuv {

bool AtLineStart(std::u16string_view text) {
    return text.empty() || text.ends_with(u"\r\n");
}

bool AtLineStart(std::string_view text) {
    return text.empty() || text.ends_with("\r\n");
}

std::string DateLine(bool atLineStart, const std::string& stamp) {
    return atLineStart ? stamp + "\r\n" : "\r\n" + stamp;
}

std::string AppendDateLine(const std::string& text, const std::string& stamp) {
    return text + DateLine(AtLineStart(text), stamp);
}

// A final line break does not start a further line, so only the empty text
// holds no line.
bool HoldsNoLine(const std::string& text) {
    return text.empty();
}

}  // namespace kuv
