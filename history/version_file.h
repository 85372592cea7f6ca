#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The file an earlier version of an entry is kept in: a header, then the
// entry's bytes compressed by zlib.
//   0  "KUVHIST1"
//   8  'P' (a plain .dia), 'L' (a locked .xda) or 'S' (sealed as a .kvd for
//      its day, under the strong lock), then 3 zero bytes
//  12  time, seconds since 1970, 8 bytes little-endian
//  20  size of the bytes, 8 bytes little-endian
//  28  CRC-32 of the bytes, 4 bytes little-endian
namespace kuv {

inline constexpr std::size_t kVersionHeaderBytes = 32;
// No entry file is larger than a container may be.
inline constexpr std::uint64_t kMaxVersionBytes = std::uint64_t{1} << 31;
// The largest version file: the header and the largest entry as deflate
// may leave it.
std::uint64_t MaxVersionFileBytes();

inline constexpr char kPlainKind = 'P';
inline constexpr char kLockedKind = 'L';
inline constexpr char kStrongKind = 'S';

struct VersionHeader {
    char kind = kPlainKind;
    std::int64_t time = 0;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
};

// The header at the start of head; nothing when it is not one.
std::optional<VersionHeader> ParseVersionHeader(const std::string& head);
// A whole version file of bytes; nothing when zlib cannot pack them.
std::optional<std::string> PackVersion(const std::string& bytes, char kind, std::int64_t time);
// The bytes a whole version file holds, checked against its header (which
// goes to header); nothing when the file is damaged.
std::optional<std::string> UnpackVersion(const std::string& file, VersionHeader& header);

}  // namespace kuv
