#pragma once

#include <string>

#include "app/settings.h"

namespace kuv::cli {

// True while a window has the diary of paths (entries in dataPath) open: a
// command that changes entries (restore, import) refuses to run then.
//
// Not connected yet: the lock that a running window holds is
// app/instance_lock's, and this is the one place that asks it. Until then it
// answers false.
bool WindowHoldsDiary(const AppPaths& paths, const std::string& dataPath);

}  // namespace kuv::cli
