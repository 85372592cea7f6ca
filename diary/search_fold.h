#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Folding of code page 932 text for searching, so that what a Japanese
// reader calls the same word matches: full-width and half-width forms (ＡＢＣ
// and abc, １２ and 12, ｶﾞ and ガ), upper and lower case, hiragana and
// katakana, the wave-dash family (〜 ～ ~) and the characters that code page
// 932 holds under two codes. Voiced and unvoiced kana stay apart.
//
// The folded text is itself code page 932, always well formed: a byte that
// starts no character becomes the byte 0, which no entry holds. Line breaks
// fold to themselves, so the folded text has the same lines as the original.
// Everything here is safe to call from any thread.
namespace kuv {

// The folded text of text.
std::string FoldText(std::string_view text);

// The same, written into buffer, which keeps its room for the next text: for
// a reader of many texts that keeps none of them. The view is into buffer.
std::string_view FoldTextInto(std::string_view text, std::string& buffer);

// The same, with the offset map: map[i] is the offset in text of the
// character that folded byte i came from, and map[folded.size()] is
// text.size(). A match [b, e) of the folded text is [map[b], map[e]) of
// text.
std::string FoldText(std::string_view text, std::vector<std::uint32_t>& map);

// True when pos of a folded text starts a character (it is not the second
// byte of one).
bool StartsCharacter(std::string_view folded, std::size_t pos);

// How often each byte value occurs in some folded text.
using ByteCounts = std::array<std::uint32_t, 256>;
void CountBytes(std::string_view folded, ByteCounts& counts);

// A folded term made ready for FindFolded: the two of its bytes that are
// compared first, across sixteen places at once, are its rarest by the
// counts given (without counts, its first and last).
struct Needle {
    std::string bytes;
    std::size_t a = 0, b = 0;  // a <= b
};
Needle MakeNeedle(std::string folded, const ByteCounts* counts = nullptr);

// The first occurrence of the needle in the folded text at or after from
// that starts a character; npos when there is none, or the needle is empty.
std::size_t FindFolded(std::string_view folded, const Needle& needle, std::size_t from = 0);
std::size_t FindFolded(std::string_view folded, std::string_view needle, std::size_t from = 0);

}  // namespace kuv
