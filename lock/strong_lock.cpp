#include "lock/strong_lock.h"

#include <sys/prctl.h>

#include <map>
#include <mutex>
#include <utility>

#include "app/settings.h"
#include "platform/fileio.h"
#include "platform/work_file.h"

namespace kuv::lock {

namespace {

std::mutex gKeysMutex;
std::map<std::string, std::shared_ptr<const DiaryKey>>& Keys() {
    static std::map<std::string, std::shared_ptr<const DiaryKey>> keys;
    return keys;
}

std::string Hex(const unsigned char* p, std::size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += kDigits[p[i] >> 4];
        s += kDigits[p[i] & 15];
    }
    return s;
}

std::string Fill(const char* pattern, std::string_view detail) {
    std::string s = pattern;
    const std::size_t at = s.find("%s");
    if (at != std::string::npos) s.replace(at, 2, detail);
    return s;
}

}  // namespace

std::string KeyFilePath(const std::string& dataPath) {
    return dataPath + "/" + kKeyFileName;
}

std::string JournalPath(const std::string& dataPath) {
    return dataPath + "/" + kJournalName;
}

bool HasStrongLock(const std::string& dataPath) {
    return fsio::KindOf(KeyFilePath(dataPath)) != fsio::Kind::Missing ||
           fsio::KindOf(JournalPath(dataPath)) != fsio::Kind::Missing;
}

std::string LockMessage(LockStatus status, std::string_view detail) {
    switch (status) {
        case LockStatus::Ok:
            return {};
        case LockStatus::WrongPassword:
            return "パスワードが違います。";
        case LockStatus::KeyFileMissing:
            return Fill("鍵ファイル %s がありません。", detail);
        case LockStatus::KeyFileUnreadable:
            return Fill("鍵ファイル %s を読めません。", detail);
        case LockStatus::KeyFileDamaged:
            return Fill(
                "鍵ファイル %s が壊れています。バックアップか、データフォルダーの "
                "kuvandoro/keys にある控えから戻してください。",
                detail);
        case LockStatus::KeyFileNewer:
            return Fill("鍵ファイル %s は新しい版の Kuvandoro で作られています。", detail);
        case LockStatus::NoMemory:
            return Fill(
                "鍵を開くには %s MiB のメモリが要りますが、確保できませんでした。"
                "ほかのプログラムを閉じてからやり直してください。",
                detail);
        case LockStatus::NotStorable:
            return "このパスワードは Windows 版の暗号化には使えません"
                   "（コードページ 932 で 1〜32 バイト）。";
        case LockStatus::EntryDamaged:
            return Fill(
                "日記ファイル %s を開けません（壊れているか、別の日か別の日記のファイルです）。",
                detail);
        case LockStatus::EntryNotConvertible:
            return Fill(
                "日記ファイル %s には Windows 版で書けない文字があります。何も変更していません。",
                detail);
        case LockStatus::AlreadyLocked:
            return "この日記にはもう強い鍵がかかっています。";
        case LockStatus::NotLocked:
            return "この日記には強い鍵がかかっていません。";
        case LockStatus::WriteFailed:
            return Fill("ファイル %s に書き込めません。", detail);
        case LockStatus::Cancelled:
            return "中止しました。";
        case LockStatus::NotOpen:
            return Fill("%s は強い鍵で閉じられています。先にパスワードで日記を開いてください。",
                        detail);
    }
    return {};
}

LockResult Result(LockStatus status, std::string_view detail) {
    return LockResult{status, LockMessage(status, detail)};
}

LockResult LoadKeyFile(const std::string& dataPath, KeyFile& file) {
    const std::string path = KeyFilePath(dataPath);
    std::string bytes;
    // A key file is a few hundred bytes; a larger one is no key file.
    switch (fsio::ReadWholeFile(path, bytes,
                                kKeyHeaderBytes + kMaxSlots * kSlotBytes + kKeyChecksumBytes)) {
        case fsio::ReadStatus::Ok:
            break;
        case fsio::ReadStatus::Missing:
            return Result(LockStatus::KeyFileMissing, path);
        case fsio::ReadStatus::TooLarge:
            return Result(LockStatus::KeyFileDamaged, path);
        case fsio::ReadStatus::CannotOpen:
        case fsio::ReadStatus::ReadError:
            return Result(LockStatus::KeyFileUnreadable, path);
    }
    switch (ParseKeyFile(bytes, file)) {
        case KeyFileStatus::Ok:
            return {};
        case KeyFileStatus::Newer:
            return Result(LockStatus::KeyFileNewer, path);
        case KeyFileStatus::NotKeyFile:
        case KeyFileStatus::Damaged:
            break;
    }
    return Result(LockStatus::KeyFileDamaged, path);
}

LockResult StoreKeyFile(const std::string& dataPath, const KeyFile& file) {
    const std::string bytes = SerializeKeyFile(file);
    const std::string path = KeyFilePath(dataPath);
    if (!fsio::WriteFileAtomic(path, bytes, fsio::WorkFileOutput::WorkPathOf(path))) {
        return Result(LockStatus::WriteFailed, path);
    }
    if (const std::optional<std::string> home = PerUserDataFolder()) {
        const std::string keys = *home + "/keys";
        const std::string copy = keys + "/" + Hex(file.keyId.data(), file.keyId.size()) + ".key";
        if (fsio::MakeDirectories(keys)) {
            fsio::WriteFileAtomic(copy, bytes, fsio::WorkFileOutput::WorkPathOf(copy));
        }
    }
    return {};
}

LockResult OpenKeyFile(const std::string& dataPath, std::string_view secret, SlotKind kind,
                       KeyFile& file, SecretBytes& key) {
    if (LockResult r = LoadKeyFile(dataPath, file); !r.ok()) return r;
    switch (UnwrapKey(file, kind, secret, key)) {
        case UnwrapStatus::Opened:
            break;
        case UnwrapStatus::WrongSecret:
            return Result(LockStatus::WrongPassword);
        case UnwrapStatus::NoSlot:
            return Result(LockStatus::KeyFileDamaged, KeyFilePath(dataPath));
        case UnwrapStatus::NoMemory: {
            std::uint64_t most = 0;
            for (const KeySlot& s : file.keySlots) {
                if (s.kind == kind) most = s.params.memLimit;
            }
            return Result(LockStatus::NoMemory, std::to_string(most >> 20));
        }
    }
    return {};
}

LockResult OpenDiaryKey(const std::string& dataPath, std::string_view secret, SlotKind kind,
                        DiaryKey& out) {
    KeyFile file;
    SecretBytes key;
    if (LockResult r = OpenKeyFile(dataPath, secret, kind, file, key); !r.ok()) return r;
    KeepOutOfCoreDumps();
    out.id = file.keyId;
    out.key = std::move(key);
    return {};
}

void RememberKey(const std::string& dataPath, DiaryKey key) {
    KeepOutOfCoreDumps();
    auto shared = std::make_shared<const DiaryKey>(std::move(key));
    const std::lock_guard<std::mutex> hold(gKeysMutex);
    Keys()[dataPath] = std::move(shared);
}

std::shared_ptr<const DiaryKey> KeyFor(const std::string& dataPath) {
    const std::lock_guard<std::mutex> hold(gKeysMutex);
    const auto it = Keys().find(dataPath);
    return it == Keys().end() ? nullptr : it->second;
}

void ForgetKey(const std::string& dataPath) {
    const std::lock_guard<std::mutex> hold(gKeysMutex);
    Keys().erase(dataPath);
}

void KeepOutOfCoreDumps() {
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

std::string StrongEntryPath(const std::string& dataPath, std::string_view day) {
    if (day.size() != 10) return {};
    std::string path = dataPath + "/";
    path.append(day.substr(0, 4)).append("/");
    path.append(day.substr(5, 2)).append(day.substr(8, 2)).append(kStrongEntryExt);
    return path;
}

EntryRead ReadStrongEntry(const std::string& path, std::string_view day, const DiaryKey& key,
                          std::string& utf8) {
    utf8.clear();
    std::string sealed;
    // One pass (open, fstat, read): a search opens thousands of these.
    switch (fsio::ReadFileOnce(path, sealed, kMaxEntryFile)) {
        case fsio::ReadStatus::Ok:
            break;
        case fsio::ReadStatus::Missing:
            return EntryRead::Missing;
        case fsio::ReadStatus::TooLarge:
            return EntryRead::Damaged;
        case fsio::ReadStatus::CannotOpen:
        case fsio::ReadStatus::ReadError:
            return EntryRead::Unreadable;
    }
    switch (OpenEntry(sealed, day, key.id, key.key, utf8)) {
        case EntryStatus::Opened:
            return EntryRead::Opened;
        case EntryStatus::OtherKey:
            return EntryRead::OtherKey;
        case EntryStatus::NotEntry:
        case EntryStatus::Newer:
        case EntryStatus::Damaged:
            break;
    }
    return EntryRead::Damaged;
}

bool WriteStrongEntry(const std::string& path, std::string_view day, const DiaryKey& key,
                      std::string_view utf8) {
    const std::optional<std::string> sealed = SealEntry(utf8, day, key.id, key.key);
    return sealed && fsio::WriteFileAtomic(path, *sealed, fsio::WorkFileOutput::WorkPathOf(path));
}

}  // namespace kuv::lock
