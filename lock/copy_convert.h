#pragma once

#include <string>
#include <vector>

#include "lock/lock_convert.h"
#include "lock/strong_lock.h"

// The conflict copies beside a diary's entries follow the entries through a
// change of lock: sealed for their day when the strong lock goes on, back in
// the Windows program's form when it goes off, sealed again under a new key.
// A copy keeps its name; only its extension changes. Each step is done
// again harmlessly after a crash: a copy whose target is there already with
// the same text only loses its old file.
namespace kuv::lock {

// Copies that stop a conversion before anything is touched: ones that
// cannot be opened (damaged), and ones whose text the target form cannot
// hold. A Windows-locked copy that windowsKey does not open is neither: it
// is left as it lies, as it is not plain.
struct CopyCheck {
    std::vector<std::string> damaged, notConvertible;
};
CopyCheck CheckCopiesForLock(const std::string& dataPath, const std::string& windowsKey);
CopyCheck CheckCopiesForUnlock(const std::string& dataPath, const DiaryKey& key);

// Each returns false, with the copy in failed, when a file could not be
// written or removed.
bool SealCopies(const std::string& dataPath, const DiaryKey& key, const std::string& windowsKey,
                std::string& failed);
bool UnsealCopies(const std::string& dataPath, const DiaryKey& key, UnlockTarget to,
                  const std::string& windowsKey, std::string& failed);
// Copies that the old key does not open are left as they are.
bool ResealCopies(const std::string& dataPath, const DiaryKey& oldKey, const DiaryKey& newKey,
                  std::string& failed);

}  // namespace kuv::lock
