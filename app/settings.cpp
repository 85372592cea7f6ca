#include "app/settings.h"

#include <unistd.h>

#include <optional>

#include "app/user_folder.h"
#include "platform/cp932.h"

namespace kuv {

const char* const kDefaultDateFormat = "yyyy\"/\"mm\"/\"dd\" (\"aaa\")\"";
// Full-width M, S, an ASCII space, full-width P and the katakana of "gothic".
const char* const kDefaultFontName = "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";

#ifdef KUV_SYSTEM_INSTALL
const bool kSystemWideInstall = true;
#else
const bool kSystemWideInstall = false;
#endif

std::optional<std::string> PerUserDataFolder() {
    return UserFolder("XDG_DATA_HOME", ".local/share");
}

bool IsWritablePath(const std::string& path) {
    return ::access(cp932::ToUtf8(path).c_str(), W_OK) == 0;
}

AppPaths FixedAppPaths(const std::string& appDir) {
    AppPaths p;
    p.appDir = appDir;
    p.settingsFolder = JoinPath(appDir, "data");
    p.settingsPath = p.settingsFolder + "/diary.ini";
    return p;
}

AppPaths UserAppPaths(const std::string& appDir) {
    AppPaths p = FixedAppPaths(appDir);
    std::optional<std::string> user = PerUserDataFolder();
    if (!user) return p;
    p.settingsFolder = *user;
    p.settingsPath = *user + "/diary.ini";
    return p;
}

AppPaths ResolveAppPaths(const std::string& appDir) {
    return kSystemWideInstall ? UserAppPaths(appDir) : FixedAppPaths(appDir);
}

TDiarySettings DefaultSettings(const AppPaths& paths) {
    TDiarySettings s;
    s.DataPath = paths.settingsFolder;
    s.DateFormat = kDefaultDateFormat;
    s.FontName = kDefaultFontName;
    return s;
}

}  // namespace kuv
