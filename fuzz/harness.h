#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Helpers shared by the fuzz targets: splitting an input into fields, a
// private scratch folder on a memory file system, and file access through
// plain POSIX calls that do not depend on the code under test.
namespace kuv::fuzz {

// Splits data into count fields: the first count - 1 end at a 0x1F byte (the
// ASCII unit separator), the last takes the rest whole. Missing fields are
// empty.
std::vector<std::string_view> SplitFields(const std::uint8_t* data, std::size_t size,
                                          std::size_t count);

// A folder of this process, on /dev/shm when there is one, removed at exit.
const std::string& ScratchDir();
// Removes every file in the scratch folder (it holds no subfolders).
void ClearScratch();
// Names in the scratch folder, sorted.
std::vector<std::string> ScratchNames();

void WriteRaw(const std::string& path, std::string_view bytes);
// False when the file cannot be read.
bool ReadRaw(const std::string& path, std::string& out);

// A failed property: prints what and where, then aborts so that libFuzzer
// records the input as a crash.
[[noreturn]] void Fail(const char* what, std::string_view detail = {});
inline void Check(bool ok, const char* what, std::string_view detail = {}) {
    if (!ok) Fail(what, detail);
}

// The container's body cipher written out byte by byte from the layout, as
// a reference for the real one: byte k XOR key byte ((k mod 1024) mod L). It
// is its own inverse; an empty key changes nothing.
std::string LayoutXor(std::string_view bytes, std::string_view key);

// "41 42 0a" style dump of bytes, for failure messages.
std::string Hex(std::string_view bytes, std::size_t max = 64);

}  // namespace kuv::fuzz
