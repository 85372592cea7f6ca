#include "history/version_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace kuv {

namespace {

constexpr char kMagic[8] = {'K', 'U', 'V', 'H', 'I', 'S', 'T', '1'};
// Deflate gives at most 1032 bytes for each byte it stores (a 258-byte match
// in a bit or two), so a header claiming more than this from the bytes that
// follow it is damaged; its size is never allocated.
constexpr std::uint64_t kMaxInflateRatio = 1032;

void PutLe(std::string& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint64_t GetLe(const std::string& in, std::size_t at, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(in[at + i]);
    return v;
}

std::uint32_t Crc(const std::string& bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    std::size_t at = 0;
    // zlib takes the length as a 32-bit count.
    while (at < bytes.size()) {
        const std::size_t n = std::min<std::size_t>(bytes.size() - at, 1u << 30);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data() + at), static_cast<uInt>(n));
        at += n;
    }
    return static_cast<std::uint32_t>(crc);
}

}  // namespace

std::uint64_t MaxVersionFileBytes() {
    return kVersionHeaderBytes + compressBound(kMaxVersionBytes);
}

std::optional<VersionHeader> ParseVersionHeader(const std::string& head) {
    if (head.size() < kVersionHeaderBytes || std::memcmp(head.data(), kMagic, sizeof kMagic) != 0) {
        return std::nullopt;
    }
    const char kind = head[8];
    if ((kind != kPlainKind && kind != kLockedKind && kind != kStrongKind) || head[9] != 0 ||
        head[10] != 0 || head[11] != 0) {
        return std::nullopt;
    }
    VersionHeader h;
    h.kind = kind;
    h.time = static_cast<std::int64_t>(GetLe(head, 12, 8));
    h.size = GetLe(head, 20, 8);
    h.crc = static_cast<std::uint32_t>(GetLe(head, 28, 4));
    if (h.size > kMaxVersionBytes) return std::nullopt;
    return h;
}

std::optional<std::string> PackVersion(const std::string& bytes, char kind, std::int64_t time) {
    std::string out(kMagic, sizeof kMagic);
    out += kind;
    out.append(3, '\0');
    PutLe(out, static_cast<std::uint64_t>(time), 8);
    PutLe(out, bytes.size(), 8);
    PutLe(out, Crc(bytes), 4);
    // A window and tables no larger than the entry needs: deflate's defaults
    // take a quarter of a megabyte for every version, most of a save's work.
    int windowBits = 9;
    while (windowBits < 15 && (std::size_t{1} << windowBits) < bytes.size()) ++windowBits;
    const int memLevel = std::clamp(windowBits - 6, 1, 8);
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, memLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        return std::nullopt;
    }
    const uLong bound = deflateBound(&z, static_cast<uLong>(bytes.size()));
    out.resize(kVersionHeaderBytes + bound);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data() + kVersionHeaderBytes);
    z.avail_out = static_cast<uInt>(bound);
    const int rc = deflate(&z, Z_FINISH);
    const uLong packed = z.total_out;
    deflateEnd(&z);
    if (rc != Z_STREAM_END) return std::nullopt;
    out.resize(kVersionHeaderBytes + packed);
    return out;
}

std::optional<std::string> UnpackVersion(const std::string& file, VersionHeader& header) {
    const std::optional<VersionHeader> h = ParseVersionHeader(file);
    if (!h) return std::nullopt;
    const std::uint64_t packedBytes = file.size() - kVersionHeaderBytes;
    if (h->size > packedBytes * kMaxInflateRatio + 64) return std::nullopt;
    std::string out(h->size, '\0');
    uLongf size = static_cast<uLongf>(h->size);
    const int rc = uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                              reinterpret_cast<const Bytef*>(file.data() + kVersionHeaderBytes),
                              static_cast<uLong>(packedBytes));
    if (rc != Z_OK || size != h->size || Crc(out) != h->crc) return std::nullopt;
    header = *h;
    return out;
}

}  // namespace kuv
