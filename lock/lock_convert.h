#pragma once

#include <string>
#include <string_view>

#include "lock/strong_lock.h"
#include "platform/progress.h"

// Turning the strong lock of a diary on and off, and the password's changes.
// Every entry file is converted through its work file, synced, and only then
// is the old one removed. A journal beside the key file says which way a
// conversion goes until it is done, so that one cut short (a crash, a kill)
// leaves every entry readable and FinishConversion completes it. Nothing is
// touched before every entry has been found convertible. The conflict
// copies beside the entries follow them (lock/copy_convert.h), and so do
// their kept versions (lock/version_convert.h) and drafts
// (lock/draft_convert.h).
namespace kuv::lock {

enum class UnlockTarget { Windows, Plain };

// Turns the strong lock on under password (UTF-8 bytes, as typed). Entries
// under the Windows lock are opened with windowsKey (code page 932, the
// settings' password). recoveryCode receives the code that can set a new
// password later. Cancelled through progress, the entries already converted
// go back to the Windows container (when windowsKey can be its key) or to
// plain files, and the diary is as it was.
LockResult TurnOn(const std::string& dataPath, std::string_view password,
                  const std::string& windowsKey, const Argon2Params& params,
                  std::string& recoveryCode, const ProgressFn& progress = {});

// Turns the strong lock off: every sealed entry back to the Windows
// container under the password (its code page 932 form) or to plain files,
// then the key file goes. Stops before touching anything when an entry
// cannot be opened or holds characters that code page 932 cannot (the
// message names them all). Cancelled, the converted entries are sealed again.
LockResult TurnOff(const std::string& dataPath, std::string_view password, UnlockTarget to,
                   const ProgressFn& progress = {});

// True when a conversion was cut short in the data folder.
bool ConversionPending(const std::string& dataPath);
// Completes a conversion cut short, in the direction its journal names;
// windowsKey is the settings' password, for entries still in their Windows
// container. Ok when there was none.
LockResult FinishConversion(const std::string& dataPath, std::string_view password,
                            const std::string& windowsKey);
// Which way the pending conversion goes: true when towards the strong lock.
bool PendingTowardsLock(const std::string& dataPath);

// What a password prompt does with what was typed, off the window's thread
// (it takes about a second): finishes a conversion cut short, then opens the
// key and keeps it for the readers of this process. windowsKey is the
// settings' password, for entries still in their Windows container.
LockResult OpenStrongLockedDiary(const std::string& dataPath, std::string_view password,
                                 const std::string& windowsKey);

// A new password: the data key is wrapped again; no entry is rewritten.
LockResult ChangePassword(const std::string& dataPath, std::string_view oldPassword,
                          std::string_view newPassword, const Argon2Params& params);
// A new password set with the recovery code.
LockResult RecoverPassword(const std::string& dataPath, std::string_view recoveryCode,
                           std::string_view newPassword, const Argon2Params& params);

// Seals every entry again under a new data key, with a new recovery code
// (in recoveryCode): key files of before, kept by a sync tool or a backup,
// open nothing written from now on. The new key file waits beside the old
// one until every entry is sealed under it, so a crash part way leaves both
// keys at hand and FinishConversion completes the job.
LockResult Rekey(const std::string& dataPath, std::string_view password, const Argon2Params& params,
                 std::string& recoveryCode, const ProgressFn& progress = {});

}  // namespace kuv::lock
