#pragma once

#include <cstdint>
#include <ctime>
#include <ostream>
#include <string>
#include <string_view>

#include "app/settings.h"
#include "crypt/cryptogram.h"
#include "dates/calendar.h"

// What the code under test must give, written out here once more and
// independently of it: containers built byte by byte from the layout, the
// messages, dates and texts of the fixtures.
namespace kuv::test {

TDateTime Day(int year, int month, int day);
// Seconds since the epoch of a local time (the tests run under TZ=Asia/Tokyo).
std::time_t LocalTime(int y, int mo, int d, int h, int mi, int s);
// Code page 932 bytes of a UTF-8 literal; throws when it does not fit.
std::string Cp932(std::string_view utf8);

// The 44 header bytes: 23, 0, "LOCKED", the MS-DOS date little-endian, then
// the first 32 key bytes XOR 0xA6 and zeros.
std::string HandHeader(std::string_view key, std::uint32_t dosDate);
// Body byte k = plain byte k XOR key byte ((k mod 1024) mod L).
std::string HandBody(std::string_view plain, std::string_view key);
std::string HandContainer(std::string_view plain, std::string_view key, std::uint32_t dosDate);
// Decoding by the layout; plain is filled on Decoded.
CryptResult ReferenceDecode(std::string_view file, std::string_view key, std::string& plain);

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

}  // namespace kuv::test

namespace kuv {
// Lets a failed check print the result by name.
void PrintTo(CryptResult result, std::ostream* os);
}  // namespace kuv
