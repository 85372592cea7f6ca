#pragma once

#include <string>
#include <string_view>

// UTF-8 and UTF-16, for the edges where text leaves or enters the program as
// Unicode (terminals, file names, text kept outside the diary).
namespace kuv::unicode {

// UTF-16 to UTF-8; a surrogate without its partner becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Strict UTF-8 to UTF-16, appended to out; false on any malformed sequence,
// overlong form or encoded surrogate.
bool Utf8ToUtf16(std::string_view utf8, std::u16string& out);

}  // namespace kuv::unicode
