#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// SHA-256 through OpenSSL's libcrypto (EVP), for the manifests of backups.
namespace kuv {

class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, std::size_t size);
    void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
    // The digest as 64 lower-case hexadecimal digits; starts a new digest.
    std::string HexDigest();

  private:
    struct Context;
    std::unique_ptr<Context> ctx_;
};

// The digest of bytes in one call.
std::string Sha256Hex(std::string_view bytes);

}  // namespace kuv
