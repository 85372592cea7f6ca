#include <cstdio>
#include <string>

#include <QString>

#include "cli/cli.h"
#include "cli/diary_guard.h"
#include "import/import_folder.h"
#include "platform/cp932.h"

namespace kuv::cli {

int RunImport(int argc, char** argv) {
    // The encryption switch lives only in the settings file.
    int status = 0;
    const auto run =
        ParseNamedAndDiary(argc, argv, {"app-dir", "data", "password"}, "folder name", status);
    if (!run) return status;
    if (RefuseWhileHeld(run->diary)) return kExitDiaryOpen;
    ImportOptions options;
    options.folder = run->name;
    options.dataPath = run->diary.settings.DataPath;
    options.useEncryption = run->diary.settings.UseEncryption;
    options.password = run->diary.settings.Password;
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
