#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The encrypted file container: a 44-byte header (marker 23, 0, "LOCKED",
// the plain file's MS-DOS date, the key masked with 0xA6) and the body XORed
// with the key, which restarts at every 1024-byte block. Free functions
// without state; they report through their results and never throw.
//
// Every output goes to the ".$$$" work file beside its target, is flushed to
// the disk and then renamed over the target in one step, so the target holds
// the old file or the new one at any moment. A read or write that falls short
// fails the call with the old file in place.
namespace kuv {

inline constexpr std::size_t kCryptHeaderSize = 44;
inline constexpr std::size_t kCryptBlockSize = 1024;
inline constexpr std::size_t kCryptKeyField = 32;

// Encodes the file at path in place. With keepSource the plain file is kept
// under the ".org" name, which must not exist yet. True when the container now
// stands at path. Refuses (false, nothing opened) a key that CryptKeyStorable
// rejects, and a file whose container would reach kCryptMaxFileSize.
bool CryptEncodeFile(const std::string& path, const std::string& key, bool keepSource);

// What a decoding gives; the companion tool prints the number and exits with it.
enum class CryptResult {
    Decoded = 0,
    NoMatchingHeader = 1,  // no container marker, or another key in the header
    Failed = 2,
};

// Decodes the container at path in place. With keepSource the container is
// kept under the ".crp" name. On NoMatchingHeader the file is left as it is,
// beside an empty work file.
CryptResult CryptDecodeFile(const std::string& path, const std::string& key, bool keepSource);

void MakeCryptHeader(unsigned char* buffer, const std::string& key, std::uint32_t date);

struct CryptHeader {
    std::string key;  // the stored key, 0 to 32 bytes
    std::uint32_t date = 0;
};
CryptHeader ParseCryptHeader(const unsigned char* buffer);

// True when the first 8 bytes are the container marker (23, 0, "LOCKED").
bool HasCryptMarker(const unsigned char* bytes, std::size_t size);

// True when the key field holds the key whole: 1 to 32 bytes, none 0xA6.
bool CryptKeyStorable(const std::string& key);

// Writes the container of the plain file source under key to target through
// target's ".$$$" work file, flushed and renamed over target; source is left
// as it is. False (and target untouched) on any failure or unstorable key.
bool CryptEncodeFileTo(const std::string& source, const std::string& target,
                       const std::string& key);

// Writes the container of the bytes plain, dated date (an MS-DOS local date
// and time), to target through target's ".$$$" work file, flushed and renamed
// over target. The plain text never reaches the disk. False (and target
// untouched) on any failure or unstorable key.
bool CryptEncodeBytesTo(std::string_view plain, std::uint32_t date, const std::string& target,
                        const std::string& key);

// The container of the bytes plain, dated date, built in memory; nothing for
// a key that CryptKeyStorable rejects or a text too large for a container.
std::optional<std::string> CryptEncodeBytes(std::string_view plain, std::uint32_t date,
                                            const std::string& key);

// Decodes a container held in memory by the same rules; plain is empty
// unless the result is Decoded.
CryptResult CryptDecodeBytes(std::string_view container, const std::string& key,
                             std::string& plain);

// Decodes the container at path into memory without writing anything, by
// the same rules; Failed also when the body would exceed maxBytes. plain is
// empty unless the result is Decoded.
CryptResult CryptDecodeToMemory(const std::string& path, const std::string& key, std::string& plain,
                                std::size_t maxBytes);

// Files of this size or more are refused by every operation.
inline constexpr std::int64_t kCryptMaxFileSize = std::int64_t{1} << 31;

}  // namespace kuv
