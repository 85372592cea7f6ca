#pragma once

#include <optional>
#include <string>
#include <string_view>

// The program's folders under the per-user base folders of the XDG rules.
// Paths are code page 932 bytes.
namespace kuv {

// The folder "kuvandoro" under $xdgVariable, or under defaultUnderHome in
// the home folder ($HOME, else the password database) when the variable is
// unset, empty or relative, as the XDG rules say. Nothing when no absolute
// home folder is known. Creates nothing.
std::optional<std::string> UserFolder(const char* xdgVariable, const char* defaultUnderHome);

// Joins a folder and a name with one "/"; a folder that already ends in "/"
// (the root) gets none, so that "/" and "data" make "/data", not "//data".
std::string JoinPath(const std::string& folder, std::string_view name);

}  // namespace kuv
