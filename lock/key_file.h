#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lock/secret_key.h"

// The key file of a strong-locked diary: one random data key, wrapped once
// per slot (the password, the recovery code) under a key that Argon2id
// derives from that secret. The byte layout is in docs/strong-lock.md; this
// module only builds and reads it, and never touches the disk.
namespace kuv::lock {

inline constexpr std::size_t kDataKeyBytes = 32;
inline constexpr std::size_t kKeyIdBytes = 16;
inline constexpr std::size_t kSaltBytes = 16;
inline constexpr std::size_t kNonceBytes = 24;
inline constexpr std::size_t kTagBytes = 16;

using KeyId = std::array<unsigned char, kKeyIdBytes>;

struct Argon2Params {
    std::uint32_t opsLimit = 3;
    std::uint64_t memLimit = std::uint64_t{256} << 20;  // bytes
    bool operator==(const Argon2Params&) const = default;
};
// What a key file may declare: anything outside is a damaged (or hostile)
// file, never an allocation of its size.
inline constexpr std::uint32_t kMinOpsLimit = 1;
inline constexpr std::uint32_t kMaxOpsLimit = 64;
inline constexpr std::uint64_t kMinMemLimit = 8192;
inline constexpr std::uint64_t kMaxMemLimit = std::uint64_t{1} << 30;
bool ParamsAllowed(const Argon2Params& p);

enum class SlotKind : std::uint8_t { Password = 1, Recovery = 2 };

struct KeySlot {
    SlotKind kind = SlotKind::Password;
    Argon2Params params;
    std::array<unsigned char, kSaltBytes> salt{};
    std::array<unsigned char, kNonceBytes> nonce{};
    std::array<unsigned char, kDataKeyBytes + kTagBytes> wrapped{};
};

struct KeyFile {
    KeyId keyId{};
    std::vector<KeySlot> keySlots;
};

inline constexpr std::size_t kKeyHeaderBytes = 24 + 8;  // magic, key id, count, reserved
inline constexpr std::size_t kSlotBytes = 104;
inline constexpr std::size_t kKeyChecksumBytes = 32;
inline constexpr std::size_t kMaxSlots = 8;

std::string SerializeKeyFile(const KeyFile& file);

enum class KeyFileStatus {
    Ok,
    NotKeyFile,  // wrong magic
    Newer,       // a later version of the format
    Damaged,     // truncated, checksum, impossible counts or parameters
};
KeyFileStatus ParseKeyFile(std::string_view bytes, KeyFile& out);

enum class UnwrapStatus {
    Opened,
    WrongSecret,  // the slot's tag does not verify: another password or code
    NoSlot,       // the file has no slot of that kind
    NoMemory,     // Argon2id could not have the memory its parameters ask
};
// Opens the data key of the slot of that kind with secret.
UnwrapStatus UnwrapKey(const KeyFile& file, SlotKind kind, std::string_view secret,
                       SecretBytes& dataKey);

// Wraps dataKey under secret into the slot of that kind (replacing one that
// is there) with a fresh salt and nonce. False only when Argon2id has no
// memory.
bool WrapKey(KeyFile& file, SlotKind kind, std::string_view secret, const Argon2Params& params,
             const SecretBytes& dataKey);

// A new key file: a random key id and data key, wrapped under the password
// and under a fresh recovery code (returned in recoveryCode, formatted for
// people to copy). False only when Argon2id has no memory.
bool NewKeyFile(std::string_view password, const Argon2Params& params, KeyFile& file,
                SecretBytes& dataKey, std::string& recoveryCode);

// A recovery code as the user typed it, reduced to the form its slot was
// wrapped with: upper case, no spaces or dashes, O read as 0, I and L as 1.
std::string NormaliseRecoveryCode(std::string_view typed);

// The bytes of a random recovery code (20 bytes, 160 bits) in groups of four
// of Crockford's base 32.
std::string FormatRecoveryCode(const unsigned char* bytes, std::size_t size);

}  // namespace kuv::lock
