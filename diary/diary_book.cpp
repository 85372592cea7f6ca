#include "diary/diary_book.h"

#include <string_view>

#include "crypt/cryptogram.h"
#include "dates/date_pattern.h"
#include "history/entry_history.h"
#include "lock/strong_lock.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "platform/texts.h"
#include "platform/unicode.h"

namespace kuv {

namespace {

constexpr const char* kPlainExt = ".dia";
constexpr const char* kLockedExt = ".xda";
constexpr const char* kWorkExt = ".$$$";

std::string Join(const std::string& folder, const std::string& name, const char* ext) {
    return folder + "/" + name + ext;
}

[[noreturn]] void ThrowCannotCreate(const std::string& path) {
    throw AppError(FormatMessage(TextOf(TextId::CannotCreateFile), path));
}

// Reads a stored entry file whole; false when it is gone since the existence
// check. Every other failure is the load error of the pane.
bool ReadStored(const std::string& path, std::string& bytes) {
    switch (fsio::ReadWholeFile(path, bytes, kMaxPaneBytes)) {
        case fsio::ReadStatus::Ok:
            return true;
        case fsio::ReadStatus::Missing:
            return false;
        case fsio::ReadStatus::TooLarge:
            throw AppError(TextOf(TextId::TextTooLarge));
        case fsio::ReadStatus::CannotOpen:
        case fsio::ReadStatus::ReadError:
            break;
    }
    throw AppError(FormatMessage(TextOf(TextId::CannotOpenFile), path));
}

// Reads a plain entry as the pane text it gives; false when it is gone since
// the existence check. The pane's limit counts that text, not the file: a
// large file whose text ends early at a zero byte loads.
bool ReadStoredText(const std::string& path, std::string& text) {
    std::string head;
    bool whole = false;
    switch (fsio::ReadFileHead(path, head, kMaxPaneBytes + 1, whole)) {
        case fsio::ReadStatus::Ok:
            break;
        case fsio::ReadStatus::Missing:
            return false;
        case fsio::ReadStatus::TooLarge:
        case fsio::ReadStatus::CannotOpen:
        case fsio::ReadStatus::ReadError:
            throw AppError(FormatMessage(TextOf(TextId::CannotOpenFile), path));
    }
    const bool endsInside = whole || head.find('\0') != std::string::npos;
    text = PaneTextFromFile(head);
    if (!endsInside || text.size() > kMaxPaneBytes) throw AppError(TextOf(TextId::TextTooLarge));
    return true;
}

// A strong-lock message as the core's code page 932 text.
std::string LockText(lock::LockStatus status, const std::string& path) {
    return cp932::FromUtf8(lock::LockMessage(status, cp932::ToUtf8(path))).value_or(path);
}

// "YYYY-MM-DD" of the entry name in its year folder.
std::string DayOf(const std::string& folder, const std::string& name) {
    const std::string year = folder.size() >= 4 ? folder.substr(folder.size() - 4) : folder;
    return year + "-" + name.substr(0, 2) + "-" + name.substr(2);
}

// True when PaneTextFromFile would give the bytes back unchanged: no zero
// byte, every line break CR LF.
bool HoldsPaneLines(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\0') return false;
        if (c == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) return false;
        if (c == '\n' && (i == 0 || bytes[i - 1] != '\r')) return false;
    }
    return true;
}

enum class Presence { Absent, File, Unreadable };

// An entry exists when a regular file (or a link to one) holds its name; a
// folder of that name is no entry. Anything else (a pipe, a device) is never
// opened, so a load cannot block on it.
Presence PresenceOf(const std::string& path);

// Seals utf8 into the day's .kvd, then removes the Windows files of the day.
void SaveStrongEntry(const std::string& dataPath, const std::string& folder,
                     const std::string& name, const std::string& utf8) {
    const std::string sealed = Join(folder, name, lock::kStrongEntryExt);
    const std::shared_ptr<const lock::DiaryKey> key = lock::KeyFor(dataPath);
    if (key == nullptr) throw AppError(LockText(lock::LockStatus::NotOpen, sealed));
    if (!lock::WriteStrongEntry(sealed, DayOf(folder, name), *key, utf8)) {
        ThrowCannotCreate(sealed);
    }
    for (const char* ext : {kPlainExt, kLockedExt}) {
        const std::string old = Join(folder, name, ext);
        if (fsio::KindOf(old) != fsio::Kind::Missing && fsio::Remove(old)) {
            fsio::SyncParentDirectory(old);
        }
    }
}

Presence PresenceOf(const std::string& path) {
    switch (fsio::KindOf(path)) {
        case fsio::Kind::File:
            return Presence::File;
        case fsio::Kind::Other:
            return Presence::Unreadable;
        case fsio::Kind::Missing:
        case fsio::Kind::Directory:
            break;
    }
    return Presence::Absent;
}

// Loads folder/name.kvd with the key the process holds for its data folder;
// false when the file is gone.
bool LoadSealed(const std::string& folder, const std::string& name, PaneContent& pane) {
    const std::string sealed = Join(folder, name, lock::kStrongEntryExt);
    const std::shared_ptr<const lock::DiaryKey> key = lock::KeyFor(fsio::ParentOf(folder));
    if (key == nullptr) throw AppError(LockText(lock::LockStatus::NotOpen, sealed));
    std::string utf8;
    switch (lock::ReadStrongEntry(sealed, DayOf(folder, name), *key, utf8)) {
        case lock::EntryRead::Opened: {
            bool wide = false;
            pane.text = PaneTextFromUtf8(utf8, wide);
            // A search loads every entry this way: the text is moved, not
            // copied, when its lines are the pane's already.
            pane.utf8 = HoldsPaneLines(utf8) ? std::move(utf8) : PaneTextFromFile(utf8);
            if (pane.text.size() > kMaxPaneBytes) throw AppError(TextOf(TextId::TextTooLarge));
            pane.source = wide ? PaneSource::StrongWide : PaneSource::Strong;
            return true;
        }
        case lock::EntryRead::Missing:
            return false;
        case lock::EntryRead::Unreadable:
            throw AppError(FormatMessage(TextOf(TextId::CannotOpenFile), sealed));
        case lock::EntryRead::OtherKey:
        case lock::EntryRead::Damaged:
            break;
    }
    throw AppError(LockText(lock::LockStatus::EntryDamaged, sealed));
}

}  // namespace

std::string YearFolder(const std::string& dataPath, TDateTime date) {
    return dataPath + "/" + FormatDatePattern("yyyy", date);
}

std::string EntryName(TDateTime date) {
    return FormatDatePattern("mmdd", date);
}

std::string StatusLine(TDateTime picker) {
    return FormatDatePattern(TextOf(TextId::UpperYearPattern), picker) +
           FormatDatePattern(TextOf(TextId::LowerYearPattern), picker - 365);
}

std::string PaneTextFromFile(std::string_view bytes) {
    const std::size_t zero = bytes.find('\0');
    if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 16);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            text += "\r\n";
        } else if (c == '\n') {
            text += "\r\n";
        } else {
            text += c;
        }
    }
    return text;
}

std::string PaneTextFromUtf8(std::string_view utf8, bool& wide) {
    wide = false;
    if (std::optional<std::string> bytes = cp932::FromUtf8(utf8)) return PaneTextFromFile(*bytes);
    wide = true;
    std::u16string text;
    unicode::Utf8ToUtf16(utf8, text);
    for (;;) {
        const cp932::Encoded e = cp932::FromUtf16(text);
        if (e.ok) return PaneTextFromFile(e.bytes);
        // A character outside the basic plane is a surrogate pair: both halves
        // become one "?".
        std::u16string next = text.substr(0, e.badIndex);
        next += u'?';
        next.append(text, e.badIndex + (e.badChar > 0xFFFF ? 2 : 1));
        text = std::move(next);
    }
}

PaneContent LoadSealedPane(const std::string& folder, const std::string& name,
                           const std::string& password) {
    PaneContent pane;
    // Gone since it was listed: a conversion may have put the day back in
    // the Windows program's form.
    return LoadSealed(folder, name, pane) ? pane : LoadPane(folder, name, password);
}

PaneContent LoadPane(const std::string& folder, const std::string& name,
                     const std::string& password) {
    PaneContent pane;
    std::string bytes;

    // Under the strong lock the sealed file is the entry; a .dia or .xda
    // beside it is one that a conversion has not removed yet.
    if (PresenceOf(Join(folder, name, lock::kStrongEntryExt)) == Presence::File &&
        LoadSealed(folder, name, pane)) {
        return pane;
    }

    const std::string plain = Join(folder, name, kPlainExt);
    switch (PresenceOf(plain)) {
        case Presence::Unreadable:
            throw AppError(FormatMessage(TextOf(TextId::CannotOpenFile), plain));
        case Presence::File:
            // A plain entry that vanished since the check was most likely just
            // locked by a save, so the locked file is looked at next.
            if (ReadStoredText(plain, pane.text)) {
                pane.source = PaneSource::Plain;
                return pane;
            }
            break;
        case Presence::Absent:
            break;
    }

    const std::string locked = Join(folder, name, kLockedExt);
    switch (PresenceOf(locked)) {
        case Presence::Unreadable:
            throw AppError(FormatMessage(TextOf(TextId::CannotOpenFile), locked));
        case Presence::Absent:
            return pane;
        case Presence::File:
            break;
    }
    // Decoding happens in memory: the plain text never reaches the disk and
    // the stored file stays exactly as it was.
    if (CryptDecodeToMemory(locked, password, bytes, kMaxPaneBytes) == CryptResult::Decoded) {
        pane.text = PaneTextFromFile(bytes);
        if (pane.text.size() > kMaxPaneBytes) throw AppError(TextOf(TextId::TextTooLarge));
        pane.source = PaneSource::Locked;
        return pane;
    }
    bytes.clear();
    if (!ReadStored(locked, bytes)) return pane;
    pane.text = PaneTextFromFile(bytes);
    const auto* raw = reinterpret_cast<const unsigned char*>(bytes.data());
    pane.source = HasCryptMarker(raw, bytes.size()) ? PaneSource::Sealed : PaneSource::Raw;
    return pane;
}

void SaveEntry(const std::string& folder, const std::string& name, const std::string& text,
               bool useEncryption, const std::string& password) {
    const std::string plain = Join(folder, name, kPlainExt);
    const bool locking = useEncryption && CryptKeyStorable(password);
    // What this save replaces is kept as an earlier version first; when it
    // cannot be kept, nothing is replaced.
    if (const std::string failed =
            KeepBeforeSave(folder, name, text, locking ? password : std::string());
        !failed.empty()) {
        throw AppError(failed);
    }
    if (!fsio::IsDirectory(folder)) {
        // One level only; when the data folder itself is missing this fails
        // once and is reported instead of being retried.
        fsio::MakeDirectory(folder);
        if (!fsio::IsDirectory(folder)) ThrowCannotCreate(plain);
    }
    const std::string dataPath = fsio::ParentOf(folder);
    if (lock::HasStrongLock(dataPath)) {
        SaveStrongEntry(dataPath, folder, name, cp932::ToUtf8(text));
        return;
    }
    // With encryption on, the entry goes straight into its locked file: the
    // container replaces the old .xda atomically and the text never lies on
    // the disk in plain form. Only then does a plain file of the day go; if it
    // cannot, it is rewritten with the new text so that it shows no old one.
    // A password that cannot be a key, or a failed container, leaves the entry
    // as plain text instead.
    if (locking) {
        const std::string lockedPath = Join(folder, name, kLockedExt);
        if (CryptEncodeBytesTo(text, fsio::DosTimeNow(), lockedPath, password)) {
            if (fsio::KindOf(plain) == fsio::Kind::Missing) return;
            if (fsio::Remove(plain)) {
                fsio::SyncParentDirectory(plain);
                return;
            }
        }
    }
    if (!fsio::WriteFileAtomic(plain, text, fsio::ChangeExtension(plain, kWorkExt))) {
        ThrowCannotCreate(plain);
    }
}

void SaveStrongText(const std::string& folder, const std::string& name, const std::string& utf8) {
    const std::string sealed = Join(folder, name, lock::kStrongEntryExt);
    if (const std::string failed = KeepBeforeSave(folder, name, std::string(), std::string());
        !failed.empty()) {
        throw AppError(failed);
    }
    if (!fsio::IsDirectory(folder)) {
        fsio::MakeDirectory(folder);
        if (!fsio::IsDirectory(folder)) ThrowCannotCreate(sealed);
    }
    SaveStrongEntry(fsio::ParentOf(folder), folder, name, utf8);
}

}  // namespace kuv
