#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/cli_runner.h"
#include "tests/support/temp_dir.h"

namespace {

// --help and --version answer on stdout with 0; every kind of bad argument
// in every command gives 2, a message on stderr and nothing on stdout.
TEST(CliUsage, ExitStatusAndStreams) {
    // Without a display: the diary must answer before it needs one.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) ::unsetenv(name);
    kuv::test::TempDir dir;
    const std::string notCp932 = "\xF0\x9F\x98\x80";  // an emoji
    const struct {
        const char* program;
        std::vector<std::string> words;
        int status;
        std::string out;  // what stdout begins with
    } cases[] = {
        {"kuvandoro-cli", {"--help"}, 0, "usage: kuvandoro-cli COMMAND"},
        {"kuvandoro-cli", {"--version"}, 0, "kuvandoro-cli 2.00\u03b2\n"},
        {"kuvandoro", {"--help"}, 0, "usage: kuvandoro [--help] [--version]"},
        {"kuvandoro", {"--version"}, 0, "kuvandoro 2.00\u03b2\n"},
        {"kuvandoro-cli", {}, 2, ""},
        {"kuvandoro-cli", {"frob"}, 2, ""},
        {"kuvandoro-cli", {"show", "--app-dir", notCp932, "2001-01-17"}, 2, ""},
        {"kuvandoro-cli", {"show", "--data", dir.path(), "2001-02-30"}, 2, ""},
        {"kuvandoro-cli", {"show", "--data"}, 2, ""},
        {"kuvandoro-cli", {"show", "--frob", "2001-01-17"}, 2, ""},
        {"kuvandoro-cli", {"settings", "--app-dir", notCp932}, 2, ""},
        {"kuvandoro-cli", {"settings", "extra"}, 2, ""},
        {"kuvandoro-cli", {"format"}, 2, ""},
        {"kuvandoro-cli", {"format", "--locale"}, 2, ""},
        {"kuvandoro-cli", {"encode", dir / "a.dia"}, 2, ""},
        {"kuvandoro-cli", {"decode", dir / "a.dia", notCp932}, 2, ""},
        {"kuvandoro-cli", {"profile", "frob", "f", "s", "k"}, 2, ""},
        {"kuvandoro-cli", {"profile", "get", dir / "x.ini", notCp932, "k"}, 2, ""},
        {"kuvandoro-cli", {"profile", "set", dir / "x.ini", "s", "k", notCp932}, 2, ""},
    };
    for (const auto& c : cases) {
        std::string line = c.program;
        for (const std::string& w : c.words) line += " " + w;
        SCOPED_TRACE(line);
        const kuv::test::ProgramRun r = kuv::test::RunProgram(c.program, c.words);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out.substr(0, c.out.size()), c.out);
        if (c.status == 0) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_EQ(r.out, "");
            EXPECT_NE(r.err, "");
        }
    }
    // Nothing was written for any of them.
    EXPECT_FALSE(kuv::test::Exists(dir / "a.dia"));
    EXPECT_FALSE(kuv::test::Exists(dir / "x.ini"));
}

}  // namespace
