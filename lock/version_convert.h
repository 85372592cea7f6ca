#pragma once

#include <string>

#include "lock/lock_convert.h"
#include "lock/strong_lock.h"

// The kept versions of a diary's entries (history/entry_history.h, outside
// the data folder) follow the entries through a change of lock, so that no
// version stays plain under the strong lock and none is left that nothing
// opens once it is off. Each version is rewritten in place (its name and
// time kept), so a conversion cut short and done again finds the ones done
// already in their new form and passes them by.
namespace kuv::lock {

// Plain versions, and Windows-locked ones that windowsKey opens, sealed for
// their day.
bool SealVersions(const std::string& dataPath, const DiaryKey& key, const std::string& windowsKey,
                  std::string& failed);
// Sealed versions back to the Windows container under windowsKey, or plain;
// one whose text code page 932 cannot hold stays sealed.
bool UnsealVersions(const std::string& dataPath, const DiaryKey& key, UnlockTarget to,
                    const std::string& windowsKey, std::string& failed);
// Sealed versions that the old key opens, sealed under the new one.
bool ResealVersions(const std::string& dataPath, const DiaryKey& oldKey, const DiaryKey& newKey,
                    std::string& failed);

}  // namespace kuv::lock
