#pragma once

#include <optional>
#include <string>
#include <string_view>

// Sealing what must never lie plain on disk while the diary is under the
// Windows lock (the text of a draft, a recovered text), in the entries' own
// container under the diary's password. lock/diary_seal.h chooses between
// this and the strong lock.
namespace kuv {

// The sealed form of plain; nothing when the password cannot seal (empty,
// too long for a key) or the bytes are too many.
std::optional<std::string> SealUnderPassword(std::string_view plain, const std::string& password);

// The plain bytes of what SealUnderPassword made; nothing when the bytes are
// not sealed or the password does not open them.
std::optional<std::string> OpenSealed(std::string_view sealed, const std::string& password);

// The bytes begin as sealed bytes do.
bool IsSealed(std::string_view bytes);

}  // namespace kuv
