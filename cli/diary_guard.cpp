#include "cli/diary_guard.h"

#include "app/instance_lock.h"

namespace kuv::cli {

bool WindowHoldsDiary(const AppPaths& paths, const std::string& dataPath) {
    // A window locks both folders of its diary while it has it open.
    return DiaryFolderInUse(dataPath) || DiaryFolderInUse(paths.settingsFolder);
}

}  // namespace kuv::cli
