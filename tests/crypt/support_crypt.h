#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

// Files and containers for the container tests, built with plain POSIX calls
// and the format's layout written out by hand, so that the tests do not lean
// on the code they check.
namespace kuv::test {

// A fresh folder per test, with the file layer's fault seam disarmed.
class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::string P(const std::string& name) const { return temp_ / name; }
    // The names in the folder, sorted.
    std::vector<std::string> Names() const;
    TempDir temp_;
    const std::string& dir_ = temp_.path();
};

// The whole file, read in one go (the tests compare files of megabytes).
std::string FileBytes(const std::string& path);
std::int64_t SizeOf(const std::string& path);

// Sets and reads the last-write time (seconds since the epoch).
void SetMtime(const std::string& path, std::time_t t);
std::time_t Mtime(const std::string& path);

// Local time (the tests run under TZ=Asia/Tokyo) to seconds and to the
// MS-DOS packing of the container's date field.
std::time_t LocalTime(int y, int mo, int d, int h, int mi, int s);
std::uint32_t DosValue(int y, int mo, int d, int h, int mi, int s);

// n bytes running through every byte value, varied by seed.
std::string Pattern(std::size_t n, unsigned seed = 0);

// The 44 header bytes: 23, 0, "LOCKED", date little-endian, then the first
// 32 key bytes XOR 0xA6 and zeros.
std::string HandHeader(const std::string& key, std::uint32_t date);
// Body byte k = plain byte k XOR key byte ((k mod 1024) mod L).
std::string HandBody(const std::string& plain, const std::string& key);
std::string HandContainer(const std::string& plain, const std::string& key, std::uint32_t date);

}  // namespace kuv::test
