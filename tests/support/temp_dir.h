#pragma once

#include <string>
#include <string_view>

// Folders and files for the tests, through plain POSIX calls and never
// through the file layer under test, so that an injected fault cannot touch
// the checks.
namespace kuv::test {

// A fresh folder (under base, or /tmp), removed with everything in it on
// destruction.
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

// A memory file system for tests that do many small writes, when there is a
// large enough one; KUV_ROBUST_DIR names another.
std::string FastTempBase();

// Creates or empties the file (mode 0644, as another program would leave
// it) and writes bytes whole; throws when it cannot.
void WriteBytes(const std::string& path, std::string_view bytes);
// The whole file; "<missing>" when it cannot be read, so that a missing file
// never passes for an empty one.
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);  // the name, a dangling link included
bool IsDir(const std::string& path);
// One folder level (mode 0700); throws when it is not there afterwards.
void MakeDir(const std::string& path);
unsigned ModeOf(const std::string& path);  // permission bits, 0 when missing

}  // namespace kuv::test
