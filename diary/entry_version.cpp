#include "diary/entry_version.h"

#include <utility>

#include "crypt/cryptogram.h"
#include "lock/strong_lock.h"
#include "platform/cp932.h"
#include "platform/hash.h"

namespace kuv {

namespace {

// Reads of a file that keeps changing under them give up after this many.
constexpr int kSettleTries = 3;
// A locked entry's container is the pane's limit plus its header.
constexpr std::size_t kMaxStoredBytes = kMaxPaneBytes + kCryptHeaderSize;

// Captures one file; its bytes go to kept when given. False when the file
// did not hold still over the read (out then holds the last reading).
bool CaptureFile(const std::string& path, FileVersion& out, std::string* kept) {
    std::string bytes;
    for (int attempt = 0; attempt < kSettleTries; ++attempt) {
        FileVersion v;
        bytes.clear();
        if (!fsio::StampOf(path, v.stamp)) {
            // No regular file of that name: a load finds no entry there either.
            out = FileVersion{};
            if (kept != nullptr) kept->clear();
            return true;
        }
        v.present = true;
        if (fsio::ReadWholeFile(path, bytes, kMaxStoredBytes) == fsio::ReadStatus::Ok) {
            v.hashed = true;
            v.hash = Hash64(bytes);
        }
        out = v;
        // The stamp before and after the read must agree, or the hash may
        // describe bytes that were never the file's whole content.
        fsio::FileStamp after;
        if (fsio::StampOf(path, after) && after == v.stamp) {
            if (kept != nullptr) *kept = std::move(bytes);
            return true;
        }
    }
    if (kept != nullptr) *kept = std::move(bytes);
    return false;
}

EntryVersion Capture(const std::string& folder, const std::string& name, std::string* plainBytes,
                     std::string* lockedBytes, std::string* sealedBytes = nullptr) {
    EntryVersion v;
    const bool plainSettled = CaptureFile(folder + "/" + name + ".dia", v.plain, plainBytes);
    const bool lockedSettled = CaptureFile(folder + "/" + name + ".xda", v.locked, lockedBytes);
    const bool sealedSettled =
        CaptureFile(folder + "/" + name + lock::kStrongEntryExt, v.sealed, sealedBytes);
    v.settled = plainSettled && lockedSettled && sealedSettled;
    v.file = v.sealed.present   ? EntryFile::Sealed
             : v.plain.present  ? EntryFile::Plain
             : v.locked.present ? EntryFile::Locked
                                : EntryFile::None;
    return v;
}

bool SameFile(const FileVersion& a, const FileVersion& b) {
    if (a.present != b.present) return false;
    if (!a.present) return true;
    // Bytes decide where both could be read; the stamp only where not.
    if (a.hashed && b.hashed) return a.stamp.size == b.stamp.size && a.hash == b.hash;
    return a.stamp == b.stamp;
}

}  // namespace

EntryVersion CaptureEntryVersion(const std::string& folder, const std::string& name) {
    return Capture(folder, name, nullptr, nullptr);
}

EntryChange CompareEntryVersions(const EntryVersion& loaded, const EntryVersion& now) {
    if (loaded.settled && now.settled && SameFile(loaded.plain, now.plain) &&
        SameFile(loaded.locked, now.locked) && SameFile(loaded.sealed, now.sealed)) {
        return EntryChange::None;
    }
    if (loaded.file == EntryFile::None && now.file != EntryFile::None) return EntryChange::Created;
    if (loaded.file != EntryFile::None && now.file == EntryFile::None) return EntryChange::Removed;
    return EntryChange::Modified;
}

EntryChange EntryChangedSince(const EntryVersion& loaded, const std::string& folder,
                              const std::string& name) {
    return CompareEntryVersions(loaded, CaptureEntryVersion(folder, name));
}

PaneContent LoadPaneVersioned(const std::string& folder, const std::string& name,
                              const std::string& password, EntryVersion& version) {
    PaneContent pane;
    for (int attempt = 0; attempt < kSettleTries; ++attempt) {
        const EntryVersion before = CaptureEntryVersion(folder, name);
        pane = LoadPane(folder, name, password);
        const EntryVersion after = CaptureEntryVersion(folder, name);
        version = before;
        if (CompareEntryVersions(before, after) == EntryChange::None) return pane;
    }
    // The files kept changing: the pane holds one of their states, and the
    // next check reports a change rather than trusting any of them.
    version.settled = false;
    return pane;
}

EntryVersion VersionAfterSave(const std::string& folder, const std::string& name,
                              const std::string& text, const std::string& password) {
    std::string plainBytes, lockedBytes, sealedBytes;
    EntryVersion v = Capture(folder, name, &plainBytes, &lockedBytes, &sealedBytes);
    bool holdsText = false;
    if (v.file == EntryFile::Sealed) {
        const std::string dataPath = fsio::ParentOf(folder);
        const std::shared_ptr<const lock::DiaryKey> key = lock::KeyFor(dataPath);
        const std::string day =
            folder.substr(folder.size() - 4) + "-" + name.substr(0, 2) + "-" + name.substr(2);
        std::string utf8;
        holdsText = key != nullptr && v.sealed.hashed &&
                    lock::OpenEntry(sealedBytes, day, key->id, key->key, utf8) ==
                        lock::EntryStatus::Opened &&
                    (utf8 == text || cp932::FromUtf8(utf8) == text);
    } else if (v.file == EntryFile::Plain) {
        holdsText = v.plain.hashed && plainBytes == text;
    } else if (v.file == EntryFile::Locked) {
        std::string decoded;
        holdsText = v.locked.hashed &&
                    CryptDecodeBytes(lockedBytes, password, decoded) == CryptResult::Decoded &&
                    decoded == text;
    }
    if (!holdsText) v.settled = false;
    return v;
}

}  // namespace kuv
