#include "cli/diary_guard.h"

namespace kuv::cli {

bool WindowHoldsDiary(const AppPaths&, const std::string&) {
    return false;
}

}  // namespace kuv::cli
