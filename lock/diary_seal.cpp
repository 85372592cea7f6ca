#include "lock/diary_seal.h"

#include <memory>

#include "crypt/seal.h"
#include "lock/entry_file.h"
#include "lock/strong_lock.h"

namespace kuv::lock {

std::optional<std::string> SealForDiary(std::string_view plain, const std::string& dataPath,
                                        std::string_view day, bool useEncryption,
                                        const std::string& password) {
    if (HasStrongLock(dataPath)) {
        // Looked up once: the key may be forgotten on another thread meanwhile.
        const std::shared_ptr<const DiaryKey> key = KeyFor(dataPath);
        if (key == nullptr) return std::nullopt;
        return SealEntry(plain, day, key->id, key->key);
    }
    if (useEncryption) return SealUnderPassword(plain, password);
    return std::string(plain);
}

Unsealed OpenForDiary(std::string_view bytes, const std::string& dataPath, std::string_view day,
                      const std::string& password, std::string& out) {
    out.clear();
    if (HasEntryMagic(bytes)) {
        const std::shared_ptr<const DiaryKey> key = KeyFor(dataPath);
        if (key == nullptr) return Unsealed::Closed;
        switch (OpenEntry(bytes, day, key->id, key->key, out)) {
            case EntryStatus::Opened:
                return Unsealed::Opened;
            case EntryStatus::OtherKey:
                return Unsealed::Closed;
            case EntryStatus::NotEntry:
            case EntryStatus::Newer:
            case EntryStatus::Damaged:
                break;
        }
        return Unsealed::Damaged;
    }
    if (IsSealed(bytes)) {
        std::optional<std::string> opened = OpenSealed(bytes, password);
        if (!opened) return Unsealed::Closed;
        out = std::move(*opened);
        return Unsealed::Opened;
    }
    out.assign(bytes);
    return Unsealed::Plain;
}

}  // namespace kuv::lock
