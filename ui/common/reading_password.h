#pragma once

#include <string>

#include "diary/session.h"

namespace kuv {

// The password that the windows read entries with, as loading the panes
// does: none while the diary is locked.
inline std::string ReadingPassword(const DiarySession& session) {
    return session.Locked() ? std::string() : session.Settings().Password;
}

}  // namespace kuv
