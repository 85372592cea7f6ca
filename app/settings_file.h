#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/settings.h"

// The settings file: an INI text that lies on disk as a container under the
// fixed key. Reading decodes it in memory; a write puts a whole new container
// in its place.
namespace kuv {

extern const char* const kSettingsKey;  // "718306925461"

// What reading the settings file found.
enum class SettingsRead {
    Read,        // the keys were read over the defaults
    Missing,     // no file: every field keeps its default
    NotAFile,    // a folder or a device stands at the settings path
    CannotOpen,  // the file cannot be opened (no permission to read it, ...)
    ReadError,   // reading it failed part way
    TooLarge,    // larger than any settings file
    ForeignKey,  // a container under another key
    Damaged,     // a container of ours that is cut short or wound without end
};

struct SettingsReadResult {
    SettingsRead status = SettingsRead::Missing;
    bool handWritten = false;  // the file was read as plain INI text, not a container
    // Code page 932: that the file cannot be read, where, and why; empty
    // when usable.
    std::string message;
    // The record holds the file's values or the defaults of a missing file.
    bool usable() const { return status == SettingsRead::Read || status == SettingsRead::Missing; }
};

// Who reads: the program, which leaves a file written by hand as a container
// from then on, or a tool, which creates and changes nothing.
enum class SettingsAccess { Program, ReadOnly };

// Reads every key over the defaults already in s, from the file decoded in
// memory. When the file cannot be read, s is untouched and the file is left
// as it is: it is the user's, and no write replaces it (see the writes).
SettingsReadResult ReadSettingsFile(TDiarySettings& s, const AppPaths& paths,
                                    SettingsAccess access);
// ReadSettingsFile for the program; true when usable.
bool ReadSettings(TDiarySettings& s, const AppPaths& paths);

// What a write of the settings file came to.
enum class SettingsWrite {
    Written,            // the keys are on the disk (or were there already)
    KeptUnreadable,     // the file could not be read, so it is kept as it is
    ReadOnlyFile,       // the file is read-only
    FolderNotCreated,   // the settings folder (or one above it) cannot be created
    FolderNotWritable,  // no work file can be made in the settings folder
    DiskFull,           // no room left on the disk (or over the quota)
    WriteError,         // any other failure of writing, flushing or renaming
    ValueRefused,       // a value that the file cannot hold (a line break, a zero byte)
};

struct SettingsWriteResult {
    SettingsWrite status = SettingsWrite::Written;
    // Code page 932: why nothing was stored; empty when written. A refused
    // write reads "<settings path> に書き込めません（<cause>）".
    std::string message;
    bool ok() const { return status == SettingsWrite::Written; }
};

// The state of the main window that is remembered between runs.
struct ClosingState {
    bool lowerPaneShown = true;  // the lower-pane toggle is down
    int lowerPaneHeight = 154;   // the lower pane's height, 0 while hidden
    int top = 0, left = 0, height = 450, width = 640;
};

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
    // [KUVANDORO] NEWDAYTEMPLATE; left as it is on disk when not set.
    std::optional<std::string> newDayTemplate;
};

// The writes. Each reads the file again just before it replaces it, so that
// keys that another program wrote meanwhile stay; the keys go to the disk
// together, as one container through the work file, or not at all. The
// settings folder, with the folders above it (mode 0700), is made when the
// write needs it. A file that start-up could not read (startUp not usable),
// or that cannot be read now, is kept as it is: nothing is written.
SettingsWriteResult StoreClosingSettings(const AppPaths& paths, const SettingsReadResult& startUp,
                                         const ClosingState& state, bool saveWindow);
SettingsWriteResult StoreDialogSettings(const AppPaths& paths, const SettingsReadResult& startUp,
                                        const DialogValues& values);
// The automatic backup switch alone ([KUVANDORO] AUTOBACKUP), written at
// once when the user turns it on or off.
SettingsWriteResult StoreAutoBackupSetting(const AppPaths& paths, const SettingsReadResult& startUp,
                                           bool on);
// The export's format chosen last ([KUVANDORO] EXPORTFORMAT), written when an
// export is asked for in another format than the one stored.
SettingsWriteResult StoreExportFormatSetting(const AppPaths& paths,
                                             const SettingsReadResult& startUp,
                                             const std::string& format);
// The strong lock's state with the Windows lock's keys that go with it: on,
// the password is emptied (the key file holds what opens the diary); off,
// the Windows container's password and switch as the diary now needs them.
SettingsWriteResult StoreStrongLockSetting(const AppPaths& paths, const SettingsReadResult& startUp,
                                           bool on, const std::string& password,
                                           bool useEncryption);

// The same for a file that start-up read; throws AppError with the message
// when nothing was stored.
void WriteClosingSettings(const AppPaths& paths, const ClosingState& state, bool saveWindow);
void WriteDialogSettings(const AppPaths& paths, const DialogValues& values);

}  // namespace kuv
