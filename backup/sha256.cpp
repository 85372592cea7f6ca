#include "backup/sha256.h"

#include <openssl/evp.h>

#include <new>

namespace kuv {

struct Sha256::Context {
    EVP_MD_CTX* md = nullptr;
};

namespace {

void Start(EVP_MD_CTX* md) {
    // Only a lack of memory makes this fail, which nothing here can mend.
    if (EVP_DigestInit_ex(md, EVP_sha256(), nullptr) != 1) {
        throw std::bad_alloc();
    }
}

}  // namespace

Sha256::Sha256() : ctx_(std::make_unique<Context>()) {
    ctx_->md = EVP_MD_CTX_new();
    if (ctx_->md == nullptr) throw std::bad_alloc();
    Start(ctx_->md);
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(ctx_->md);
}

void Sha256::Update(const void* data, std::size_t size) {
    if (size > 0) EVP_DigestUpdate(ctx_->md, data, size);
}

std::string Sha256::HexDigest() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(ctx_->md, digest, &length);
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * length);
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0f];
    }
    Start(ctx_->md);
    return hex;
}

std::string Sha256Hex(std::string_view bytes) {
    Sha256 sha;
    sha.Update(bytes);
    return sha.HexDigest();
}

}  // namespace kuv
