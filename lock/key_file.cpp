#include "lock/key_file.h"

#include <sodium.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kuv::lock {

namespace {

constexpr char kMagic[6] = {'K', 'U', 'V', 'K', 'E', 'Y'};
constexpr unsigned char kVersion = 1;
constexpr unsigned char kAlgArgon2id = 2;  // crypto_pwhash_ALG_ARGON2ID13
constexpr std::size_t kSlotAdBytes = 32;   // kind to salt
constexpr std::size_t kFileAdBytes = 24;   // magic, version, reserved, key id

void PutLe(unsigned char* p, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::uint64_t GetLe(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

const unsigned char* U(std::string_view s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

void FileHead(const KeyId& id, unsigned char* out) {
    std::memcpy(out, kMagic, sizeof kMagic);
    out[6] = kVersion;
    out[7] = 0;
    std::memcpy(out + 8, id.data(), id.size());
}

void SlotHead(const KeySlot& s, unsigned char* out) {
    std::memset(out, 0, kSlotAdBytes);
    out[0] = static_cast<unsigned char>(s.kind);
    out[1] = kAlgArgon2id;
    PutLe(out + 4, s.params.opsLimit, 4);
    PutLe(out + 8, s.params.memLimit, 8);
    std::memcpy(out + 16, s.salt.data(), s.salt.size());
}

// The associated data of a slot's wrapped key: the file's identity and the
// slot's own parameters, so that neither can be changed without the tag
// failing.
std::array<unsigned char, kFileAdBytes + kSlotAdBytes> SlotAd(const KeyId& id, const KeySlot& s) {
    std::array<unsigned char, kFileAdBytes + kSlotAdBytes> ad{};
    FileHead(id, ad.data());
    SlotHead(s, ad.data() + kFileAdBytes);
    return ad;
}

// The wrapping key of a slot; false when Argon2id cannot have its memory.
bool DeriveKek(std::string_view secret, const KeySlot& s, SecretBytes& kek) {
    kek = SecretBytes(kDataKeyBytes);
    return crypto_pwhash(kek.data(), kek.size(), secret.data(), secret.size(), s.salt.data(),
                         s.params.opsLimit, static_cast<std::size_t>(s.params.memLimit),
                         crypto_pwhash_ALG_ARGON2ID13) == 0;
}

}  // namespace

bool ParamsAllowed(const Argon2Params& p) {
    return p.opsLimit >= kMinOpsLimit && p.opsLimit <= kMaxOpsLimit && p.memLimit >= kMinMemLimit &&
           p.memLimit <= kMaxMemLimit && p.memLimit <= SIZE_MAX;
}

std::string SerializeKeyFile(const KeyFile& file) {
    std::string out(kKeyHeaderBytes + file.keySlots.size() * kSlotBytes + kKeyChecksumBytes, '\0');
    auto* p = reinterpret_cast<unsigned char*>(out.data());
    FileHead(file.keyId, p);
    p[24] = static_cast<unsigned char>(file.keySlots.size());
    std::size_t at = kKeyHeaderBytes;
    for (const KeySlot& s : file.keySlots) {
        SlotHead(s, p + at);
        std::memcpy(p + at + 32, s.nonce.data(), s.nonce.size());
        std::memcpy(p + at + 56, s.wrapped.data(), s.wrapped.size());
        at += kSlotBytes;
    }
    crypto_generichash(p + at, kKeyChecksumBytes, p, at, nullptr, 0);
    return out;
}

KeyFileStatus ParseKeyFile(std::string_view bytes, KeyFile& out) {
    if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        return KeyFileStatus::NotKeyFile;
    }
    if (bytes.size() < kKeyHeaderBytes) return KeyFileStatus::Damaged;
    const unsigned char* p = U(bytes);
    if (p[6] > kVersion) return KeyFileStatus::Newer;
    const std::size_t count = p[24];
    if (p[6] != kVersion || count == 0 || count > kMaxSlots ||
        bytes.size() != kKeyHeaderBytes + count * kSlotBytes + kKeyChecksumBytes) {
        return KeyFileStatus::Damaged;
    }
    const std::size_t body = bytes.size() - kKeyChecksumBytes;
    unsigned char sum[kKeyChecksumBytes];
    crypto_generichash(sum, sizeof sum, p, body, nullptr, 0);
    if (sodium_memcmp(sum, p + body, sizeof sum) != 0) return KeyFileStatus::Damaged;

    KeyFile f;
    std::memcpy(f.keyId.data(), p + 8, f.keyId.size());
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* q = p + kKeyHeaderBytes + i * kSlotBytes;
        KeySlot s;
        if (q[1] != kAlgArgon2id || q[2] != 0 || q[3] != 0) return KeyFileStatus::Damaged;
        s.kind = static_cast<SlotKind>(q[0]);
        s.params.opsLimit = static_cast<std::uint32_t>(GetLe(q + 4, 4));
        s.params.memLimit = GetLe(q + 8, 8);
        if (!ParamsAllowed(s.params)) return KeyFileStatus::Damaged;
        std::memcpy(s.salt.data(), q + 16, s.salt.size());
        std::memcpy(s.nonce.data(), q + 32, s.nonce.size());
        std::memcpy(s.wrapped.data(), q + 56, s.wrapped.size());
        f.keySlots.push_back(s);
    }
    out = std::move(f);
    return KeyFileStatus::Ok;
}

UnwrapStatus UnwrapKey(const KeyFile& file, SlotKind kind, std::string_view secret,
                       SecretBytes& dataKey) {
    const auto slot = std::find_if(file.keySlots.begin(), file.keySlots.end(),
                                   [&](const KeySlot& s) { return s.kind == kind; });
    if (slot == file.keySlots.end()) return UnwrapStatus::NoSlot;
    if (!SodiumReady()) return UnwrapStatus::NoMemory;
    SecretBytes kek;
    if (!DeriveKek(secret, *slot, kek)) return UnwrapStatus::NoMemory;
    const auto ad = SlotAd(file.keyId, *slot);
    SecretBytes key(kDataKeyBytes);
    unsigned long long keyLen = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            key.data(), &keyLen, nullptr, slot->wrapped.data(), slot->wrapped.size(), ad.data(),
            ad.size(), slot->nonce.data(), kek.data()) != 0 ||
        keyLen != kDataKeyBytes) {
        return UnwrapStatus::WrongSecret;
    }
    dataKey = std::move(key);
    return UnwrapStatus::Opened;
}

bool WrapKey(KeyFile& file, SlotKind kind, std::string_view secret, const Argon2Params& params,
             const SecretBytes& dataKey) {
    if (!SodiumReady() || dataKey.size() != kDataKeyBytes || !ParamsAllowed(params)) return false;
    KeySlot s;
    s.kind = kind;
    s.params = params;
    randombytes_buf(s.salt.data(), s.salt.size());
    randombytes_buf(s.nonce.data(), s.nonce.size());
    SecretBytes kek;
    if (!DeriveKek(secret, s, kek)) return false;
    const auto ad = SlotAd(file.keyId, s);
    unsigned long long len = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(s.wrapped.data(), &len, dataKey.data(),
                                               dataKey.size(), ad.data(), ad.size(), nullptr,
                                               s.nonce.data(), kek.data());
    const auto old = std::find_if(file.keySlots.begin(), file.keySlots.end(),
                                  [&](const KeySlot& k) { return k.kind == kind; });
    if (old != file.keySlots.end()) {
        *old = s;
    } else {
        file.keySlots.push_back(s);
    }
    return true;
}

bool NewKeyFile(std::string_view password, const Argon2Params& params, KeyFile& file,
                SecretBytes& dataKey, std::string& recoveryCode) {
    if (!SodiumReady()) return false;
    KeyFile f;
    randombytes_buf(f.keyId.data(), f.keyId.size());
    SecretBytes key = SecretBytes::Random(kDataKeyBytes);
    SecretBytes code = SecretBytes::Random(20);
    std::string shown = FormatRecoveryCode(code.data(), code.size());
    const SecretBytes normal = SecretBytes::Of(NormaliseRecoveryCode(shown));
    if (!WrapKey(f, SlotKind::Password, password, params, key) ||
        !WrapKey(f, SlotKind::Recovery, normal.view(), params, key)) {
        sodium_memzero(shown.data(), shown.size());
        return false;
    }
    file = std::move(f);
    dataKey = std::move(key);
    recoveryCode = std::move(shown);
    return true;
}

namespace {
constexpr char kBase32[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";
}

std::string FormatRecoveryCode(const unsigned char* bytes, std::size_t size) {
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    int written = 0;
    auto put = [&](unsigned v) {
        if (written > 0 && written % 4 == 0) out += '-';
        out += kBase32[v & 31];
        ++written;
    };
    for (std::size_t i = 0; i < size; ++i) {
        buffer = (buffer << 8) | bytes[i];
        bits += 8;
        while (bits >= 5) {
            put(buffer >> (bits - 5));
            bits -= 5;
        }
    }
    if (bits > 0) put(buffer << (5 - bits));
    return out;
}

std::string NormaliseRecoveryCode(std::string_view typed) {
    std::string out;
    for (char c : typed) {
        if (c == '-' || c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c == 'O') c = '0';
        if (c == 'I' || c == 'L') c = '1';
        out += c;
    }
    return out;
}

}  // namespace kuv::lock
