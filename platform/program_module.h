#pragma once

#include <string>

// Parts of the program kept in modules of their own, which a window loads the
// first time it needs them, so that a start does not map the libraries only
// they use. A module lies beside the program (the build tree, the per-user
// install) or where the package installs it.
namespace kuv {

// The table that fileName's C function entryName returns, the module staying
// loaded for the life of the program; nothing, with the reason (the loader's
// own words, UTF-8) in failure, when the module or its entry is missing.
const void* OpenProgramModule(const char* fileName, const char* entryName, std::string& failure);

}  // namespace kuv
