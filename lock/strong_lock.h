#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "lock/entry_file.h"
#include "lock/key_file.h"
#include "lock/secret_key.h"

// A strong-locked diary: its key file in the data folder, the data key that
// a password (or the recovery code) opens from it, and the sealed entry
// files "yyyy/mmdd.kvd". The key file's presence is what makes a diary
// strong-locked; the Windows program never looks at it.
namespace kuv::lock {

inline constexpr const char* kKeyFileName = "kuvandoro.key";
inline constexpr const char* kJournalName = "kuvandoro.key.journal";

std::string KeyFilePath(const std::string& dataPath);
std::string JournalPath(const std::string& dataPath);
// True when the data folder holds a key file (or a conversion to the strong
// lock has begun there).
bool HasStrongLock(const std::string& dataPath);

// The open key of a diary.
struct DiaryKey {
    KeyId id{};
    SecretBytes key;
};

enum class LockStatus {
    Ok,
    WrongPassword,  // the password (or recovery code) does not open the key
    KeyFileMissing,
    KeyFileUnreadable,    // the file exists but cannot be read
    KeyFileDamaged,       // altered, truncated, or no key file at all
    KeyFileNewer,         // written by a later version of this program
    NoMemory,             // the machine cannot give Argon2id the memory it asks
    NotStorable,          // the password cannot be the Windows container's key
    EntryDamaged,         // a named entry cannot be read; nothing was changed
    EntryNotConvertible,  // a named entry cannot be held by the target format
    AlreadyLocked,
    NotLocked,
    WriteFailed,  // a file could not be written; what stood there is intact
    Cancelled,
    NotOpen,  // a sealed entry met while no key of its diary is open
};

// Why a status is not Ok, in Japanese (UTF-8), naming detail (a file, an
// amount of memory) where the message has a place for it.
std::string LockMessage(LockStatus status, std::string_view detail = {});

struct LockResult {
    LockStatus status = LockStatus::Ok;
    std::string message;  // UTF-8; empty when Ok
    bool ok() const { return status == LockStatus::Ok; }
};
LockResult Result(LockStatus status, std::string_view detail = {});

// Reads and parses the key file of the data folder.
LockResult LoadKeyFile(const std::string& dataPath, KeyFile& file);
// Writes the key file through its work file, and a copy of it under
// $XDG_DATA_HOME/kuvandoro/keys/<key id>.key (the copy failing is no
// failure: the key file itself is the one that counts).
LockResult StoreKeyFile(const std::string& dataPath, const KeyFile& file);

// Reads the key file of the data folder and opens its data key through the
// slot of kind; the messages are those of OpenDiaryKey.
LockResult OpenKeyFile(const std::string& dataPath, std::string_view secret, SlotKind kind,
                       KeyFile& file, SecretBytes& key);
// Opens the data key with the password (kind Password) or recovery code
// (kind Recovery). A wrong secret, a damaged key file and a short memory
// are told apart.
LockResult OpenDiaryKey(const std::string& dataPath, std::string_view secret, SlotKind kind,
                        DiaryKey& out);

// The keys this process has open, one per data folder, for the readers that
// find a sealed entry on their way (the panes, search, export). Held until
// forgotten; core dumps stay off from the first remembered key on.
void RememberKey(const std::string& dataPath, DiaryKey key);
std::shared_ptr<const DiaryKey> KeyFor(const std::string& dataPath);
void ForgetKey(const std::string& dataPath);
// Turns core dumps off for this process (prctl PR_SET_DUMPABLE 0).
void KeepOutOfCoreDumps();

// The sealed entry file of a day; day is "YYYY-MM-DD".
std::string StrongEntryPath(const std::string& dataPath, std::string_view day);

enum class EntryRead { Opened, Missing, Unreadable, OtherKey, Damaged };
// Reads and opens the sealed entry at path for day.
EntryRead ReadStrongEntry(const std::string& path, std::string_view day, const DiaryKey& key,
                          std::string& utf8);
// Seals text for day and writes it to path through its work file.
bool WriteStrongEntry(const std::string& path, std::string_view day, const DiaryKey& key,
                      std::string_view utf8);

}  // namespace kuv::lock
