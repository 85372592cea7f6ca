#include "cli/cli.h"

#include <cstdio>
#include <optional>
#include <string>

#include "app/profile.h"
#include "app/settings.h"
#include "app/settings_file.h"
#include "platform/cp932.h"

namespace kuv::cli {

namespace {

void PrintText(const char* name, const std::string& cp932Text) {
    std::printf("%s=%s\n", name, cp932::ToUtf8(cp932Text).c_str());
}

void PrintInt(const char* name, long long value) {
    std::printf("%s=%lld\n", name, value);
}

}  // namespace

int RunSettings(int argc, char** argv) {
    std::optional<Args> args = ParseArgs(argc, argv, 2, {}, {"app-dir"});
    if (!args) return 2;
    if (!args->positional.empty()) return Usage();

    const std::optional<AppPaths> paths = ProgramPaths(*args);
    if (!paths) return 2;
    TDiarySettings s = DefaultSettings(*paths);
    const SettingsReadResult read = ReadSettingsFile(s, *paths, SettingsAccess::ReadOnly);
    if (!read.usable()) {
        std::fprintf(stderr, "kuvandoro-cli: %s\n", cp932::ToUtf8(read.message).c_str());
    }

    PrintText("Password", s.Password);
    PrintInt("UseEncryption", s.UseEncryption ? 1 : 0);
    PrintText("DataPath", s.DataPath);
    PrintText("DateFormat", s.DateFormat);
    PrintInt("AutoInsertDate", s.AutoInsertDate ? 1 : 0);
    PrintText("FontName", s.FontName);
    PrintInt("FontSize", s.FontSize);
    PrintInt("FontColor", s.FontColor);
    PrintInt("ShowOldDiary", s.ShowOldDiary ? 1 : 0);
    PrintInt("OldDiaryHeight", s.OldDiaryHeight);
    PrintInt("SaveWindow", s.SaveWindow ? 1 : 0);
    PrintInt("WindowTop", s.WindowTop);
    PrintInt("WindowLeft", s.WindowLeft);
    PrintInt("WindowHeight", s.WindowHeight);
    PrintInt("WindowWidth", s.WindowWidth);
    return std::fflush(stdout) == 0 && read.usable() ? 0 : 1;
}

int RunProfile(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string verb = argv[2];
    std::optional<Args> args = ParseArgs(argc, argv, 3, {}, {});
    if (!args) return 2;
    const auto& pos = args->positional;
    const bool get = verb == "get" && (pos.size() == 3 || pos.size() == 4);
    const bool set = verb == "set" && pos.size() == 4;
    if (!get && !set) return Usage();

    std::optional<std::string> file = ArgToCp932(pos[0], "file name");
    std::optional<std::string> section = ArgToCp932(pos[1], "section");
    std::optional<std::string> key = ArgToCp932(pos[2], "key");
    std::optional<std::string> last =
        pos.size() == 4 ? ArgToCp932(pos[3], get ? "default" : "value") : std::string();
    if (!file || !section || !key || !last) return 2;

    if (get) {
        // The buffer that the settings file is read with.
        const std::string value = GetPrivateProfileString(*section, *key, *last, 2048, *file);
        std::printf("%s\n", cp932::ToUtf8(value).c_str());
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (RefuseWhileOpen(*file)) return kExitDiaryOpen;
    if (!WritePrivateProfileString(*section, *key, *last, *file)) {
        std::fprintf(stderr, "kuvandoro-cli: cannot write %s\n", pos[0].c_str());
        return 1;
    }
    return 0;
}

}  // namespace kuv::cli
