#pragma once

#include <optional>
#include <string>

#include "cli/cli.h"

// How the tool gets a password: --password P (visible to every user in the
// process list), --password-stdin (one line of standard input), or, with
// neither and a terminal on standard input, a prompt that does not echo.
namespace kuv::cli {

// One line of standard input without its line break; on a terminal, after
// prompt on stderr, with echo off. Nothing at the end of the input.
std::optional<std::string> ReadSecretLine(const char* prompt);

// The password the options give, as typed (UTF-8); nothing when they give
// none and there is no terminal to ask at.
std::optional<std::string> TypedPassword(const Args& args);

// For a strong-locked data folder: opens its key with the password typed
// (asked on a terminal when the options gave none) and keeps it for the
// readers of this run. False, after a message, with status 1 (a wrong
// password, a damaged key file) or 2 (no password given).
bool OpenStrongLock(std::optional<std::string> typed, const std::string& dataPath, int& status);

}  // namespace kuv::cli
