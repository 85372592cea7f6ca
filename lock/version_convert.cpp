#include "lock/version_convert.h"

#include <functional>
#include <optional>
#include <vector>

#include "crypt/cryptogram.h"
#include "history/entry_history.h"
#include "platform/cp932.h"
#include "platform/fileio.h"

namespace kuv::lock {

namespace {

struct Kept {
    std::string day;  // "YYYY-MM-DD"
    EntryVersionFile file;
};

// Every kept version of the diary, with its day.
std::vector<Kept> AllVersions(const std::string& dataPath) {
    std::vector<Kept> all;
    const std::optional<std::string> root = UserHistoryRoot();
    if (!root) return all;
    const std::string diary = DiaryHistoryFolder(*root, dataPath);
    std::vector<fsio::DirEntry> years;
    if (!fsio::ListDirectory(diary, years)) return all;
    for (const fsio::DirEntry& y : years) {
        std::vector<fsio::DirEntry> days;
        if (y.kind != fsio::Kind::Directory || y.name.size() != 4 ||
            !fsio::ListDirectory(diary + "/" + y.name, days)) {
            continue;
        }
        for (const fsio::DirEntry& d : days) {
            if (d.kind != fsio::Kind::Directory || d.name.size() != 4) continue;
            const std::string day = y.name + "-" + d.name.substr(0, 2) + "-" + d.name.substr(2, 2);
            for (EntryVersionFile& v : ListEntryVersions(diary, y.name, d.name).versions) {
                all.push_back(Kept{day, std::move(v)});
            }
        }
    }
    return all;
}

// Rewrites each version that step turns into new bytes; step returns false
// for a version it leaves as it is. The kind a step sees is the one read
// with the bytes, never the listing's: a conversion must not go by a stale
// listing.
using Step = std::function<bool(const Kept&, const std::string& bytes, std::string& out,
                                bool& locked, bool& strong)>;
bool EveryVersion(const std::string& dataPath, const Step& step, std::string& failed) {
    for (Kept& k : AllVersions(dataPath)) {
        std::string bytes, out;
        if (!ReadEntryVersion(k.file.path, bytes, k.file.locked, k.file.strong)) continue;
        bool newLocked = false, newStrong = false;
        if (!step(k, bytes, out, newLocked, newStrong)) continue;
        if (!RewriteEntryVersion(k.file.path, out, newLocked, newStrong, k.file.time)) {
            failed = k.file.path;
            return false;
        }
    }
    return true;
}

}  // namespace

bool SealVersions(const std::string& dataPath, const DiaryKey& key, const std::string& windowsKey,
                  std::string& failed) {
    const Step seal = [&](const Kept& k, const std::string& bytes, std::string& out, bool& locked,
                          bool& strong) {
        if (k.file.strong) return false;
        std::string text = bytes;
        if (k.file.locked && CryptDecodeBytes(bytes, windowsKey, text) != CryptResult::Decoded) {
            return false;  // under another password: not plain, left as it is
        }
        const std::optional<std::string> sealed =
            SealEntry(cp932::ToUtf8(text), k.day, key.id, key.key);
        if (!sealed) return false;
        out = *sealed;
        locked = false;
        strong = true;
        return true;
    };
    return EveryVersion(dataPath, seal, failed);
}

bool UnsealVersions(const std::string& dataPath, const DiaryKey& key, UnlockTarget to,
                    const std::string& windowsKey, std::string& failed) {
    const Step unseal = [&](const Kept& k, const std::string& bytes, std::string& out, bool& locked,
                            bool& strong) {
        std::string utf8;
        if (!k.file.strong ||
            OpenEntry(bytes, k.day, key.id, key.key, utf8) != EntryStatus::Opened) {
            return false;
        }
        const std::optional<std::string> text = cp932::FromUtf8(utf8);
        if (!text) return false;
        strong = false;
        locked = to == UnlockTarget::Windows;
        if (!locked) {
            out = *text;
            return true;
        }
        const std::optional<std::string> container =
            CryptEncodeBytes(*text, fsio::DosTimeNow(), windowsKey);
        if (!container) return false;
        out = *container;
        return true;
    };
    return EveryVersion(dataPath, unseal, failed);
}

bool ResealVersions(const std::string& dataPath, const DiaryKey& oldKey, const DiaryKey& newKey,
                    std::string& failed) {
    const Step reseal = [&](const Kept& k, const std::string& bytes, std::string& out, bool& locked,
                            bool& strong) {
        std::string utf8;
        if (!k.file.strong ||
            OpenEntry(bytes, k.day, oldKey.id, oldKey.key, utf8) != EntryStatus::Opened) {
            return false;
        }
        const std::optional<std::string> sealed = SealEntry(utf8, k.day, newKey.id, newKey.key);
        if (!sealed) return false;
        out = *sealed;
        locked = false;
        strong = true;
        return true;
    };
    return EveryVersion(dataPath, reseal, failed);
}

}  // namespace kuv::lock
