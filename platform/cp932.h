#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The one place where code page 932 bytes meet Unicode. Windows code page 932
// semantics through glibc's "CP932" converter.
namespace kuv::cp932 {

// True for the lead bytes of a double-byte character: 0x81-0x9F, 0xE0-0xFC.
bool IsLeadByte(unsigned char b);

// Bytes to UTF-16. A byte that does not start a valid character becomes the
// lone surrogate U+DC00 + byte, so that an entry whose bytes are not valid
// code page 932 survives an edit unchanged (FromUtf16 maps it back).
std::u16string ToUtf16(std::string_view bytes);

struct Encoded {
    bool ok = true;
    std::string bytes;         // the whole text when ok
    std::size_t badIndex = 0;  // UTF-16 index of the first character that does not fit
    char32_t badChar = 0;      // that character
};

// UTF-16 to bytes. Fails on the first character that code page 932 cannot
// hold, or that would read back as another character; the JIS characters
// that Unicode names twice (〜 ‖ − — ¢ £ ¬) are written as code page 932's
// ～ ∥ － ― ￠ ￡ ￢, as Windows does. The escaped bytes of ToUtf16 come back
// as they were, and the text of ToUtf16(bytes) always reads back the same.
Encoded FromUtf16(std::u16string_view text);

// FromUtf16 for a text edited from the one that the bytes original hold.
// Code page 932 writes 398 characters under two or three codes (NEC row 13,
// the NEC-selected IBM rows and the IBM rows); every character that the edit
// left in place keeps the code it had in original, and only characters typed
// anew take FromUtf16's form. Costs nothing extra when original holds no
// such second code.
Encoded FromUtf16Keeping(std::u16string_view text, std::string_view original);

// Bytes to UTF-8, for terminals and file names; invalid bytes become U+FFFD.
std::string ToUtf8(std::string_view bytes);

// UTF-8 to bytes; nothing when the text is not valid UTF-8 or does not fit.
std::optional<std::string> FromUtf8(std::string_view utf8);

// "U+1F600" style name of a character, for messages.
std::string CodePointName(char32_t c);

}  // namespace kuv::cp932
