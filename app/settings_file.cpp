#include "app/settings_file.h"

#include <cerrno>
#include <cstdint>
#include <string>

#include "app/multiline_value.h"
#include "app/profile.h"
#include "crypt/cryptogram.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "platform/texts.h"

namespace kuv {

const char* const kSettingsKey = "718306925461";

namespace {

constexpr std::size_t kReadBuffer = 2048;
// The integer fields of the record are read through the 32-bit rules.
static_assert(sizeof(int) == sizeof(std::int32_t));
// A file wound in more layers than this is not ours to unwind.
constexpr int kMaxLayers = 8;

bool IsContainer(const std::string& path) {
    fsio::InFile f;
    if (!f.Open(path)) return false;
    unsigned char head[8] = {};
    return f.Read(head, sizeof head) == static_cast<std::int64_t>(sizeof head) &&
           HasCryptMarker(head, sizeof head);
}

bool IsContainerText(const std::string& bytes) {
    return HasCryptMarker(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// The INI text of the settings file, unwound from its containers in memory:
// reading needs neither room on the disk nor a writable folder, and the text
// never lies decoded on the disk.
struct Loaded {
    SettingsRead status = SettingsRead::Missing;
    std::string text;
    bool wasContainer = false;
    int openError = 0;  // errno of a failed open
};

Loaded LoadSettingsText(const std::string& path) {
    Loaded l;
    switch (fsio::KindOf(path)) {
        case fsio::Kind::Missing:
            return l;
        case fsio::Kind::File:
            break;
        default:
            l.status = SettingsRead::NotAFile;
            return l;
    }
    std::string bytes;
    errno = 0;
    switch (fsio::ReadWholeFile(path, bytes, kMaxProfileBytes)) {
        case fsio::ReadStatus::Ok:
            break;
        case fsio::ReadStatus::Missing:
            return l;
        case fsio::ReadStatus::CannotOpen:
            l.openError = errno;
            l.status = SettingsRead::CannotOpen;
            return l;
        case fsio::ReadStatus::TooLarge:
            l.status = SettingsRead::TooLarge;
            return l;
        case fsio::ReadStatus::ReadError:
            l.status = SettingsRead::ReadError;
            return l;
    }
    // A file wound twice (an encoding that once ran over a file whose
    // decoding had failed) is unwound layer by layer.
    for (int layer = 0; IsContainerText(bytes); ++layer) {
        std::string plain;
        const CryptResult decoded =
            layer < kMaxLayers ? CryptDecodeBytes(bytes, kSettingsKey, plain) : CryptResult::Failed;
        if (decoded != CryptResult::Decoded) {
            l.status = decoded == CryptResult::NoMatchingHeader ? SettingsRead::ForeignKey
                                                                : SettingsRead::Damaged;
            return l;
        }
        bytes.swap(plain);
        l.wasContainer = true;
    }
    l.text.swap(bytes);
    l.status = SettingsRead::Read;
    return l;
}

std::string ReadCause(SettingsRead status, int openError) {
    switch (status) {
        case SettingsRead::NotAFile:
            return TextOf(TextId::CauseNotAFile);
        case SettingsRead::CannotOpen:
            return TextOf(openError == EACCES || openError == EPERM ? TextId::CauseNoReadPermission
                                                                    : TextId::CauseCannotOpen);
        case SettingsRead::ReadError:
            return TextOf(TextId::CauseReadError);
        case SettingsRead::TooLarge:
            return TextOf(TextId::CauseTooLarge);
        case SettingsRead::ForeignKey:
            return TextOf(TextId::CauseForeignKey);
        case SettingsRead::Damaged:
            return TextOf(TextId::CauseDamaged);
        case SettingsRead::Read:
        case SettingsRead::Missing:
            break;
    }
    return std::string();
}

// "設定ファイル <path> を読み込めません（<cause>）。"
SettingsReadResult Unreadable(const AppPaths& paths, const Loaded& l) {
    SettingsReadResult r;
    r.status = l.status;
    r.message = FormatMessage(TextOf(TextId::SettingsUnreadable), paths.settingsPath) +
                ReadCause(l.status, l.openError) + TextOf(TextId::SentenceEnd);
    return r;
}

SettingsWriteResult Kept(const SettingsReadResult& unreadable) {
    return {SettingsWrite::KeptUnreadable, unreadable.message + TextOf(TextId::SettingsNotStored)};
}

// "<path> に書き込めません（<cause>）": the refused write of the Windows
// program, with its reason.
SettingsWriteResult Refused(const AppPaths& paths, SettingsWrite status) {
    const std::string folder = paths.settingsFolder;
    std::string cause;
    switch (status) {
        case SettingsWrite::ReadOnlyFile:
            cause = TextOf(TextId::CauseReadOnlyFile);
            break;
        case SettingsWrite::FolderNotCreated:
            cause = FormatMessage(TextOf(TextId::CauseFolderNotCreated), folder);
            break;
        case SettingsWrite::FolderNotWritable:
            cause = FormatMessage(TextOf(TextId::CauseFolderNotWritable), folder);
            break;
        case SettingsWrite::DiskFull:
            cause = TextOf(TextId::CauseDiskFull);
            break;
        case SettingsWrite::ValueRefused:
            cause = TextOf(TextId::CauseValueRefused);
            break;
        default:
            cause = TextOf(TextId::CauseWriteError);
            break;
    }
    return {status, FormatMessage(TextOf(TextId::CannotWriteSettings), paths.settingsPath) + cause};
}

// What the errno of a failed write says of its cause.
SettingsWrite WriteCause(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return SettingsWrite::DiskFull;
        case EACCES:
        case EPERM:
        case EROFS:
            return SettingsWrite::FolderNotWritable;
        default:
            return SettingsWrite::WriteError;
    }
}

class Reader {
  public:
    explicit Reader(const std::string& text) : text_(text) {}

    void Text(const char* section, const char* key, std::string& field) const {
        field = ProfileRead(text_, section, key, field, kReadBuffer);
    }
    void Int(const char* section, const char* key, std::int32_t& field) const {
        std::int32_t v = 0;
        if (ParseProfileInt(ProfileRead(text_, section, key, "", kReadBuffer), v)) field = v;
    }
    void Bool(const char* section, const char* key, bool& field) const {
        std::int32_t v = 0;
        if (ParseProfileInt(ProfileRead(text_, section, key, "", kReadBuffer), v)) field = v != 0;
    }

  private:
    const std::string& text_;
};

// Collects the keys of one write in the text read just before, and puts the
// result on the disk as one container, through the work file and one rename:
// a failure or a crash leaves the settings file as it was, never half written
// and never decoded. The first refusal ends the write.
class Writer {
  public:
    Writer(const AppPaths& paths, const SettingsReadResult& startUp) : paths_(paths) {
        // What start-up could not read is not replaced by what would be written.
        if (!startUp.usable()) {
            result_ = Kept(startUp);
            return;
        }
        const Loaded l = LoadSettingsText(paths_.settingsPath);
        switch (l.status) {
            case SettingsRead::Missing:
                break;
            case SettingsRead::Read:
                // Replacing through a rename would get past a read-only file.
                if (fsio::IsReadOnlyFile(paths_.settingsPath)) {
                    result_ = Refused(paths_, SettingsWrite::ReadOnlyFile);
                }
                break;
            default:
                result_ = Kept(Unreadable(paths_, l));
                return;
        }
        text_ = l.text;
        original_ = l.text;
        wasContainer_ = l.wasContainer;
    }

    void Text(const char* section, const char* key, const std::string& value) {
        if (!result_.ok()) return;
        if (!ProfileEntryWritable(section, key, value)) {
            result_ = Refused(paths_, SettingsWrite::ValueRefused);
            return;
        }
        text_ = ProfileUpdate(text_, section, key, value);
    }
    // A value the reader would cut short is refused rather than shortened.
    void WholeText(const char* section, const char* key, const std::string& value) {
        if (result_.ok() && value.size() >= kReadBuffer) {
            result_ = Refused(paths_, SettingsWrite::ValueRefused);
            return;
        }
        Text(section, key, value);
    }
    void Int(const char* section, const char* key, std::int32_t value) {
        Text(section, key, FormatProfileInt(value));
    }
    void Bool(const char* section, const char* key, bool value) {
        Text(section, key, value ? "1" : "0");
    }

    SettingsWriteResult Commit() {
        if (!result_.ok() || (wasContainer_ && text_ == original_)) return result_;
        if (!fsio::MakeDirectories(paths_.settingsFolder)) {
            return Refused(paths_, SettingsWrite::FolderNotCreated);
        }
        // The cause of a failure is the errno of the call that failed; the
        // clean-up after it (closing and removing the work file) succeeds
        // and leaves errno alone.
        errno = 0;
        if (!CryptEncodeBytesTo(text_, fsio::DosTimeNow(), paths_.settingsPath, kSettingsKey)) {
            return Refused(paths_, WriteCause(errno));
        }
        return result_;
    }

  private:
    const AppPaths& paths_;
    SettingsWriteResult result_;
    std::string text_, original_;
    bool wasContainer_ = false;
};

// Locks a settings file written by hand into its container, in place.
void EncodeSettingsFile(const AppPaths& paths) {
    const std::string& path = paths.settingsPath;
    if (!fsio::IsFile(path)) return;
    // A file that is still a container gets no second layer.
    if (IsContainer(path)) return;
    CryptEncodeFile(path, kSettingsKey, false);
}

}  // namespace

SettingsReadResult ReadSettingsFile(TDiarySettings& s, const AppPaths& paths,
                                    SettingsAccess access) {
    const Loaded l = LoadSettingsText(paths.settingsPath);
    if (l.status == SettingsRead::Missing) return {};
    if (l.status != SettingsRead::Read) return Unreadable(paths, l);

    const Reader r(l.text);
    r.Text("SYSTEM", "PASSWORD", s.Password);
    r.Bool("SYSTEM", "USEPASSWORD", s.UseEncryption);
    r.Text("SYSTEM", "DATAPATH", s.DataPath);
    r.Text("SYSTEM", "FORMAT", s.DateFormat);
    r.Int("FONT", "SIZE", s.FontSize);
    r.Int("FONT", "COLOR", s.FontColor);
    r.Text("FONT", "NAME", s.FontName);
    r.Bool("OLDDIARY", "SHOW", s.ShowOldDiary);
    r.Int("OLDDIARY", "HEIGHT", s.OldDiaryHeight);
    r.Bool("WINDOW", "SAVE", s.SaveWindow);
    if (s.SaveWindow) {
        r.Int("WINDOW", "TOP", s.WindowTop);
        r.Int("WINDOW", "LEFT", s.WindowLeft);
    }
    r.Int("WINDOW", "HEIGHT", s.WindowHeight);
    r.Int("WINDOW", "WIDTH", s.WindowWidth);
    r.Bool("SYSTEM", "AUTOINSERTDATE", s.AutoInsertDate);
    // Kuvandoro's own keys, in a section the Windows program does not read.
    r.Bool("KUVANDORO", "AUTOBACKUP", s.AutoBackup);
    std::string newDay = JoinLinesForIni(s.NewDayTemplate);
    r.Text("KUVANDORO", "NEWDAYTEMPLATE", newDay);
    s.NewDayTemplate = SplitLinesFromIni(newDay);
    r.Bool("KUVANDORO", "STRONGLOCK", s.StrongLock);
    r.Text("KUVANDORO", "EXPORTFORMAT", s.ExportFormat);

    SettingsReadResult result;
    result.status = SettingsRead::Read;
    result.handWritten = !l.wasContainer;
    // A file written by hand lies as a container from now on.
    if (result.handWritten && access == SettingsAccess::Program) EncodeSettingsFile(paths);
    return result;
}

bool ReadSettings(TDiarySettings& s, const AppPaths& paths) {
    return ReadSettingsFile(s, paths, SettingsAccess::Program).usable();
}

SettingsWriteResult StoreClosingSettings(const AppPaths& paths, const SettingsReadResult& startUp,
                                         const ClosingState& state, bool saveWindow) {
    Writer w(paths, startUp);
    w.Bool("OLDDIARY", "SHOW", state.lowerPaneShown);
    w.Int("OLDDIARY", "HEIGHT", state.lowerPaneHeight);
    if (saveWindow) {
        w.Int("WINDOW", "TOP", state.top);
        w.Int("WINDOW", "LEFT", state.left);
        w.Int("WINDOW", "HEIGHT", state.height);
        w.Int("WINDOW", "WIDTH", state.width);
    }
    return w.Commit();
}

SettingsWriteResult StoreDialogSettings(const AppPaths& paths, const SettingsReadResult& startUp,
                                        const DialogValues& values) {
    Writer w(paths, startUp);
    w.Text("SYSTEM", "PASSWORD", values.password);
    w.Bool("SYSTEM", "USEPASSWORD", values.useEncryption);
    w.Text("SYSTEM", "DATAPATH", values.dataPath);
    w.Text("SYSTEM", "FORMAT", values.dateFormat);
    w.Int("FONT", "SIZE", values.fontSize);
    w.Int("FONT", "COLOR", values.fontColor);
    w.Text("FONT", "NAME", values.fontName);
    w.Bool("WINDOW", "SAVE", values.saveWindow);
    w.Bool("SYSTEM", "AUTOINSERTDATE", values.autoInsertDate);
    if (values.autoBackup) w.Bool("KUVANDORO", "AUTOBACKUP", *values.autoBackup);
    if (values.newDayTemplate) {
        w.WholeText("KUVANDORO", "NEWDAYTEMPLATE", JoinLinesForIni(*values.newDayTemplate));
    }
    return w.Commit();
}

SettingsWriteResult StoreAutoBackupSetting(const AppPaths& paths, const SettingsReadResult& startUp,
                                           bool on) {
    Writer w(paths, startUp);
    w.Bool("KUVANDORO", "AUTOBACKUP", on);
    return w.Commit();
}

SettingsWriteResult StoreExportFormatSetting(const AppPaths& paths,
                                             const SettingsReadResult& startUp,
                                             const std::string& format) {
    Writer w(paths, startUp);
    w.Text("KUVANDORO", "EXPORTFORMAT", format);
    return w.Commit();
}

SettingsWriteResult StoreStrongLockSetting(const AppPaths& paths, const SettingsReadResult& startUp,
                                           bool on, const std::string& password,
                                           bool useEncryption) {
    Writer w(paths, startUp);
    w.Text("SYSTEM", "PASSWORD", password);
    w.Bool("SYSTEM", "USEPASSWORD", useEncryption);
    w.Bool("KUVANDORO", "STRONGLOCK", on);
    return w.Commit();
}

void WriteClosingSettings(const AppPaths& paths, const ClosingState& state, bool saveWindow) {
    const SettingsWriteResult r = StoreClosingSettings(paths, {}, state, saveWindow);
    if (!r.ok()) throw AppError(r.message);
}

void WriteDialogSettings(const AppPaths& paths, const DialogValues& values) {
    const SettingsWriteResult r = StoreDialogSettings(paths, {}, values);
    if (!r.ok()) throw AppError(r.message);
}

}  // namespace kuv
