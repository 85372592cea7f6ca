#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "dates/calendar.h"

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

// The diary a command works on: --app-dir, --data and --password over the
// settings file, which is read for what they leave open (always when
// readSettings). On failure a message is printed and status is the exit
// status (2 bad input, 1 an unreadable settings file).
struct DiaryOptions {
    AppPaths paths;
    TDiarySettings settings;
};
std::optional<DiaryOptions> ResolveDiary(const Args& args, bool readSettings, int& status);

// A calendar day written exactly as YYYY-MM-DD.
std::optional<DateParts> ParseIsoDay(const std::string& text);

// A code page 932 message as a UTF-8 line.
void PrintMessage(std::FILE* to, const std::string& cp932Message);

// The commands; each returns the exit status.
int RunShow(int argc, char** argv);
int RunFormat(int argc, char** argv);
int RunEncode(int argc, char** argv);
int RunDecode(int argc, char** argv);
int RunSettings(int argc, char** argv);
int RunProfile(int argc, char** argv);
int RunExport(int argc, char** argv);
int RunBackup(int argc, char** argv);
int RunVerify(int argc, char** argv);
int RunRestore(int argc, char** argv);
int RunImport(int argc, char** argv);
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
