// The strong lock's two file formats on any bytes: the key file's parser
// (and, for a slot that asks little work, the unwrapping) and the entry
// file's opening under a fixed key. Neither may crash, allocate what a
// declared size asks, or open what was not sealed for it; what they accept
// must come back byte for byte.
//
// Input: byte 0 = which (even: a key file, odd: an entry file), then the
// file's bytes. The fixed key: 32 bytes 0x11, key id 16 bytes 0x22, day
// 2024-02-29 (fuzz/corpus holds files sealed under it).
#include <cstdint>
#include <string>

#include "harness.h"
#include "lock/entry_file.h"
#include "lock/key_file.h"

using kuv::fuzz::Check;
using kuv::fuzz::Hex;
namespace lock = kuv::lock;

namespace {

void KeyFile(std::string_view bytes) {
    lock::KeyFile file;
    if (lock::ParseKeyFile(bytes, file) != lock::KeyFileStatus::Ok) return;
    Check(lock::SerializeKeyFile(file) == bytes, "a parsed key file reads back as it was",
          Hex(bytes));
    for (const lock::KeySlot& s : file.keySlots) {
        Check(lock::ParamsAllowed(s.params), "a parsed slot asks allowed work");
        // Argon2id over much memory is no parser's business; little is cheap.
        if (s.params.memLimit > (64u << 10) || s.params.opsLimit > 2) continue;
        lock::SecretBytes key;
        const lock::UnwrapStatus r = lock::UnwrapKey(file, s.kind, "password", key);
        Check(r != lock::UnwrapStatus::Opened || key.size() == lock::kDataKeyBytes,
              "an opened slot gives a whole key");
    }
}

void EntryFile(std::string_view bytes) {
    static const lock::SecretBytes key = [] {
        lock::SecretBytes k(lock::kDataKeyBytes);
        for (std::size_t i = 0; i < k.size(); ++i) k.data()[i] = 0x11;
        return k;
    }();
    lock::KeyId id;
    id.fill(0x22);
    std::string text;
    const lock::EntryStatus r = lock::OpenEntry(bytes, "2024-02-29", id, key, text);
    if (r != lock::EntryStatus::Opened) {
        Check(text.empty(), "a file that does not open gives no text");
        return;
    }
    Check(text.size() + lock::kEntryHeaderBytes + lock::kTagBytes < bytes.size(),
          "the text is shorter than its file");
    std::string other;
    Check(lock::OpenEntry(bytes, "2024-03-01", id, key, other) == lock::EntryStatus::Damaged,
          "a file opens for its own day only");
    const auto sealed = lock::SealEntry(text, "2024-02-29", id, key);
    Check(sealed && sealed->size() == bytes.size(), "sealing again gives the same size");
    Check(lock::OpenEntry(*sealed, "2024-02-29", id, key, other) == lock::EntryStatus::Opened &&
              other == text,
          "sealing again round-trips");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] % 2 == 0) {
        KeyFile(bytes);
    } else {
        EntryFile(bytes);
    }
    return 0;
}
