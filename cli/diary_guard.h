#pragma once

#include "cli/cli.h"

namespace kuv::cli {

// True, after a message, while a window has the diary open (its entries or
// its settings folder): a command that changes entries (restore, import) then
// changes nothing and exits with kExitDiaryOpen.
bool RefuseWhileHeld(const DiaryOptions& diary);

}  // namespace kuv::cli
