#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/settings.h"

// Shared pieces of the companion command-line tool.
namespace kuv::cli {

// Command-line words after the command name. Options are "--name" or
// "--name VALUE"; "--" ends the options.
struct Args {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;  // name without "--", value
    bool Has(const std::string& name) const;
    std::optional<std::string> Value(const std::string& name) const;
};

// Parses argv; flags lists options without a value, valued those with one.
// Prints a message and returns nothing on an unknown option.
std::optional<Args> ParseArgs(int argc, char** argv, int first,
                              const std::vector<std::string>& flags,
                              const std::vector<std::string>& valued);

// UTF-8 argument to code page 932; prints a message when it does not fit.
std::optional<std::string> ArgToCp932(const std::string& utf8, const char* what);

// Where the settings are: the program folder that --app-dir names (its
// "data" folder), taken as given: a folder that must exist. Without it,
// where this build keeps them. Prints a message and returns nothing when the
// folder cannot be named, is not there or is not a folder.
std::optional<AppPaths> ProgramPaths(const Args& args);

// The usage text; Usage prints it to stderr and returns the exit status of
// bad arguments, 2.
void PrintUsage(std::FILE* to);
int Usage();

// The commands; each returns the exit status.
int RunShow(int argc, char** argv);
int RunFormat(int argc, char** argv);
int RunEncode(int argc, char** argv);
int RunDecode(int argc, char** argv);
int RunSettings(int argc, char** argv);
int RunProfile(int argc, char** argv);
int RunConflicts(int argc, char** argv);
int RunSearch(int argc, char** argv);
int RunYears(int argc, char** argv);

// The exit status of a writing command that refused because a window has
// the diary open.
inline constexpr int kExitDiaryOpen = 3;
// Every command that writes into a diary (its entries, its settings file)
// asks this first: true, after a message, when cp932Path lies in a diary
// that a running window has open; the command then writes nothing and exits
// with kExitDiaryOpen. Reading commands do not ask.
bool RefuseWhileOpen(const std::string& cp932Path);

}  // namespace kuv::cli
