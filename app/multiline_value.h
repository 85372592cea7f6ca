#pragma once

#include <string>
#include <string_view>

// A text of several lines kept in one INI value: each line break is written
// "\n" and a backslash "\\", so the value holds no line break and reads back
// byte for byte. Backslashes are found character by character, so the
// second byte of a code page 932 character (0x5C in 表, ソ) stays as it is;
// a lead byte without its second byte is written "\xHH".
namespace kuv {

// Lines joined by CR LF, LF or CR to one line; line breaks come back CR LF.
std::string JoinLinesForIni(std::string_view cp932Text);
// The reverse; an unknown escape keeps its backslash.
std::string SplitLinesFromIni(std::string_view value);

}  // namespace kuv
