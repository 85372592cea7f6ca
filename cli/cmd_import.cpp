#include <cstdio>
#include <string>

#include <QString>

#include "cli/cli.h"
#include "cli/diary_guard.h"
#include "import/import_folder.h"
#include "platform/cp932.h"

namespace kuv::cli {

int RunImport(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {}, {"app-dir", "data", "password"});
    if (!args) return 2;
    if (args->positional.size() != 1) return Usage();
    const auto folder = ArgToCp932(args->positional[0], "folder name");
    if (!folder) return 2;
    // The encryption switch lives only in the settings file.
    int status = 0;
    const auto diary = ResolveDiary(*args, true, status);
    if (!diary) return status;
    if (WindowHoldsDiary(diary->paths, diary->settings.DataPath)) {
        std::fprintf(stderr, "kuvandoro-cli: the diary is open in a window; close it first\n");
        return kExitDiaryOpen;
    }
    ImportOptions options;
    options.folder = *folder;
    options.dataPath = diary->settings.DataPath;
    options.useEncryption = diary->settings.UseEncryption;
    options.password = diary->settings.Password;
    const ImportResult result = ImportFolder(options);
    for (const ImportFileReport& file : result.files) {
        const bool skipped = file.outcome == ImportFileReport::Outcome::Skipped;
        std::string line = cp932::ToUtf8(file.message);
        // The terminal can show the character that the diary cannot hold.
        if (file.badChar != 0) {
            const char32_t c = file.badChar;
            line += " [" + QString::fromUcs4(&c, 1).toStdString() + "]";
        }
        std::fprintf(skipped ? stderr : stdout, "%s\n", line.c_str());
    }
    PrintMessage(result.status == ImportStatus::Done ? stdout : stderr, result.message);
    return result.status == ImportStatus::Done ? 0 : 1;
}

}  // namespace kuv::cli
