#include "lock/lock_convert.h"

#include <vector>

#include "crypt/cryptogram.h"
#include "diary/catalog.h"
#include "diary/diary_book.h"
#include "lock/copy_convert.h"
#include "lock/draft_convert.h"
#include "lock/version_convert.h"
#include "platform/cp932.h"
#include "platform/fileio.h"
#include "platform/work_file.h"

namespace kuv::lock {

namespace {

constexpr const char* kJournalLock = "lock\n";
constexpr const char* kJournalToWindows = "unlock windows\n";
constexpr const char* kJournalToPlain = "unlock plain\n";
constexpr const char* kJournalRekey = "rekey\n";

std::string NewKeyPath(const std::string& dataPath) {
    return KeyFilePath(dataPath) + ".new";
}

struct Day {
    std::string label;  // "YYYY-MM-DD"
    std::string base;   // dataPath/yyyy/mmdd, without extension
};

std::vector<Day> DaysOf(const std::string& dataPath) {
    std::vector<Day> days;
    for (const EntryDay& d : ListAllEntries(dataPath)) {
        const std::string label = DayLabel(d.year, d.month, d.day);
        std::string base = StrongEntryPath(dataPath, label);
        base.resize(base.size() - 4);
        days.push_back(Day{label, std::move(base)});
    }
    return days;
}

bool Exists(const std::string& path) {
    return fsio::KindOf(path) != fsio::Kind::Missing;
}

// Removes a file that is there and makes the removal durable.
bool RemoveDurably(const std::string& path) {
    if (!Exists(path)) return true;
    return fsio::Remove(path) && fsio::SyncParentDirectory(path);
}

bool WriteJournal(const std::string& dataPath, const char* what) {
    const std::string path = JournalPath(dataPath);
    return fsio::WriteFileAtomic(path, what, fsio::WorkFileOutput::WorkPathOf(path));
}

std::string Named(const std::vector<std::string>& paths) {
    std::string s;
    for (const std::string& p : paths) {
        if (!s.empty()) s += "、";
        s += cp932::ToUtf8(p);
    }
    return s;
}

// Refuses a conversion that entries or their conflict copies cannot make:
// every damaged one named first, else every one the target cannot hold.
LockResult Refusal(std::vector<std::string> damaged, std::vector<std::string> notConvertible,
                   const CopyCheck& copies) {
    damaged.insert(damaged.end(), copies.damaged.begin(), copies.damaged.end());
    notConvertible.insert(notConvertible.end(), copies.notConvertible.begin(),
                          copies.notConvertible.end());
    if (!damaged.empty()) return Result(LockStatus::EntryDamaged, Named(damaged));
    if (!notConvertible.empty()) {
        return Result(LockStatus::EntryNotConvertible, Named(notConvertible));
    }
    return {};
}

enum class Source { None, Read, Damaged, NotConvertible };

// The Windows program's form of a day: the .dia's bytes, or the .xda opened
// with windowsKey; as UTF-8 when it comes back from UTF-8 byte for byte.
Source WindowsText(const Day& day, const std::string& windowsKey, std::string& utf8,
                   std::string& path) {
    std::string bytes;
    path = day.base + ".dia";
    switch (fsio::ReadWholeFile(path, bytes, kMaxPaneBytes)) {
        case fsio::ReadStatus::Ok:
            break;
        case fsio::ReadStatus::Missing:
            path = day.base + ".xda";
            if (!Exists(path)) return Source::None;
            if (CryptDecodeToMemory(path, windowsKey, bytes, kMaxPaneBytes) !=
                CryptResult::Decoded) {
                return Source::Damaged;
            }
            break;
        default:
            return Source::Damaged;
    }
    utf8 = cp932::ToUtf8(bytes);
    const std::optional<std::string> back = cp932::FromUtf8(utf8);
    return back && *back == bytes ? Source::Read : Source::NotConvertible;
}

// Seals a day that still has a Windows file; the old files go once the
// sealed one is on the disk.
bool SealDay(const Day& day, const DiaryKey& key, const std::string& windowsKey) {
    std::string utf8, path;
    if (WindowsText(day, windowsKey, utf8, path) != Source::Read) return Exists(day.base + ".kvd");
    return WriteStrongEntry(day.base + ".kvd", day.label, key, utf8) &&
           RemoveDurably(day.base + ".dia") && RemoveDurably(day.base + ".xda");
}

// Writes a sealed day back in the Windows program's form.
bool UnsealDay(const Day& day, const DiaryKey& key, UnlockTarget to,
               const std::string& windowsKey) {
    const std::string sealed = day.base + ".kvd";
    std::string utf8;
    const EntryRead r = ReadStrongEntry(sealed, day.label, key, utf8);
    if (r == EntryRead::Missing) return true;
    if (r != EntryRead::Opened) return false;
    const std::optional<std::string> text = cp932::FromUtf8(utf8);
    if (!text) return false;
    const std::string plain = day.base + ".dia", locked = day.base + ".xda";
    if (to == UnlockTarget::Windows) {
        if (!CryptEncodeBytesTo(*text, fsio::DosTimeNow(), locked, windowsKey) ||
            !RemoveDurably(plain)) {
            return false;
        }
    } else {
        if (!fsio::WriteFileAtomic(plain, *text, fsio::ChangeExtension(plain, ".$$$")) ||
            !RemoveDurably(locked)) {
            return false;
        }
    }
    return RemoveDurably(sealed);
}

// Every day through one of the two steps, with progress; the index of the
// first day not done when stopped or failed.
enum class Run { Done, Stopped, Failed };
template <typename Step>
Run EveryDay(const std::vector<Day>& days, const ProgressFn& progress, Step step,
             std::string& failed) {
    for (std::size_t i = 0; i < days.size(); ++i) {
        if (!KeepGoing(progress, i, days.size())) return Run::Stopped;
        if (!step(days[i])) {
            failed = days[i].base;
            return Run::Failed;
        }
    }
    KeepGoing(progress, days.size(), days.size());
    return Run::Done;
}

// The Windows key that the password gives, or nothing when it cannot be one.
std::optional<std::string> WindowsKeyOf(std::string_view password) {
    std::optional<std::string> key = cp932::FromUtf8(password);
    if (key && !CryptKeyStorable(*key)) key.reset();
    return key;
}

LockResult FinishUnlock(const std::string& dataPath, const DiaryKey& key, UnlockTarget to,
                        const std::string& windowsKey, const ProgressFn& progress);

LockResult FinishLock(const std::string& dataPath, const DiaryKey& key,
                      const std::string& windowsKey, const ProgressFn& progress,
                      UnlockTarget revertTo) {
    const std::vector<Day> days = DaysOf(dataPath);
    std::string failed;
    auto seal = [&](const Day& d) { return SealDay(d, key, windowsKey); };
    switch (EveryDay(days, progress, seal, failed)) {
        case Run::Done:
            break;
        case Run::Failed:
            return Result(LockStatus::WriteFailed, cp932::ToUtf8(failed));
        case Run::Stopped: {
            // Back to where the diary was: what is sealed goes back, then the
            // key, then the journal.
            if (!WriteJournal(dataPath, revertTo == UnlockTarget::Windows ? kJournalToWindows
                                                                          : kJournalToPlain)) {
                return Result(LockStatus::WriteFailed, JournalPath(dataPath));
            }
            LockResult r = FinishUnlock(dataPath, key, revertTo, windowsKey, {});
            return r.ok() ? Result(LockStatus::Cancelled) : r;
        }
    }
    if (!SealCopies(dataPath, key, windowsKey, failed) ||
        !SealVersions(dataPath, key, windowsKey, failed) ||
        !ConvertDrafts(dataPath, DraftForm{nullptr, windowsKey}, DraftForm{&key, ""}, failed)) {
        return Result(LockStatus::WriteFailed, cp932::ToUtf8(failed));
    }
    if (!RemoveDurably(JournalPath(dataPath))) {
        return Result(LockStatus::WriteFailed, JournalPath(dataPath));
    }
    return {};
}

LockResult FinishUnlock(const std::string& dataPath, const DiaryKey& key, UnlockTarget to,
                        const std::string& windowsKey, const ProgressFn& progress) {
    const std::vector<Day> days = DaysOf(dataPath);
    std::string failed;
    auto unseal = [&](const Day& d) { return UnsealDay(d, key, to, windowsKey); };
    switch (EveryDay(days, progress, unseal, failed)) {
        case Run::Done:
            break;
        case Run::Failed:
            return Result(LockStatus::WriteFailed, cp932::ToUtf8(failed));
        case Run::Stopped: {
            if (!WriteJournal(dataPath, kJournalLock)) {
                return Result(LockStatus::WriteFailed, JournalPath(dataPath));
            }
            LockResult r = FinishLock(dataPath, key, windowsKey, {}, to);
            return r.ok() ? Result(LockStatus::Cancelled) : r;
        }
    }
    const DraftForm unlocked{nullptr, to == UnlockTarget::Windows ? windowsKey : std::string()};
    if (!UnsealCopies(dataPath, key, to, windowsKey, failed) ||
        !UnsealVersions(dataPath, key, to, windowsKey, failed) ||
        !ConvertDrafts(dataPath, DraftForm{&key, ""}, unlocked, failed)) {
        return Result(LockStatus::WriteFailed, cp932::ToUtf8(failed));
    }
    ForgetKey(dataPath);
    // The key file goes before the journal: a journal left without a key
    // file only says that nothing is sealed any more.
    if (!RemoveDurably(KeyFilePath(dataPath)) || !RemoveDurably(JournalPath(dataPath))) {
        return Result(LockStatus::WriteFailed, KeyFilePath(dataPath));
    }
    return {};
}

// Seals every entry that the old key opens under the new one, then puts
// the new key file in the old one's place.
LockResult FinishRekey(const std::string& dataPath, const DiaryKey& oldKey, DiaryKey newKey,
                       const ProgressFn& progress) {
    const std::vector<Day> days = DaysOf(dataPath);
    std::string failed;
    auto reseal = [&](const Day& d) {
        const std::string path = d.base + ".kvd";
        std::string utf8;
        switch (ReadStrongEntry(path, d.label, oldKey, utf8)) {
            case EntryRead::Opened:
                return WriteStrongEntry(path, d.label, newKey, utf8);
            case EntryRead::Missing:
                return true;
            case EntryRead::OtherKey:
                // Sealed under the new key already, before a crash.
                return ReadStrongEntry(path, d.label, newKey, utf8) == EntryRead::Opened;
            case EntryRead::Unreadable:
            case EntryRead::Damaged:
                break;
        }
        return false;
    };
    switch (EveryDay(days, progress, reseal, failed)) {
        case Run::Done:
            break;
        case Run::Stopped:
            // Both keys stay at hand; the next FinishConversion goes on.
            return Result(LockStatus::Cancelled);
        case Run::Failed:
            return Result(LockStatus::WriteFailed, cp932::ToUtf8(failed));
    }
    if (!ResealCopies(dataPath, oldKey, newKey, failed) ||
        !ResealVersions(dataPath, oldKey, newKey, failed) ||
        !ConvertDrafts(dataPath, DraftForm{&oldKey, ""}, DraftForm{&newKey, ""}, failed)) {
        return Result(LockStatus::WriteFailed, cp932::ToUtf8(failed));
    }
    const std::string keyPath = KeyFilePath(dataPath);
    if (!fsio::Rename(NewKeyPath(dataPath), keyPath) || !fsio::SyncParentDirectory(keyPath) ||
        !RemoveDurably(JournalPath(dataPath))) {
        return Result(LockStatus::WriteFailed, keyPath);
    }
    RememberKey(dataPath, std::move(newKey));
    return {};
}

// Both keys of a re-key cut short: the old one from the key file, the new
// one from the file waiting beside it.
LockResult OpenBothKeys(const std::string& dataPath, std::string_view password, DiaryKey& oldKey,
                        DiaryKey& newKey) {
    if (LockResult r = OpenDiaryKey(dataPath, password, SlotKind::Password, oldKey); !r.ok()) {
        return r;
    }
    std::string bytes;
    KeyFile file;
    if (fsio::ReadWholeFile(NewKeyPath(dataPath), bytes, 4096) != fsio::ReadStatus::Ok ||
        ParseKeyFile(bytes, file) != KeyFileStatus::Ok) {
        return Result(LockStatus::KeyFileDamaged, NewKeyPath(dataPath));
    }
    if (UnwrapKey(file, SlotKind::Password, password, newKey.key) != UnwrapStatus::Opened) {
        return Result(LockStatus::KeyFileDamaged, NewKeyPath(dataPath));
    }
    newKey.id = file.keyId;
    return {};
}

std::string ReadJournal(const std::string& dataPath) {
    std::string text;
    fsio::ReadWholeFile(JournalPath(dataPath), text, 64);
    return text;
}

}  // namespace

bool ConversionPending(const std::string& dataPath) {
    return Exists(JournalPath(dataPath));
}

bool PendingTowardsLock(const std::string& dataPath) {
    return ReadJournal(dataPath) == kJournalLock;
}

LockResult TurnOn(const std::string& dataPath, std::string_view password,
                  const std::string& windowsKey, const Argon2Params& params,
                  std::string& recoveryCode, const ProgressFn& progress) {
    if (HasStrongLock(dataPath)) return Result(LockStatus::AlreadyLocked);
    // Every entry is read before anything is written: one that cannot be
    // carried over stops the whole conversion with the diary untouched.
    std::vector<std::string> damaged, notConvertible;
    for (const Day& d : DaysOf(dataPath)) {
        std::string utf8, path;
        switch (WindowsText(d, windowsKey, utf8, path)) {
            case Source::Damaged:
                damaged.push_back(path);
                break;
            case Source::NotConvertible:
                notConvertible.push_back(path);
                break;
            case Source::None:
            case Source::Read:
                break;
        }
    }
    // The conflict copies beside the entries go under the lock with them.
    if (LockResult r = Refusal(damaged, notConvertible, CheckCopiesForLock(dataPath, windowsKey));
        !r.ok())
        return r;

    // The journal comes first: a crash before the key file is written then
    // leaves a journal that FinishConversion simply drops.
    if (!WriteJournal(dataPath, kJournalLock)) {
        return Result(LockStatus::WriteFailed, JournalPath(dataPath));
    }
    KeyFile file;
    DiaryKey key;
    std::string code;
    if (!NewKeyFile(password, params, file, key.key, code)) {
        RemoveDurably(JournalPath(dataPath));
        return Result(LockStatus::NoMemory, std::to_string(params.memLimit >> 20));
    }
    key.id = file.keyId;
    if (LockResult r = StoreKeyFile(dataPath, file); !r.ok()) {
        RemoveDurably(JournalPath(dataPath));
        return r;
    }
    KeepOutOfCoreDumps();
    const UnlockTarget revertTo =
        CryptKeyStorable(windowsKey) ? UnlockTarget::Windows : UnlockTarget::Plain;
    LockResult r = FinishLock(dataPath, key, windowsKey, progress, revertTo);
    if (r.ok()) recoveryCode = std::move(code);
    return r;
}

LockResult TurnOff(const std::string& dataPath, std::string_view password, UnlockTarget to,
                   const ProgressFn& progress) {
    if (ConversionPending(dataPath) || !Exists(KeyFilePath(dataPath))) {
        return Result(LockStatus::NotLocked);
    }
    std::string windowsKey;
    if (to == UnlockTarget::Windows) {
        const std::optional<std::string> k = WindowsKeyOf(password);
        if (!k) return Result(LockStatus::NotStorable);
        windowsKey = *k;
    }
    DiaryKey key;
    if (LockResult r = OpenDiaryKey(dataPath, password, SlotKind::Password, key); !r.ok()) {
        return r;
    }
    std::vector<std::string> damaged, notConvertible;
    for (const Day& d : DaysOf(dataPath)) {
        std::string utf8;
        switch (ReadStrongEntry(d.base + ".kvd", d.label, key, utf8)) {
            case EntryRead::Opened:
                if (!cp932::FromUtf8(utf8)) notConvertible.push_back(d.base + ".kvd");
                break;
            case EntryRead::Missing:
                break;
            case EntryRead::Unreadable:
            case EntryRead::OtherKey:
            case EntryRead::Damaged:
                damaged.push_back(d.base + ".kvd");
                break;
        }
    }
    // A sealed conflict copy left behind would open nothing once the key
    // file is gone: the copies go back with the entries.
    if (LockResult r = Refusal(damaged, notConvertible, CheckCopiesForUnlock(dataPath, key));
        !r.ok())
        return r;
    if (!WriteJournal(dataPath,
                      to == UnlockTarget::Windows ? kJournalToWindows : kJournalToPlain)) {
        return Result(LockStatus::WriteFailed, JournalPath(dataPath));
    }
    return FinishUnlock(dataPath, key, to, windowsKey, progress);
}

LockResult FinishConversion(const std::string& dataPath, std::string_view password,
                            const std::string& windowsKey) {
    if (!ConversionPending(dataPath)) return {};
    const std::string journal = ReadJournal(dataPath);
    if (journal == kJournalRekey) {
        // Without the new key file waiting, it was put in place already.
        if (!Exists(NewKeyPath(dataPath))) {
            return RemoveDurably(JournalPath(dataPath))
                       ? LockResult{}
                       : Result(LockStatus::WriteFailed, JournalPath(dataPath));
        }
        DiaryKey oldKey, newKey;
        if (LockResult r = OpenBothKeys(dataPath, password, oldKey, newKey); !r.ok()) return r;
        return FinishRekey(dataPath, oldKey, std::move(newKey), {});
    }
    // Without a key file nothing was sealed yet (a lock cut short before its
    // key was written) or nothing is any more (an unlock at its last step).
    if (!Exists(KeyFilePath(dataPath))) {
        return RemoveDurably(JournalPath(dataPath))
                   ? LockResult{}
                   : Result(LockStatus::WriteFailed, JournalPath(dataPath));
    }
    DiaryKey key;
    if (LockResult r = OpenDiaryKey(dataPath, password, SlotKind::Password, key); !r.ok()) {
        return r;
    }
    if (journal == kJournalLock) {
        const UnlockTarget back =
            CryptKeyStorable(windowsKey) ? UnlockTarget::Windows : UnlockTarget::Plain;
        return FinishLock(dataPath, key, windowsKey, {}, back);
    }
    const UnlockTarget to =
        journal == kJournalToWindows ? UnlockTarget::Windows : UnlockTarget::Plain;
    std::string target;
    if (to == UnlockTarget::Windows) {
        const std::optional<std::string> k = WindowsKeyOf(password);
        if (!k) return Result(LockStatus::NotStorable);
        target = *k;
    }
    return FinishUnlock(dataPath, key, to, target, {});
}

LockResult OpenStrongLockedDiary(const std::string& dataPath, std::string_view password,
                                 const std::string& windowsKey) {
    if (LockResult r = FinishConversion(dataPath, password, windowsKey); !r.ok()) return r;
    // An unlock that was finished leaves no key to open.
    if (!Exists(KeyFilePath(dataPath))) return {};
    DiaryKey key;
    if (LockResult r = OpenDiaryKey(dataPath, password, SlotKind::Password, key); !r.ok()) {
        return r;
    }
    RememberKey(dataPath, std::move(key));
    return {};
}

namespace {

// Opens the data key through one slot and wraps it anew for newPassword;
// no entry is touched.
LockResult RewrapPassword(const std::string& dataPath, SlotKind through, std::string_view secret,
                          std::string_view newPassword, const Argon2Params& params) {
    KeyFile file;
    SecretBytes key;
    if (LockResult r = OpenKeyFile(dataPath, secret, through, file, key); !r.ok()) return r;
    if (!WrapKey(file, SlotKind::Password, newPassword, params, key)) {
        return Result(LockStatus::NoMemory, std::to_string(params.memLimit >> 20));
    }
    return StoreKeyFile(dataPath, file);
}

}  // namespace

LockResult ChangePassword(const std::string& dataPath, std::string_view oldPassword,
                          std::string_view newPassword, const Argon2Params& params) {
    return RewrapPassword(dataPath, SlotKind::Password, oldPassword, newPassword, params);
}

LockResult RecoverPassword(const std::string& dataPath, std::string_view recoveryCode,
                           std::string_view newPassword, const Argon2Params& params) {
    const SecretBytes code = SecretBytes::Of(NormaliseRecoveryCode(recoveryCode));
    return RewrapPassword(dataPath, SlotKind::Recovery, code.view(), newPassword, params);
}

LockResult Rekey(const std::string& dataPath, std::string_view password, const Argon2Params& params,
                 std::string& recoveryCode, const ProgressFn& progress) {
    if (ConversionPending(dataPath) || !Exists(KeyFilePath(dataPath))) {
        return Result(LockStatus::NotLocked);
    }
    DiaryKey oldKey;
    if (LockResult r = OpenDiaryKey(dataPath, password, SlotKind::Password, oldKey); !r.ok()) {
        return r;
    }
    std::vector<std::string> damaged;
    for (const Day& d : DaysOf(dataPath)) {
        std::string utf8;
        const EntryRead r = ReadStrongEntry(d.base + ".kvd", d.label, oldKey, utf8);
        if (r != EntryRead::Opened && r != EntryRead::Missing) damaged.push_back(d.base + ".kvd");
    }
    if (!damaged.empty()) return Result(LockStatus::EntryDamaged, Named(damaged));

    KeyFile file;
    DiaryKey newKey;
    std::string code;
    if (!NewKeyFile(password, params, file, newKey.key, code)) {
        return Result(LockStatus::NoMemory, std::to_string(params.memLimit >> 20));
    }
    newKey.id = file.keyId;
    // The new key file is written (with its copy in the data home) under its
    // waiting name first, then the journal: a crash before the journal leaves
    // a stray file that the next re-key replaces.
    const std::string waiting = NewKeyPath(dataPath);
    const std::string bytes = SerializeKeyFile(file);
    if (!fsio::WriteFileAtomic(waiting, bytes, fsio::WorkFileOutput::WorkPathOf(waiting))) {
        return Result(LockStatus::WriteFailed, waiting);
    }
    if (!WriteJournal(dataPath, kJournalRekey)) {
        RemoveDurably(waiting);
        return Result(LockStatus::WriteFailed, JournalPath(dataPath));
    }
    LockResult r = FinishRekey(dataPath, oldKey, std::move(newKey), progress);
    if (!r.ok()) return r;
    StoreKeyFile(dataPath, file);
    recoveryCode = std::move(code);
    return {};
}

}  // namespace kuv::lock
