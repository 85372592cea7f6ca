#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_dir.h"

// Running the built programs as a user would, for the tests of the
// command-line tool and of the programs' arguments, and the diary folders
// they are run on.
namespace kuv::test {

struct ProgramRun {
    int status = -1;  // the exit status; -1 when the program did not start or end normally
    std::string out;  // everything it wrote to stdout
    std::string err;  // and to stderr
};

// Runs the program name of the build's bin folder with the words as they
// are (no shell between) and waits for it. env holds NAME=value settings put
// over the test's own environment; "NAME=" sets a variable empty.
ProgramRun RunProgram(const std::string& name, const std::vector<std::string>& words,
                      const std::vector<std::string>& env = {});
// The same for kuvandoro-cli.
ProgramRun RunCli(const std::vector<std::string>& words, const std::vector<std::string>& env = {});
// The same with input as all of its standard input.
ProgramRun RunCliWithInput(const std::string& input, const std::vector<std::string>& words,
                           const std::vector<std::string>& env = {});

// A program folder whose settings folder app/data is there, without a
// settings file, and a data folder of its own, as the tool's commands find a
// diary through --app-dir and --data.
struct ToolDiary {
    ToolDiary();
    // app/data/diary.ini
    std::string SettingsPath() const;
    // Writes the file data/relative ("2001/0117.dia"), making its year folder.
    void WriteEntry(const std::string& relative, std::string_view bytes) const;

    TempDir app, data;
};

}  // namespace kuv::test
