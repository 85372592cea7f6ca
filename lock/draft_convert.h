#pragma once

#include <string>

#include "lock/lock_convert.h"
#include "lock/strong_lock.h"

// Drafts left by a run that did not end cleanly (drafts/draft_store.h)
// follow the entries through a change of lock, as the kept versions do:
// sealed for their day when the strong lock goes on, under the Windows
// password or plain when it goes off, under the new key after a re-key.
// Each is rewritten in place through a work file; one that the old form's
// key does not open is left as it is.
namespace kuv::lock {

// How the drafts were sealed, and how they are to be: a key for the strong
// lock, otherwise the Windows password (empty: plain).
struct DraftForm {
    const DiaryKey* key = nullptr;
    std::string windowsKey;
};

// False, with the draft in failed, when one could not be rewritten.
bool ConvertDrafts(const std::string& dataPath, const DraftForm& from, const DraftForm& to,
                   std::string& failed);

}  // namespace kuv::lock
