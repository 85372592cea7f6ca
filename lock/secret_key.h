#pragma once

#include <cstddef>
#include <string_view>

// Key material in memory that libsodium guards: allocated with
// sodium_malloc (locked out of swap, fenced by guard pages) and wiped when
// freed. Never copied; moved only.
namespace kuv::lock {

// Starts libsodium once; false when it cannot (no source of randomness).
bool SodiumReady();

class SecretBytes {
  public:
    SecretBytes() = default;
    explicit SecretBytes(std::size_t size);
    ~SecretBytes();
    SecretBytes(SecretBytes&& other) noexcept;
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    // A copy of text in guarded memory (a password read from the user).
    static SecretBytes Of(std::string_view text);
    // size random bytes.
    static SecretBytes Random(std::size_t size);

    unsigned char* data() { return data_; }
    const unsigned char* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return data_ == nullptr; }
    std::string_view view() const;
    // Wipes and frees now.
    void Clear();

  private:
    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace kuv::lock
