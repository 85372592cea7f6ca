#pragma once

#include <string>
#include <string_view>

// Date insertion: the date goes into the entry as a new last line.
namespace kuv {

// True when the text is empty or ends with CR LF: the date then starts a line
// of its own and ends it.
bool AtLineStart(std::u16string_view text);
bool AtLineStart(std::string_view text);

// What is appended to a text for the stamp: the stamp and CR LF at a line
// start, otherwise CR LF and the stamp.
std::string DateLine(bool atLineStart, const std::string& stamp);

// The text with the stamp appended as its new last line.
std::string AppendDateLine(const std::string& text, const std::string& stamp);

// True when the text holds no line (it is empty): the automatic date goes there.
bool HoldsNoLine(const std::string& text);

}  // namespace kuv
