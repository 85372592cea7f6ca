#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A private-profile (INI) layer with the semantics of the Windows calls:
// names compared without regard to ASCII case, first of duplicates wins,
// values trimmed and unquoted; writes keep every other line byte for byte.
namespace kuv {

// A larger file is read as missing and never rewritten.
inline constexpr std::size_t kMaxProfileBytes = std::size_t{16} << 20;

// The value of section/key, or def without its trailing blanks when the
// file, section or key is missing; at most bufSize - 1 bytes.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view def, std::size_t bufSize,
                                    const std::string& path);

// Sets section/key to value, creating key, section or file as needed; the file
// is replaced through its work file. False on failure (file untouched).
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path);

// Pure forms over the file's bytes, for tests and fuzzing.
bool ProfileLookup(std::string_view contents, std::string_view section, std::string_view key,
                   std::string& value);
// What GetPrivateProfileString returns for contents already read.
std::string ProfileRead(std::string_view contents, std::string_view section, std::string_view key,
                        std::string_view def, std::size_t bufSize);
std::string ProfileUpdate(std::string_view contents, std::string_view section, std::string_view key,
                          std::string_view value);

// False for entries that the file cannot hold as one line that reads back as
// the same section and key: empty names, line breaks or zero bytes anywhere,
// "]" in a section name, "=" in a key name or a key that starts with "[", a
// name that ends in the lead byte of a double-byte character.
bool ProfileEntryWritable(std::string_view section, std::string_view key, std::string_view value);

// The integer rules of the settings file; false when the text is invalid.
bool ParseProfileInt(std::string_view text, std::int32_t& out);
std::string FormatProfileInt(std::int32_t value);

}  // namespace kuv
