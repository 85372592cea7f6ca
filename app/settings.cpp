#include "app/settings.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "app/profile.h"
#include "platform/cp932.h"
#include "platform/fileio.h"

namespace kuv {

const char* const kDefaultDateFormat = "yyyy\"/\"mm\"/\"dd\" (\"aaa\")\"";
// Full-width M, S, an ASCII space, full-width P and the katakana of "gothic".
const char* const kDefaultFontName = "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";

#ifdef KUV_SYSTEM_INSTALL
const bool kSystemWideInstall = true;
#else
const bool kSystemWideInstall = false;
#endif

namespace {

// Joins a folder and a name with one "/"; a folder that already ends in "/"
// (the root) gets none, so that "/" and "data" make "/data", not "//data".
std::string Join(const std::string& folder, const char* name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::optional<std::string> EnvPath(const char* name) {
    const char* v = std::getenv(name);
    if (v == nullptr || *v == '\0') return std::nullopt;
    return cp932::FromUtf8(v);
}

// $XDG_DATA_HOME/kuvandoro; the XDG base directory rules say to ignore
// an unset, empty or relative XDG_DATA_HOME and use ~/.local/share.
std::optional<std::string> UserDataFolder() {
    std::optional<std::string> base = EnvPath("XDG_DATA_HOME");
    if (!base || base->front() != '/') {
        std::optional<std::string> home = EnvPath("HOME");
        if (!home) {
            if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
                home = cp932::FromUtf8(pw->pw_dir);
            }
        }
        if (!home || home->empty() || home->front() != '/') return std::nullopt;
        base = Join(*home, ".local/share");
    }
    return Join(*base, "kuvandoro");
}

}  // namespace

std::optional<std::string> PerUserDataFolder() {
    return UserDataFolder();
}

bool IsWritablePath(const std::string& path) {
    return ::access(cp932::ToUtf8(path).c_str(), W_OK) == 0;
}

AppPaths FixedAppPaths(const std::string& appDir) {
    AppPaths p;
    p.appDir = appDir;
    p.settingsFolder = Join(appDir, "data");
    p.settingsPath = p.settingsFolder + "/diary.ini";
    return p;
}

AppPaths UserAppPaths(const std::string& appDir) {
    AppPaths p = FixedAppPaths(appDir);
    std::optional<std::string> user = UserDataFolder();
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
