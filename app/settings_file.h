#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/settings.h"

// The settings file: an INI text that lies on disk as a container under the
// fixed key between accesses; every access decodes it, reads or writes keys
// and encodes it again.
namespace kuv {

extern const char* const kSettingsKey;  // "718306925461"

void DecodeSettingsFile(const AppPaths& paths);
void EncodeSettingsFile(const AppPaths& paths);

// Reads every key over the defaults already in s, from the file decoded in
// memory; a file written by hand is left as a container. False (s untouched)
// when a settings file is there but cannot be read: a folder, an unreadable
// file, a container under another key.
bool ReadSettings(TDiarySettings& s, const AppPaths& paths);

// The state of the main window that is remembered between runs.
struct ClosingState {
    bool lowerPaneShown = true;  // the lower-pane toggle is down
    int lowerPaneHeight = 154;   // Memo2's height, 0 while hidden
    int top = 0, left = 0, height = 450, width = 640;
};
// Throws AppError("%s に書き込めません") with the settings path when the file
// cannot be written; then nothing of the write is on the disk. The keys go to
// the disk together, as one container replacing the old file.
void WriteClosingSettings(const AppPaths& paths, const ClosingState& state, bool saveWindow);

struct DialogValues {
    std::string password;
    bool useEncryption = false;
    std::string dataPath;
    std::string dateFormat;
    int fontSize = 12;
    std::int32_t fontColor = 0;
    std::string fontName;
    bool saveWindow = true;
    bool autoInsertDate = false;
    // [KUVANDORO] AUTOBACKUP; left as it is on disk when not set.
    std::optional<bool> autoBackup;
};
// Same rules as WriteClosingSettings.
void WriteDialogSettings(const AppPaths& paths, const DialogValues& values);

}  // namespace kuv
