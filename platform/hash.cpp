#include "platform/hash.h"

#include <cstdio>

// The library's functions are compiled into this file alone.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace kuv {

std::uint64_t Hash64(std::string_view bytes) {
    return XXH3_64bits(bytes.data(), bytes.size());
}

std::string Hash64Hex(std::string_view bytes) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(Hash64(bytes)));
    return buf;
}

}  // namespace kuv
