#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "tests/support/reference.h"
#include "tests/support/temp_dir.h"

// Files for the container tests, built with plain POSIX calls so that the
// tests do not lean on the code they check; the containers built by hand
// are in tests/support/reference.h.
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

// Local time (the tests run under TZ=Asia/Tokyo) to the MS-DOS packing of
// the container's date field; LocalTime in reference.h gives the seconds.
std::uint32_t DosValue(int y, int mo, int d, int h, int mi, int s);

// n bytes running through every byte value, varied by seed.
std::string Pattern(std::size_t n, unsigned seed = 0);

}  // namespace kuv::test
