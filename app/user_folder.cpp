#include "app/user_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/cp932.h"

namespace kuv {

namespace {

std::optional<std::string> EnvPath(const char* name) {
    const char* v = std::getenv(name);
    if (v == nullptr || *v == '\0') return std::nullopt;
    return cp932::FromUtf8(v);
}

}  // namespace

std::string JoinPath(const std::string& folder, std::string_view name) {
    if (!folder.empty() && folder.back() == '/') return folder + std::string(name);
    return folder + "/" + std::string(name);
}

std::optional<std::string> UserFolder(const char* xdgVariable, const char* defaultUnderHome) {
    std::optional<std::string> base = EnvPath(xdgVariable);
    if (!base || base->front() != '/') {
        std::optional<std::string> home = EnvPath("HOME");
        if (!home) {
            if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
                home = cp932::FromUtf8(pw->pw_dir);
            }
        }
        if (!home || home->empty() || home->front() != '/') return std::nullopt;
        base = JoinPath(*home, defaultUnderHome);
    }
    return JoinPath(*base, "kuvandoro");
}

}  // namespace kuv
