#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "app/settings.h"
#include "dates/calendar.h"

// Helpers of the robustness tests. File access here goes through plain POSIX
// calls, never through the file layer under test, so that an injected fault
// cannot touch the checks.
namespace kuv::robust {

// A fresh folder (under base, or /tmp), removed with everything in it.
class TempDir {
  public:
    explicit TempDir(const std::string& base = "/tmp");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// A memory file system for tests that do many small writes, when there is one.
std::string FastTempBase();

void WriteBytes(const std::string& path, std::string_view bytes);
// The whole file; "<missing>" when it cannot be read.
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);  // the name, a dangling link included
bool IsDir(const std::string& path);
void MakeDir(const std::string& path);

// What a file looks like on disk, for "nothing changed" checks.
struct FileStamp {
    std::string bytes;  // regular files; a link's target for links
    std::int64_t mtimeNs = 0;
    unsigned mode = 0;
    std::int64_t size = 0;
    bool operator==(const FileStamp&) const = default;
};
// Every file, link and folder under dir, by path relative to dir. Files
// larger than 64 MiB are stamped by size and time only.
std::map<std::string, FileStamp> Snapshot(const std::string& dir);
// "added x, removed y, changed z" between two snapshots; empty when equal.
std::string SnapshotDiff(const std::map<std::string, FileStamp>& before,
                         const std::map<std::string, FileStamp>& after);

TDateTime Day(int year, int month, int day);
// Code page 932 bytes of a UTF-8 literal.
std::string Cp932(std::string_view utf8);

// A container in the documented layout, built byte by byte.
std::string HandContainer(std::string_view plain, std::string_view key, std::uint32_t dosDate);
// Decoding by the layout: 0 with plain, 1 no matching header, 2 refused.
int ReferenceDecode(std::string_view file, std::string_view key, std::string& plain);

// Empty when got holds, field by field, either the value of a or that of b;
// else the names of the fields that hold neither.
std::string SettingsFieldsNeither(const TDiarySettings& got, const TDiarySettings& a,
                                  const TDiarySettings& b);

// "ファイル %s を作成できません" etc. for a path.
std::string CannotCreate(const std::string& path);
std::string CannotOpen(const std::string& path);
std::string CannotWrite(const std::string& settingsPath);
// A message that the settings were not stored: a refused write,
// "<path> に書き込めません（<cause>）", or a file that could not be read and
// is kept, "設定ファイル <path> を読み込めません（<cause>）。" and the
// sentence that nothing was stored.
bool SettingsNotStored(const std::string& settingsPath, const std::string& message);
// The second form alone, with its cause.
std::string SettingsKept(const std::string& settingsPath, std::string_view causeUtf8);
std::string TooLarge();

}  // namespace kuv::robust
