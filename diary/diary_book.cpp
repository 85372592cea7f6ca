#include "diary/diary_book.h"

#include <string_view>

#include "crypt/cryptogram.h"
#include "dates/date_pattern.h"
#include "history/entry_history.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "platform/texts.h"

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

enum class Presence { Absent, File, Unreadable };

// An entry exists when a regular file (or a link to one) holds its name; a
// folder of that name is no entry. Anything else (a pipe, a device) is never
// opened, so a load cannot block on it.
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

PaneContent LoadPane(const std::string& folder, const std::string& name,
                     const std::string& password) {
    PaneContent pane;
    std::string bytes;

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

}  // namespace kuv
