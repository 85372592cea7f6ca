#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "dates/calendar.h"
#include "tests/support/temp_dir.h"

// Helpers of the diary tests beside the shared ones: file states for
// "nothing changed" checks, dates, and containers built by hand.
namespace kuv::test {

bool IsDir(const std::string& path);
unsigned ModeOf(const std::string& path);  // permission bits

// What a file looks like on disk, for "nothing changed" checks.
struct FileStamp {
    std::string bytes;
    std::int64_t mtimeNs = 0;
    unsigned mode = 0;
    bool operator==(const FileStamp&) const = default;
};
// Every file and folder under dir, by path relative to dir (folders by
// their presence only).
std::map<std::string, FileStamp> Snapshot(const std::string& dir);

TDateTime Day(int year, int month, int day);
// Code page 932 bytes of a UTF-8 literal.
std::string Cp932(std::string_view utf8);

// A container in the Windows layout, built byte by byte: marker 23, 0,
// "LOCKED", the MS-DOS date little-endian, the key XOR 0xA6, the body XOR the
// key restarting at every 1024-byte block.
std::string HandContainer(std::string_view plain, std::string_view key, std::uint32_t dosDate);

}  // namespace kuv::test
