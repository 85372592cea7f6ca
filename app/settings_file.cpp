#include "app/settings_file.h"

#include <cstdint>
#include <string>

#include "app/profile.h"
#include "crypt/cryptogram.h"
#include "platform/errors.h"
#include "platform/fileio.h"

namespace kuv {

const char* const kSettingsKey = "718306925461";

namespace {

constexpr std::size_t kReadBuffer = 2048;
// The integer fields of the record are read through the 32-bit rules.
static_assert(sizeof(int) == sizeof(std::int32_t));
// A file wound in more layers than this is not ours to unwind.
constexpr int kMaxLayers = 8;

// "%s に書き込めません"
const char* const kCannotWrite =
    "%s \x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1";

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

enum class Load { Missing, Ok, Unreadable };

// The INI text of the settings file, unwound from its containers in memory:
// reading needs neither room on the disk nor a writable folder, and the text
// never lies decoded on the disk.
Load LoadSettingsText(const std::string& path, std::string& text, bool& wasContainer) {
    text.clear();
    wasContainer = false;
    switch (fsio::KindOf(path)) {
        case fsio::Kind::Missing:
            return Load::Missing;
        case fsio::Kind::File:
            break;
        default:
            return Load::Unreadable;
    }
    std::string bytes;
    switch (fsio::ReadWholeFile(path, bytes, kMaxProfileBytes)) {
        case fsio::ReadStatus::Ok:
            break;
        case fsio::ReadStatus::Missing:
            return Load::Missing;
        default:
            return Load::Unreadable;
    }
    // A file wound twice (an encoding that once ran over a file whose
    // decoding had failed) is unwound layer by layer.
    for (int layer = 0; layer < kMaxLayers && IsContainerText(bytes); ++layer) {
        std::string plain;
        if (CryptDecodeBytes(bytes, kSettingsKey, plain) != 0) return Load::Unreadable;
        bytes.swap(plain);
        wasContainer = true;
    }
    // Still a container: not one of ours, and no keys to read from it.
    if (IsContainerText(bytes)) return Load::Unreadable;
    text.swap(bytes);
    return Load::Ok;
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

// Collects the keys of one write in the decoded text and puts the result on
// the disk as one container, through the work file and one rename: a failure
// or a crash leaves the settings file as it was, never half written and
// never decoded.
class Writer {
  public:
    explicit Writer(const AppPaths& paths) : paths_(paths) {
        if (!fsio::IsDirectory(paths_.settingsFolder)) fsio::MakeDirectory(paths_.settingsFolder);
        switch (LoadSettingsText(paths_.settingsPath, text_, wasContainer_)) {
            case Load::Missing:
                break;
            case Load::Ok:
                // Replacing through a rename would get past a read-only file.
                if (!IsWritablePath(paths_.settingsPath)) Fail();
                break;
            case Load::Unreadable:
                // What cannot be read is not replaced by what would be written.
                Fail();
        }
        original_ = text_;
    }

    void Text(const char* section, const char* key, const std::string& value) {
        if (!ProfileEntryWritable(section, key, value)) Fail();
        text_ = ProfileUpdate(text_, section, key, value);
    }
    void Int(const char* section, const char* key, std::int32_t value) {
        Text(section, key, FormatProfileInt(value));
    }
    void Bool(const char* section, const char* key, bool value) {
        Text(section, key, value ? "1" : "0");
    }

    void Commit() {
        if (wasContainer_ && text_ == original_) return;
        if (!CryptEncodeBytesTo(text_, fsio::DosTimeNow(), paths_.settingsPath, kSettingsKey)) {
            Fail();
        }
    }

  private:
    [[noreturn]] void Fail() const {
        throw AppError(FormatMessage(kCannotWrite, paths_.settingsPath));
    }

    const AppPaths& paths_;
    std::string text_, original_;
    bool wasContainer_ = false;
};

}  // namespace

void DecodeSettingsFile(const AppPaths& paths) {
    const std::string& path = paths.settingsPath;
    // A file wound twice (an encoding that once ran over a file whose
    // decoding had failed) is unwound layer by layer.
    for (int layer = 0; layer < kMaxLayers && fsio::IsFile(path); ++layer) {
        if (CryptDecodeFile(path, kSettingsKey, false) != 0 || !IsContainer(path)) break;
    }
}

void EncodeSettingsFile(const AppPaths& paths) {
    const std::string& path = paths.settingsPath;
    if (!fsio::IsFile(path)) return;
    // A file that is still a container gets no second layer.
    if (IsContainer(path)) return;
    CryptEncodeFile(path, kSettingsKey, false);
}

bool ReadSettings(TDiarySettings& s, const AppPaths& paths) {
    std::string text;
    bool wasContainer = false;
    switch (LoadSettingsText(paths.settingsPath, text, wasContainer)) {
        case Load::Missing:
            return true;
        case Load::Unreadable:
            return false;
        case Load::Ok:
            break;
    }
    const Reader r(text);
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
    // A file written by hand lies as a container from now on.
    if (!wasContainer) EncodeSettingsFile(paths);
    return true;
}

void WriteClosingSettings(const AppPaths& paths, const ClosingState& state, bool saveWindow) {
    Writer w(paths);
    w.Bool("OLDDIARY", "SHOW", state.lowerPaneShown);
    w.Int("OLDDIARY", "HEIGHT", state.lowerPaneHeight);
    if (saveWindow) {
        w.Int("WINDOW", "TOP", state.top);
        w.Int("WINDOW", "LEFT", state.left);
        w.Int("WINDOW", "HEIGHT", state.height);
        w.Int("WINDOW", "WIDTH", state.width);
    }
    w.Commit();
}

void WriteDialogSettings(const AppPaths& paths, const DialogValues& values) {
    Writer w(paths);
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
    w.Commit();
}

}  // namespace kuv
