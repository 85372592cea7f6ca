#include "crypt/cryptogram.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "platform/fileio.h"

namespace kuv {

namespace {

constexpr unsigned char kMarker[8] = {23, 0, 'L', 'O', 'C', 'K', 'E', 'D'};
constexpr unsigned char kKeyMask = 0xA6;
// Smallest file that decoding reads as a header (the rest of it reads as 0).
constexpr std::int64_t kMinContainerSize = 35;

constexpr const char* kWorkExt = ".$$$";
constexpr const char* kEncodeKeepExt = ".org";
constexpr const char* kDecodeKeepExt = ".crp";

// Files stream through this many bytes at a time. A multiple of the cipher's
// block keeps every chunk starting on a block boundary of the body.
constexpr std::size_t kIoSize = std::size_t{1024} * kCryptBlockSize;
static_assert(kIoSize % kCryptBlockSize == 0);

using Keystream = unsigned char[kCryptBlockSize];

// The key repeated over one block: XORing a block with it is the cipher.
void MakeKeystream(const std::string& key, Keystream& ks) {
    const std::size_t n = key.size();
    for (std::size_t j = 0; j < kCryptBlockSize; ++j)
        ks[j] = static_cast<unsigned char>(key[j % n]);
}

// XORs n bytes of buf with the keystream, starting it again every block.
// Whole words where possible: this loop is the cipher's whole cost.
void XorStream(unsigned char* buf, std::size_t n, const Keystream& ks) {
    for (std::size_t off = 0; off < n; off += kCryptBlockSize) {
        unsigned char* p = buf + off;
        const std::size_t m = std::min(kCryptBlockSize, n - off);
        std::size_t j = 0;
        for (; j + sizeof(std::uint64_t) <= m; j += sizeof(std::uint64_t)) {
            std::uint64_t a;
            std::uint64_t b;
            std::memcpy(&a, p + j, sizeof a);
            std::memcpy(&b, ks + j, sizeof b);
            a ^= b;
            std::memcpy(p + j, &a, sizeof a);
        }
        for (; j < m; ++j) p[j] ^= ks[j];
    }
}

class Buffer {
  public:
    // Zero-filled, so that a header read short reads as 0 beyond the file.
    // As large as the file needs, in whole blocks, up to kIoSize: a small
    // entry does not pay for a buffer made for large files.
    bool Allocate(std::int64_t fileSize) {
        const auto blocks = static_cast<std::size_t>(
            (std::max<std::int64_t>(fileSize, 1) + kCryptBlockSize - 1) / kCryptBlockSize);
        capacity_ = std::min(blocks * kCryptBlockSize, kIoSize);
        bytes_.reset(new (std::nothrow) unsigned char[capacity_]());
        return bytes_ != nullptr;
    }
    unsigned char* get() { return bytes_.get(); }
    std::size_t size() const { return capacity_; }

  private:
    std::unique_ptr<unsigned char[]> bytes_;
    std::size_t capacity_ = 0;
};

// Moves count bytes from in to out through buf, enciphered. Fails on any
// read that falls short of what the measured size promised.
bool StreamBody(fsio::InFile& in, fsio::OutFile& out, std::int64_t count, Buffer& buffer,
                const Keystream& ks) {
    unsigned char* buf = buffer.get();
    while (count > 0) {
        const std::size_t chunk = static_cast<std::size_t>(
            std::min<std::int64_t>(count, static_cast<std::int64_t>(buffer.size())));
        if (in.Read(buf, chunk) != static_cast<std::int64_t>(chunk)) return false;
        XorStream(buf, chunk, ks);
        if (!out.Write(buf, chunk)) return false;
        count -= static_cast<std::int64_t>(chunk);
    }
    return true;
}

// True when nothing follows what was read: a file that grew while it was
// being read must not be replaced by an output that lacks the new bytes.
bool AtEnd(fsio::InFile& in) {
    unsigned char probe;
    return in.Read(&probe, 1) == 0;
}

bool FitsContainerSize(std::int64_t size) {
    return size >= 0 && size < kCryptMaxFileSize;
}

// Finishes a fully written work file: flushed to the disk and closed.
bool Commit(fsio::OutFile& out) {
    const bool synced = out.Sync();
    const bool closed = out.Close();
    return synced && closed;
}

// A failed write leaves a useless part of an output: drop it.
void Discard(fsio::OutFile& out, const std::string& work) {
    out.Close();
    fsio::Remove(work);
}

// Copies the file at from to the new name to, which must not exist yet: the
// copy is written beside it, flushed and moved in without replacing, so that
// a crash leaves either no file of that name or the whole copy.
bool CopyNoReplace(const std::string& from, const std::string& to) {
    if (fsio::KindOf(to) != fsio::Kind::Missing) return false;
    fsio::InFile in;
    if (!in.Open(from)) return false;
    const std::int64_t size = in.Size();
    if (!FitsContainerSize(size)) return false;
    // The copy stands for the file renamed aside, which keeps its time whole.
    std::int64_t mtime = 0;
    const bool timed = in.ModifiedTimeNs(mtime);
    const std::string temp = to + kWorkExt;
    fsio::OutFile out;
    if (!out.Create(temp)) return false;
    Buffer buf;
    bool ok = buf.Allocate(size);
    for (std::int64_t left = size; ok && left > 0;) {
        const std::size_t chunk = static_cast<std::size_t>(
            std::min<std::int64_t>(left, static_cast<std::int64_t>(buf.size())));
        ok = in.Read(buf.get(), chunk) == static_cast<std::int64_t>(chunk) &&
             out.Write(buf.get(), chunk);
        left -= static_cast<std::int64_t>(chunk);
    }
    ok = ok && AtEnd(in);
    in.Close();
    if (!ok) {
        Discard(out, temp);
        return false;
    }
    if (timed) out.SetModifiedTimeNs(mtime);
    if (!Commit(out) || !fsio::RenameNoReplace(temp, to)) {
        fsio::Remove(temp);
        return false;
    }
    // The copy must be on the disk before the original may be replaced.
    if (!fsio::SyncParentDirectory(to)) {
        fsio::Remove(to);
        return false;
    }
    return true;
}

// Puts the finished work file in the place of path in one atomic rename, so
// that path always holds either the old file or the new one. With a keep
// name, the old file first stays beside it under that name.
bool Replace(const std::string& path, const std::string& work, const std::string* keepName) {
    if (keepName != nullptr && !CopyNoReplace(path, *keepName)) return false;
    if (!fsio::Rename(work, path)) {
        // The old file is still at path: the kept copy would only block a retry.
        if (keepName != nullptr) fsio::Remove(*keepName);
        return false;
    }
    // The new file stands at path from here on; a failed folder flush cannot
    // undo that, so it does not turn the result into a failure.
    fsio::SyncParentDirectory(path);
    return true;
}

// Writes the container of source under key to work, flushed and closed. On
// failure no partial output is left behind (an uncreated work file stays
// absent).
bool WriteContainer(const std::string& source, const std::string& work, const std::string& key) {
    fsio::InFile in;
    if (!in.Open(source)) return false;
    const std::uint32_t date = in.DosTime();
    const std::int64_t size = in.Size();
    // Refused when the container would reach the size that decoding refuses.
    if (!FitsContainerSize(size) ||
        size >= kCryptMaxFileSize - static_cast<std::int64_t>(kCryptHeaderSize)) {
        return false;
    }
    fsio::OutFile out;
    if (!out.Create(work)) return false;
    Buffer buf;
    if (!buf.Allocate(size)) {
        Discard(out, work);
        return false;
    }
    Keystream ks;
    MakeKeystream(key, ks);
    MakeCryptHeader(buf.get(), key, date);
    const bool ok =
        out.Write(buf.get(), kCryptHeaderSize) && StreamBody(in, out, size, buf, ks) && AtEnd(in);
    in.Close();
    if (!ok) {
        Discard(out, work);
        return false;
    }
    if (!Commit(out)) {
        fsio::Remove(work);
        return false;
    }
    return true;
}

// Writes the plain file of the container source to work, flushed and closed,
// with the stored date put back. On NoMatchingHeader an empty work file
// stays; on Failed no partial output does.
CryptResult WritePlain(const std::string& source, const std::string& work, const std::string& key) {
    fsio::InFile in;
    if (!in.Open(source)) return CryptResult::Failed;
    const std::int64_t size = in.Size();
    if (!FitsContainerSize(size) || size < kMinContainerSize) return CryptResult::Failed;
    fsio::OutFile out;
    if (!out.Create(work)) return CryptResult::Failed;
    Buffer buf;
    if (!buf.Allocate(size)) {
        Discard(out, work);
        return CryptResult::Failed;
    }
    const std::int64_t headerBytes =
        std::min<std::int64_t>(size, static_cast<std::int64_t>(kCryptHeaderSize));
    if (in.Read(buf.get(), kCryptHeaderSize) != headerBytes) {
        in.Close();
        Discard(out, work);
        return CryptResult::Failed;
    }
    const CryptHeader header = ParseCryptHeader(buf.get());
    if (header.key != key) {
        in.Close();
        out.Close();
        return CryptResult::NoMatchingHeader;
    }
    Keystream ks;
    MakeKeystream(key, ks);
    const std::int64_t body = size - static_cast<std::int64_t>(kCryptHeaderSize);
    const bool ok = StreamBody(in, out, body, buf, ks) && AtEnd(in);
    in.Close();
    if (!ok) {
        Discard(out, work);
        return CryptResult::Failed;
    }
    if (header.date != 0) out.SetDosTime(header.date);
    if (!Commit(out)) {
        fsio::Remove(work);
        return CryptResult::Failed;
    }
    return CryptResult::Decoded;
}

std::string WorkPathOf(const std::string& path) {
    return fsio::ChangeExtension(path, kWorkExt);
}

}  // namespace

void MakeCryptHeader(unsigned char* buffer, const std::string& key, std::uint32_t date) {
    std::memcpy(buffer, kMarker, sizeof kMarker);
    for (int i = 0; i < 4; ++i) buffer[8 + i] = static_cast<unsigned char>(date >> (8 * i));
    std::memset(buffer + 12, 0, kCryptKeyField);
    const std::size_t n = std::min(key.size(), kCryptKeyField);
    for (std::size_t i = 0; i < n; ++i) {
        buffer[12 + i] = static_cast<unsigned char>(key[i]) ^ kKeyMask;
    }
}

CryptHeader ParseCryptHeader(const unsigned char* buffer) {
    CryptHeader header;
    if (!HasCryptMarker(buffer, kCryptHeaderSize)) return header;
    for (std::size_t i = 12; i < kCryptHeaderSize && buffer[i] != 0; ++i) {
        header.key.push_back(static_cast<char>(buffer[i] ^ kKeyMask));
    }
    for (int i = 3; i >= 0; --i) header.date = (header.date << 8) | buffer[8 + i];
    return header;
}

bool HasCryptMarker(const unsigned char* bytes, std::size_t size) {
    return size >= sizeof kMarker && std::memcmp(bytes, kMarker, sizeof kMarker) == 0;
}

bool CryptKeyStorable(const std::string& key) {
    return !key.empty() && key.size() <= kCryptKeyField &&
           key.find(static_cast<char>(kKeyMask)) == std::string::npos;
}

bool CryptEncodeFile(const std::string& path, const std::string& key, bool keepSource) {
    // A key the header cannot hold whole would make a file that no key opens.
    if (!CryptKeyStorable(key)) return false;
    const std::string work = WorkPathOf(path);
    // The work file must never be the file it replaces.
    if (work == path) return false;
    if (!WriteContainer(path, work, key)) return false;
    const std::string keep = fsio::ChangeExtension(path, kEncodeKeepExt);
    return Replace(path, work, keepSource ? &keep : nullptr);
}

CryptResult CryptDecodeFile(const std::string& path, const std::string& key, bool keepSource) {
    if (key.empty()) return CryptResult::Failed;
    const std::string work = WorkPathOf(path);
    if (work == path) return CryptResult::Failed;
    const CryptResult result = WritePlain(path, work, key);
    if (result != CryptResult::Decoded) return result;
    const std::string keep = fsio::ChangeExtension(path, kDecodeKeepExt);
    return Replace(path, work, keepSource ? &keep : nullptr) ? CryptResult::Decoded
                                                             : CryptResult::Failed;
}

bool CryptEncodeFileTo(const std::string& source, const std::string& target,
                       const std::string& key) {
    if (!CryptKeyStorable(key)) return false;
    const std::string work = WorkPathOf(target);
    if (work == source || work == target) return false;
    if (!WriteContainer(source, work, key)) return false;
    return Replace(target, work, nullptr);
}

bool CryptEncodeBytesTo(std::string_view plain, std::uint32_t date, const std::string& target,
                        const std::string& key) {
    if (!CryptKeyStorable(key)) return false;
    if (plain.size() >= static_cast<std::size_t>(kCryptMaxFileSize) - kCryptHeaderSize) {
        return false;
    }
    const std::string work = WorkPathOf(target);
    if (work == target) return false;
    fsio::OutFile out;
    if (!out.Create(work)) return false;
    Buffer buf;
    if (!buf.Allocate(static_cast<std::int64_t>(plain.size()))) {
        Discard(out, work);
        return false;
    }
    Keystream ks;
    MakeKeystream(key, ks);
    MakeCryptHeader(buf.get(), key, date);
    bool ok = out.Write(buf.get(), kCryptHeaderSize);
    for (std::size_t off = 0; ok && off < plain.size(); off += buf.size()) {
        const std::size_t chunk = std::min(buf.size(), plain.size() - off);
        std::memcpy(buf.get(), plain.data() + off, chunk);
        XorStream(buf.get(), chunk, ks);
        ok = out.Write(buf.get(), chunk);
    }
    if (!ok) {
        Discard(out, work);
        return false;
    }
    if (!Commit(out) || !Replace(target, work, nullptr)) {
        // The text is still with the caller: a copy in the work file would
        // only lie about.
        fsio::Remove(work);
        return false;
    }
    return true;
}

std::optional<std::string> CryptEncodeBytes(std::string_view plain, std::uint32_t date,
                                            const std::string& key) {
    if (!CryptKeyStorable(key)) return std::nullopt;
    if (plain.size() >= static_cast<std::size_t>(kCryptMaxFileSize) - kCryptHeaderSize) {
        return std::nullopt;
    }
    std::string out(kCryptHeaderSize + plain.size(), '\0');
    auto* bytes = reinterpret_cast<unsigned char*>(out.data());
    MakeCryptHeader(bytes, key, date);
    std::memcpy(bytes + kCryptHeaderSize, plain.data(), plain.size());
    Keystream ks;
    MakeKeystream(key, ks);
    XorStream(bytes + kCryptHeaderSize, plain.size(), ks);
    return out;
}

CryptResult CryptDecodeBytes(std::string_view container, const std::string& key,
                             std::string& plain) {
    plain.clear();
    if (key.empty()) return CryptResult::Failed;
    const auto size = static_cast<std::int64_t>(container.size());
    if (!FitsContainerSize(size) || size < kMinContainerSize) return CryptResult::Failed;
    unsigned char header[kCryptHeaderSize] = {};
    std::memcpy(header, container.data(), std::min(container.size(), kCryptHeaderSize));
    if (ParseCryptHeader(header).key != key) return CryptResult::NoMatchingHeader;
    if (container.size() <= kCryptHeaderSize) return CryptResult::Decoded;
    plain.assign(container.substr(kCryptHeaderSize));
    Keystream ks;
    MakeKeystream(key, ks);
    XorStream(reinterpret_cast<unsigned char*>(plain.data()), plain.size(), ks);
    return CryptResult::Decoded;
}

CryptResult CryptDecodeToMemory(const std::string& path, const std::string& key, std::string& plain,
                                std::size_t maxBytes) {
    plain.clear();
    if (key.empty()) return CryptResult::Failed;
    fsio::InFile in;
    if (!in.Open(path)) return CryptResult::Failed;
    const std::int64_t size = in.Size();
    if (!FitsContainerSize(size) || size < kMinContainerSize) return CryptResult::Failed;
    unsigned char header[kCryptHeaderSize] = {};
    const std::int64_t headerBytes =
        std::min<std::int64_t>(size, static_cast<std::int64_t>(kCryptHeaderSize));
    if (in.Read(header, kCryptHeaderSize) != headerBytes) return CryptResult::Failed;
    if (ParseCryptHeader(header).key != key) return CryptResult::NoMatchingHeader;
    const std::int64_t body =
        std::max<std::int64_t>(0, size - static_cast<std::int64_t>(kCryptHeaderSize));
    if (static_cast<std::uint64_t>(body) > maxBytes) return CryptResult::Failed;
    try {
        plain.resize(static_cast<std::size_t>(body));
    } catch (const std::bad_alloc&) {
        return CryptResult::Failed;
    }
    Keystream ks;
    MakeKeystream(key, ks);
    unsigned char* p = reinterpret_cast<unsigned char*>(plain.data());
    const std::size_t n = plain.size();
    // Chunks of whole blocks keep the key restarting where the body's blocks do.
    for (std::size_t off = 0; off < n; off += kIoSize) {
        const std::size_t chunk = std::min(kIoSize, n - off);
        if (in.Read(p + off, chunk) != static_cast<std::int64_t>(chunk)) {
            plain.clear();
            return CryptResult::Failed;
        }
        XorStream(p + off, chunk, ks);
    }
    if (!AtEnd(in)) {
        plain.clear();
        return CryptResult::Failed;
    }
    return CryptResult::Decoded;
}

}  // namespace kuv
