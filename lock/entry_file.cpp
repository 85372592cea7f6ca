#include "lock/entry_file.h"

#include <sodium.h>

#include <cstdio>
#include <cstring>

namespace kuv::lock {

namespace {

constexpr char kMagic[6] = {'K', 'U', 'V', 'E', 'N', 'T'};
constexpr unsigned char kVersion = 1;
constexpr std::size_t kIdAt = 8;
constexpr std::size_t kNonceAt = 24;
constexpr std::size_t kDayBytes = 10;

// Magic, version and key id, then the day.
std::string EntryAd(const unsigned char* head, std::string_view day) {
    std::string ad(reinterpret_cast<const char*>(head), kNonceAt);
    ad.append(day);
    return ad;
}

const unsigned char* U(std::string_view s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

}  // namespace

std::string DayLabel(int year, int month, int day) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
    return buf;
}

std::optional<std::string> SealEntry(std::string_view utf8, std::string_view day,
                                     const KeyId& keyId, const SecretBytes& dataKey) {
    if (!SodiumReady() || utf8.size() > kMaxEntryText || dataKey.size() != kDataKeyBytes ||
        day.size() != kDayBytes) {
        return std::nullopt;
    }
    // The padded text is the entry in plain: wiped once sealed. Guarded
    // memory is kept for keys; a mapping per entry would cost more than the
    // cipher.
    const std::size_t room = (utf8.size() / kEntryPadBlock + 1) * kEntryPadBlock;
    std::string padded(room, '\0');
    if (!utf8.empty()) std::memcpy(padded.data(), utf8.data(), utf8.size());
    auto* pad = reinterpret_cast<unsigned char*>(padded.data());
    std::size_t paddedLen = 0;
    if (sodium_pad(&paddedLen, pad, utf8.size(), kEntryPadBlock, room) != 0) {
        sodium_memzero(pad, padded.size());
        return std::nullopt;
    }
    std::string out(kEntryHeaderBytes + paddedLen + kTagBytes, '\0');
    auto* p = reinterpret_cast<unsigned char*>(out.data());
    std::memcpy(p, kMagic, sizeof kMagic);
    p[6] = kVersion;
    p[7] = 0;
    std::memcpy(p + kIdAt, keyId.data(), keyId.size());
    randombytes_buf(p + kNonceAt, kNonceBytes);
    const std::string ad = EntryAd(p, day);
    unsigned long long len = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(p + kEntryHeaderBytes, &len, pad, paddedLen, U(ad),
                                               ad.size(), nullptr, p + kNonceAt, dataKey.data());
    sodium_memzero(pad, padded.size());
    return out;
}

bool HasEntryMagic(std::string_view bytes) {
    return bytes.size() >= sizeof kMagic && std::memcmp(bytes.data(), kMagic, sizeof kMagic) == 0;
}

EntryStatus OpenEntry(std::string_view sealed, std::string_view day, const KeyId& keyId,
                      const SecretBytes& dataKey, std::string& utf8) {
    utf8.clear();
    if (!HasEntryMagic(sealed)) return EntryStatus::NotEntry;
    if (sealed.size() < kEntryHeaderBytes) return EntryStatus::Damaged;
    const unsigned char* p = U(sealed);
    if (p[6] > kVersion) return EntryStatus::Newer;
    if (p[6] != kVersion || p[7] != 0) return EntryStatus::Damaged;
    if (std::memcmp(p + kIdAt, keyId.data(), keyId.size()) != 0) return EntryStatus::OtherKey;
    const std::size_t cipherLen = sealed.size() - kEntryHeaderBytes;
    // A sealed text is at least one pad block and its tag, and a whole number
    // of blocks.
    if (cipherLen < kEntryPadBlock + kTagBytes || cipherLen > kMaxEntryFile - kEntryHeaderBytes ||
        (cipherLen - kTagBytes) % kEntryPadBlock != 0 || dataKey.size() != kDataKeyBytes ||
        day.size() != kDayBytes || !SodiumReady()) {
        return EntryStatus::Damaged;
    }
    // Opened straight into the text the caller gets; the padding is cut off.
    utf8.resize(cipherLen - kTagBytes);
    auto* out = reinterpret_cast<unsigned char*>(utf8.data());
    unsigned long long len = 0;
    const std::string ad = EntryAd(p, day);
    std::size_t textLen = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(out, &len, nullptr, p + kEntryHeaderBytes,
                                                   cipherLen, U(ad), ad.size(), p + kNonceAt,
                                                   dataKey.data()) != 0 ||
        sodium_unpad(&textLen, out, static_cast<std::size_t>(len), kEntryPadBlock) != 0) {
        sodium_memzero(out, utf8.size());
        utf8.clear();
        return EntryStatus::Damaged;
    }
    sodium_memzero(out + textLen, utf8.size() - textLen);
    utf8.resize(textLen);
    return EntryStatus::Opened;
}

}  // namespace kuv::lock
