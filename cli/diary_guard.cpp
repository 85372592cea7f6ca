#include "cli/diary_guard.h"

#include <cstdio>

#include "app/instance_lock.h"
#include "platform/cp932.h"

namespace kuv::cli {

bool RefuseWhileOpen(const std::string& cp932Path) {
    const std::string folder = OpenDiaryHolding(cp932Path);
    if (folder.empty()) return false;
    std::fprintf(stderr,
                 "kuvandoro-cli: a Kuvandoro window has the diary in %s open; close it before "
                 "writing to %s\n",
                 cp932::ToUtf8(folder).c_str(), cp932::ToUtf8(cp932Path).c_str());
    return true;
}

bool RefuseWhileHeld(const DiaryOptions& diary) {
    // A window locks both folders of its diary while it has it open.
    if (!DiaryFolderInUse(diary.settings.DataPath) &&
        !DiaryFolderInUse(diary.paths.settingsFolder)) {
        return false;
    }
    std::fprintf(stderr, "kuvandoro-cli: the diary is open in a window; close it first\n");
    return true;
}

}  // namespace kuv::cli
