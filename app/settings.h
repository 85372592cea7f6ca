#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kuv {

// The settings record, held by the main window for the whole run. Texts are
// code page 932 bytes.
struct TDiarySettings {
    std::string Password;
    bool UseEncryption = false;
    std::string DataPath;
    std::string DateFormat;
    bool AutoInsertDate = false;
    std::string FontName;
    int FontSize = 12;
    std::int32_t FontColor = static_cast<std::int32_t>(0x80000008u);
    bool ShowOldDiary = true;
    int OldDiaryHeight = 154;
    bool SaveWindow = true;
    int WindowTop = -1;
    int WindowLeft = 0;
    int WindowHeight = 450;
    int WindowWidth = 640;
    // Kuvandoro's own: a backup at the first start of each day.
    bool AutoBackup = true;
    // Kuvandoro's own: what a new day starts with, in the date pattern
    // language (code page 932, CR LF line breaks); empty for none.
    std::string NewDayTemplate;
    // The diary is under the strong lock: its password is never stored.
    bool StrongLock = false;
    // Kuvandoro's own: the export's format chosen last ("txt", "md", "html",
    // "pdf"), offered first the next time; empty until one is chosen.
    std::string ExportFormat;
};

// The default date pattern yyyy"/"mm"/"dd" ("aaa")" and font name.
extern const char* const kDefaultDateFormat;
extern const char* const kDefaultFontName;  // "ＭＳ Ｐゴシック" in code page 932

// Where the program keeps its settings and, by default, its entries.
struct AppPaths {
    std::string appDir;          // the program folder, where the executable lies
    std::string settingsFolder;  // appDir + "/data", or the per-user folder
    std::string settingsPath;    // settingsFolder + "/diary.ini"
};

// Whether this build is the system-wide install of a package (CMake option
// KUV_SYSTEM_INSTALL): decided when the program is built, never by testing
// what the running user may write, since root may write /usr/bin.
extern const bool kSystemWideInstall;

// The per-user data folder $XDG_DATA_HOME/kuvandoro (default
// ~/.local/share/kuvandoro) for a system-wide install; otherwise FAppDir +
// "/data", the program folder of a per-user install. Creates nothing.
AppPaths ResolveAppPaths(const std::string& appDir);
// FAppDir + "/data" whatever the build (tools given a program folder, tests).
AppPaths FixedAppPaths(const std::string& appDir);
// The per-user data folder whatever the build; FixedAppPaths when there is no
// home folder to put it in. Creates nothing.
AppPaths UserAppPaths(const std::string& appDir);

// $XDG_DATA_HOME/kuvandoro (default ~/.local/share/kuvandoro), code page 932;
// nothing when no home folder is known.
std::optional<std::string> PerUserDataFolder();

// The defaults of every field; DataPath is the settings folder.
TDiarySettings DefaultSettings(const AppPaths& paths);

// True when this process may write to the file or folder at path.
bool IsWritablePath(const std::string& path);

}  // namespace kuv
