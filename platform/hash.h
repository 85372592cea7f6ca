#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A fast 64-bit hash of bytes (XXH3). Not cryptographic: it tells one state
// of a file from another, and names the lock of a folder.
namespace kuv {

std::uint64_t Hash64(std::string_view bytes);

// The hash as 16 lower-case hexadecimal digits.
std::string Hash64Hex(std::string_view bytes);

}  // namespace kuv
