#pragma once

#include <string>

#include "app/settings.h"

namespace kuv::cli {

// True while a window has the diary of paths (entries in dataPath, settings
// in paths.settingsFolder) open: a command that changes entries (restore,
// import) refuses to run then and changes nothing.
bool WindowHoldsDiary(const AppPaths& paths, const std::string& dataPath);

}  // namespace kuv::cli
