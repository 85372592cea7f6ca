#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/fileio.h"

namespace kuv::fsio {

// A file written in pieces through its work file, path + ".$$$": the pieces
// go to the work file, and only Commit flushes it to the disk and renames it
// over path. A cancel, a failed write, a crash or a destructor before Commit
// leaves whatever stood at path as it was and removes the work file.
class WorkFileOutput {
  public:
    explicit WorkFileOutput(std::string path);
    ~WorkFileOutput();
    WorkFileOutput(const WorkFileOutput&) = delete;
    WorkFileOutput& operator=(const WorkFileOutput&) = delete;

    // Creates (or empties) the work file.
    bool Open();
    // Appends bytes; false once any write has failed.
    bool Write(std::string_view bytes);
    // Writes what is buffered to the work file (not yet to the disk).
    bool Flush();
    // Flushes the work file to the disk, renames it over path and syncs the
    // folder. False (path untouched, work file gone) on any failure.
    bool Commit();
    // Drops the work file; path stays as it was.
    void Abandon();

    const std::string& Path() const { return path_; }
    const std::string& WorkPath() const { return workPath_; }
    // The work file's name for a target path.
    static std::string WorkPathOf(const std::string& path);

  private:
    std::string path_, workPath_;
    OutFile out_;
    std::string buffer_;
    bool open_ = false;
    bool failed_ = false;
};

}  // namespace kuv::fsio
