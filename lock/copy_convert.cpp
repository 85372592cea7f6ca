#include "lock/copy_convert.h"

#include <optional>

#include "crypt/cryptogram.h"
#include "diary/conflict_copies.h"
#include "diary/diary_book.h"
#include "platform/cp932.h"
#include "platform/fileio.h"

namespace kuv::lock {

namespace {

enum class Text { Read, Left, Damaged, NotConvertible };

std::string Stem(const ConflictCopy& c) {
    return c.path.substr(0, c.path.size() - 4);
}

std::string LabelOf(const ConflictCopy& c) {
    return DayLabel(c.year, c.month, c.day);
}

bool RemoveDurably(const std::string& path) {
    if (fsio::KindOf(path) == fsio::Kind::Missing) return true;
    return fsio::Remove(path) && fsio::SyncParentDirectory(path);
}

// A Windows-form copy's text as UTF-8, when it comes back byte for byte.
Text WindowsCopyText(const ConflictCopy& c, const std::string& windowsKey, std::string& utf8) {
    std::string bytes;
    if (c.locked) {
        // Under another password it is no plain copy: left as it lies.
        if (CryptDecodeToMemory(c.path, windowsKey, bytes, kMaxPaneBytes) != CryptResult::Decoded) {
            return Text::Left;
        }
    } else if (fsio::ReadWholeFile(c.path, bytes, kMaxPaneBytes) != fsio::ReadStatus::Ok) {
        return Text::Damaged;
    }
    utf8 = cp932::ToUtf8(bytes);
    const std::optional<std::string> back = cp932::FromUtf8(utf8);
    return back && *back == bytes ? Text::Read : Text::NotConvertible;
}

// A sealed copy's text in code page 932.
Text StrongCopyText(const ConflictCopy& c, const DiaryKey& key, std::string& cp932Text) {
    std::string utf8;
    if (ReadStrongEntry(c.path, LabelOf(c), key, utf8) != EntryRead::Opened) return Text::Damaged;
    const std::optional<std::string> text = cp932::FromUtf8(utf8);
    if (!text) return Text::NotConvertible;
    cp932Text = *text;
    return Text::Read;
}

void Note(Text t, const ConflictCopy& c, CopyCheck& check) {
    if (t == Text::Damaged) check.damaged.push_back(c.path);
    if (t == Text::NotConvertible) check.notConvertible.push_back(c.path);
}

}  // namespace

CopyCheck CheckCopiesForLock(const std::string& dataPath, const std::string& windowsKey) {
    CopyCheck check;
    for (const ConflictCopy& c : ListAllConflictCopies(dataPath)) {
        std::string utf8;
        if (!c.strong) Note(WindowsCopyText(c, windowsKey, utf8), c, check);
    }
    return check;
}

CopyCheck CheckCopiesForUnlock(const std::string& dataPath, const DiaryKey& key) {
    CopyCheck check;
    for (const ConflictCopy& c : ListAllConflictCopies(dataPath)) {
        std::string text;
        if (c.strong) Note(StrongCopyText(c, key, text), c, check);
    }
    return check;
}

bool SealCopies(const std::string& dataPath, const DiaryKey& key, const std::string& windowsKey,
                std::string& failed) {
    for (const ConflictCopy& c : ListAllConflictCopies(dataPath)) {
        std::string utf8, there;
        if (c.strong || WindowsCopyText(c, windowsKey, utf8) != Text::Read) continue;
        const std::string target = Stem(c) + kStrongEntryExt;
        const EntryRead r = ReadStrongEntry(target, LabelOf(c), key, there);
        // Another copy of that name holds other words: both stay.
        if (r != EntryRead::Missing && !(r == EntryRead::Opened && there == utf8)) continue;
        if ((r == EntryRead::Missing && !WriteStrongEntry(target, LabelOf(c), key, utf8)) ||
            !RemoveDurably(c.path)) {
            failed = c.path;
            return false;
        }
    }
    return true;
}

bool UnsealCopies(const std::string& dataPath, const DiaryKey& key, UnlockTarget to,
                  const std::string& windowsKey, std::string& failed) {
    for (const ConflictCopy& c : ListAllConflictCopies(dataPath)) {
        std::string text;
        if (!c.strong || StrongCopyText(c, key, text) != Text::Read) continue;
        const bool locked = to == UnlockTarget::Windows;
        const std::string target = Stem(c) + (locked ? ".xda" : ".dia");
        std::string there;
        const bool same =
            locked ? CryptDecodeToMemory(target, windowsKey, there, kMaxPaneBytes) ==
                             CryptResult::Decoded &&
                         there == text
                   : fsio::ReadWholeFile(target, there, kMaxPaneBytes) == fsio::ReadStatus::Ok &&
                         there == text;
        if (fsio::KindOf(target) != fsio::Kind::Missing && !same) continue;
        const bool written =
            same ||
            (locked ? CryptEncodeBytesTo(text, fsio::DosTimeNow(), target, windowsKey)
                    : fsio::WriteFileAtomic(target, text, fsio::ChangeExtension(target, ".$$$")));
        if (!written || !RemoveDurably(c.path)) {
            failed = c.path;
            return false;
        }
    }
    return true;
}

bool ResealCopies(const std::string& dataPath, const DiaryKey& oldKey, const DiaryKey& newKey,
                  std::string& failed) {
    for (const ConflictCopy& c : ListAllConflictCopies(dataPath)) {
        std::string utf8;
        if (!c.strong || ReadStrongEntry(c.path, LabelOf(c), oldKey, utf8) != EntryRead::Opened) {
            continue;
        }
        if (!WriteStrongEntry(c.path, LabelOf(c), newKey, utf8)) {
            failed = c.path;
            return false;
        }
    }
    return true;
}

}  // namespace kuv::lock
