#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
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

// What a command takes from the settings file.
enum class DiaryNeeds {
    DataFolder,       // the data folder only: --data leaves nothing to read
    DataAndPassword,  // the data folder and the password, as --data and --password give them
    AllSettings,      // every field: the settings file is always read
    LockSettings,     // every field, a strong lock's key left closed (the lock commands)
};
// The diary a command works on: --app-dir (as ProgramPaths takes it), --data
// and --password over the settings file, which is read, without a change to
// it, for what the options leave open of what the command needs. On failure
// a message is printed and status is the exit status: 2 for a bad argument
// or program folder, 1 for a settings file that cannot be read (the message
// says why).
struct DiaryOptions {
    AppPaths paths;
    TDiarySettings settings;
};
std::optional<DiaryOptions> ResolveDiary(const Args& args, DiaryNeeds needs, int& status);
// The command line of a command that works between the diary (every field
// of its settings) and one file or folder named after the options (what
// says which in a message): that name in code page 932 and the diary.
struct NamedAndDiary {
    std::string name;
    DiaryOptions diary;
};
std::optional<NamedAndDiary> ParseNamedAndDiary(int argc, char** argv,
                                                const std::vector<std::string>& valued,
                                                const char* what, int& status);

// A code page 932 message as a UTF-8 line.
void PrintMessage(std::FILE* to, const std::string& cp932Message);
// Entry text for a terminal: UTF-8 with LF line breaks.
std::string ForTerminal(std::string_view cp932Text);
// The same for a text that is UTF-8 already (a strong-locked entry's).
std::string Utf8ForTerminal(std::string_view utf8);
// Writes text to stdout whole and flushes it; false when either fails.
bool WriteOut(std::string_view text);

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
int RunStats(int argc, char** argv);
int RunTags(int argc, char** argv);
int RunHistory(int argc, char** argv);
// show --version N: the Nth newest earlier version of the day.
int ShowVersion(const DiaryOptions& diary, TDateTime day, const std::string& number, bool raw);
int RunLock(int argc, char** argv);
int RunUnlock(int argc, char** argv);
int RunPasswd(int argc, char** argv);
int RunRecover(int argc, char** argv);
int RunRekey(int argc, char** argv);

// The exit status of a writing command that refused because a window has
// the diary open.
inline constexpr int kExitDiaryOpen = 3;
// Every command that writes into a diary (its entries, its settings file)
// asks this first: true, after a message, when cp932Path lies in a diary
// that a running window has open; the command then writes nothing and exits
// with kExitDiaryOpen. Reading commands do not ask.
bool RefuseWhileOpen(const std::string& cp932Path);

}  // namespace kuv::cli
