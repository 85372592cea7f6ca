#include "lock/secret_key.h"

#include <sodium.h>

#include <cstring>
#include <new>
#include <utility>

namespace kuv::lock {

bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

SecretBytes::SecretBytes(std::size_t size) {
    if (!SodiumReady()) throw std::bad_alloc();
    // sodium_malloc(0) would give a pointer to nothing; one byte keeps
    // empty() meaning "no allocation".
    data_ = static_cast<unsigned char*>(sodium_malloc(size == 0 ? 1 : size));
    if (data_ == nullptr) throw std::bad_alloc();
    size_ = size;
}

SecretBytes::~SecretBytes() {
    Clear();
}

SecretBytes::SecretBytes(SecretBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
        Clear();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

SecretBytes SecretBytes::Of(std::string_view text) {
    SecretBytes s(text.size());
    if (!text.empty()) std::memcpy(s.data_, text.data(), text.size());
    return s;
}

SecretBytes SecretBytes::Random(std::size_t size) {
    SecretBytes s(size);
    randombytes_buf(s.data_, size);
    return s;
}

std::string_view SecretBytes::view() const {
    return data_ == nullptr ? std::string_view()
                            : std::string_view(reinterpret_cast<const char*>(data_), size_);
}

void SecretBytes::Clear() {
    // sodium_free zeroes the region before it unmaps it.
    if (data_ != nullptr) sodium_free(data_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace kuv::lock
