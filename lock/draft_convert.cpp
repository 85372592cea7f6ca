#include "lock/draft_convert.h"

#include <optional>

#include "app/recovery.h"
#include "crypt/seal.h"
#include "drafts/draft_store.h"
#include "platform/fileio.h"

namespace kuv::lock {

namespace {

// "YYYY-MM-DD" of a draft's name, yyyymmdd.draft.
std::string DayOfDraft(const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    if (name.size() < 8) return {};
    return name.substr(0, 4) + "-" + name.substr(4, 2) + "-" + name.substr(6, 2);
}

// The draft's own bytes when from's form opens them.
std::optional<std::string> Opened(const std::string& bytes, const std::string& day,
                                  const DraftForm& from) {
    std::string plain;
    if (HasEntryMagic(bytes)) {
        if (from.key == nullptr ||
            OpenEntry(bytes, day, from.key->id, from.key->key, plain) != EntryStatus::Opened) {
            return std::nullopt;
        }
        return plain;
    }
    if (IsSealed(bytes)) return OpenSealed(bytes, from.windowsKey);
    return bytes;
}

std::optional<std::string> Sealed(const std::string& plain, const std::string& day,
                                  const DraftForm& to) {
    if (to.key != nullptr) return SealEntry(plain, day, to.key->id, to.key->key);
    if (!to.windowsKey.empty()) return SealUnderPassword(plain, to.windowsKey);
    return plain;
}

}  // namespace

bool ConvertDrafts(const std::string& dataPath, const DraftForm& from, const DraftForm& to,
                   std::string& failed) {
    const std::optional<std::string> state = UserStateFolder();
    if (!state) return true;
    for (const std::string& path : ListDraftFiles(*state, dataPath)) {
        std::string bytes;
        // A draft is at most a pane's text and a little more.
        if (fsio::ReadWholeFile(path, bytes, std::size_t{1} << 30) != fsio::ReadStatus::Ok) {
            continue;
        }
        const std::string day = DayOfDraft(path);
        const std::optional<std::string> plain = Opened(bytes, day, from);
        if (!plain) continue;
        const std::optional<std::string> out = Sealed(*plain, day, to);
        if (!out || !fsio::WriteFileAtomic(path, *out, fsio::ChangeExtension(path, ".$$$"))) {
            failed = path;
            return false;
        }
    }
    return true;
}

}  // namespace kuv::lock
