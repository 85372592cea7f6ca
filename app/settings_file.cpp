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

class Reader {
  public:
    explicit Reader(const std::string& path) : path_(path) {}

    void Text(const char* section, const char* key, std::string& field) const {
        field = GetPrivateProfileString(section, key, field, kReadBuffer, path_);
    }
    void Int(const char* section, const char* key, std::int32_t& field) const {
        std::int32_t v = 0;
        if (ParseProfileInt(GetPrivateProfileString(section, key, "", kReadBuffer, path_), v)) {
            field = v;
        }
    }
    void Bool(const char* section, const char* key, bool& field) const {
        std::int32_t v = 0;
        if (ParseProfileInt(GetPrivateProfileString(section, key, "", kReadBuffer, path_), v)) {
            field = v != 0;
        }
    }

  private:
    const std::string& path_;
};

class Writer {
  public:
    explicit Writer(const AppPaths& paths) : paths_(paths) {
        DecodeSettingsFile(paths_);
        if (!fsio::IsDirectory(paths_.settingsFolder)) fsio::MakeDirectory(paths_.settingsFolder);
        // Keys written into a file that is still a container (its decoding
        // failed) would corrupt it; that is reported as the write error.
        if (IsContainer(paths_.settingsPath)) Fail();
    }

    void Text(const char* section, const char* key, const std::string& value) const {
        if (!WritePrivateProfileString(section, key, value, paths_.settingsPath)) Fail();
    }
    void Int(const char* section, const char* key, std::int32_t value) const {
        Text(section, key, FormatProfileInt(value));
    }
    void Bool(const char* section, const char* key, bool value) const {
        Text(section, key, value ? "1" : "0");
    }

  private:
    [[noreturn]] void Fail() const {
        throw AppError(FormatMessage(kCannotWrite, paths_.settingsPath));
    }

    const AppPaths& paths_;
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

void ReadSettings(TDiarySettings& s, const AppPaths& paths) {
    DecodeSettingsFile(paths);
    // A container left by a decoding that failed holds no keys to read.
    if (!IsContainer(paths.settingsPath)) {
        const Reader r(paths.settingsPath);
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
    }
    EncodeSettingsFile(paths);
}

void WriteClosingSettings(const AppPaths& paths, const ClosingState& state, bool saveWindow) {
    const Writer w(paths);
    w.Bool("OLDDIARY", "SHOW", state.lowerPaneShown);
    w.Int("OLDDIARY", "HEIGHT", state.lowerPaneHeight);
    if (saveWindow) {
        w.Int("WINDOW", "TOP", state.top);
        w.Int("WINDOW", "LEFT", state.left);
        w.Int("WINDOW", "HEIGHT", state.height);
        w.Int("WINDOW", "WIDTH", state.width);
    }
    EncodeSettingsFile(paths);
}

void WriteDialogSettings(const AppPaths& paths, const DialogValues& values) {
    const Writer w(paths);
    w.Text("SYSTEM", "PASSWORD", values.password);
    w.Bool("SYSTEM", "USEPASSWORD", values.useEncryption);
    w.Text("SYSTEM", "DATAPATH", values.dataPath);
    w.Text("SYSTEM", "FORMAT", values.dateFormat);
    w.Int("FONT", "SIZE", values.fontSize);
    w.Int("FONT", "COLOR", values.fontColor);
    w.Text("FONT", "NAME", values.fontName);
    w.Bool("WINDOW", "SAVE", values.saveWindow);
    w.Bool("SYSTEM", "AUTOINSERTDATE", values.autoInsertDate);
    EncodeSettingsFile(paths);
}

}  // namespace kuv
