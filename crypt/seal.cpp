#include "crypt/seal.h"

#include "crypt/cryptogram.h"
#include "platform/fileio.h"

namespace kuv {

std::optional<std::string> SealUnderPassword(std::string_view plain, const std::string& password) {
    return CryptEncodeBytes(plain, fsio::DosTimeNow(), password);
}

std::optional<std::string> OpenSealed(std::string_view sealed, const std::string& password) {
    std::string plain;
    // A container without a key opens with any password: never taken as sealed.
    if (!IsSealed(sealed) || !CryptKeyStorable(password) ||
        CryptDecodeBytes(sealed, password, plain) != CryptResult::Decoded) {
        return std::nullopt;
    }
    return plain;
}

bool IsSealed(std::string_view bytes) {
    return HasCryptMarker(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

}  // namespace kuv
