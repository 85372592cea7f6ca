#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "lock/key_file.h"
#include "lock/secret_key.h"

// One strong-locked entry: the day's UTF-8 text, padded to a whole number of
// 256-byte blocks and sealed with XChaCha20-Poly1305 under the data key. The
// day and the key id are bound in as associated data, so a file copied over
// another day's, or from another diary, fails to open instead of showing
// the wrong text. Byte layout in docs/strong-lock.md.
namespace kuv::lock {

inline constexpr std::size_t kEntryHeaderBytes = 48;  // magic, version, key id, nonce
inline constexpr std::size_t kEntryPadBlock = 256;
// Largest text an entry holds: the pane's limit as UTF-8 (up to 3 bytes for
// each 2-byte code page 932 character) with room to spare.
inline constexpr std::size_t kMaxEntryText = std::size_t{128} << 20;
inline constexpr std::size_t kMaxEntryFile =
    kEntryHeaderBytes + kMaxEntryText + kEntryPadBlock + kTagBytes;

// The file extension of a strong-locked entry, beside .dia and .xda.
inline constexpr const char* kStrongEntryExt = ".kvd";

// The day as the associated data names it: "YYYY-MM-DD".
std::string DayLabel(int year, int month, int day);

// The sealed file of text for day; nothing for a text over kMaxEntryText or
// a key of the wrong size.
std::optional<std::string> SealEntry(std::string_view utf8, std::string_view day,
                                     const KeyId& keyId, const SecretBytes& dataKey);

// The bytes begin as a sealed entry does (an entry, or a draft, version or
// copy sealed the same way).
bool HasEntryMagic(std::string_view bytes);

enum class EntryStatus {
    Opened,
    NotEntry,  // no magic: not a strong-locked entry at all
    Newer,     // a later version of the format
    OtherKey,  // sealed under another data key (another diary, or before a re-key)
    Damaged,   // truncated, altered, or written for another day
};
// Opens a sealed entry for day; utf8 is empty unless Opened.
EntryStatus OpenEntry(std::string_view sealed, std::string_view day, const KeyId& keyId,
                      const SecretBytes& dataKey, std::string& utf8);

}  // namespace kuv::lock
