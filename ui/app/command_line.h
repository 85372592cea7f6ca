#pragma once

#include <optional>

// The two options that the diary answers without a window or a display, so
// they run before the application object is made: --help prints the usage
// and --version the version, both to stdout, and the program ends with
// status 0. Every other word is left to Qt's own options (-platform, -style).
// Returns the exit status when one of the two was given.
std::optional<int> AnswerInfoOption(int argc, char** argv);
