#include "cli/password.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "lock/strong_lock.h"

namespace kuv::cli {

std::optional<std::string> ReadSecretLine(const char* prompt) {
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    termios saved{};
    if (terminal) {
        std::fprintf(stderr, "%s", prompt);
        std::fflush(stderr);
        if (::tcgetattr(STDIN_FILENO, &saved) == 0) {
            termios quiet = saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
    }
    std::string line;
    const bool got = static_cast<bool>(std::getline(std::cin, line));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputc('\n', stderr);
    }
    if (!got && line.empty()) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::optional<std::string> TypedPassword(const Args& args) {
    if (auto v = args.Value("password")) return v;
    if (args.Has("password-stdin") || ::isatty(STDIN_FILENO) == 1) {
        return ReadSecretLine("Password: ");
    }
    return std::nullopt;
}

bool OpenStrongLock(std::optional<std::string> password, const std::string& dataPath, int& status) {
    if (!password && ::isatty(STDIN_FILENO) == 1) password = ReadSecretLine("Password: ");
    if (!password) {
        std::fputs(
            "kuvandoro-cli: the diary is under the strong lock; give its password with "
            "--password-stdin\n",
            stderr);
        status = 2;
        return false;
    }
    lock::DiaryKey key;
    const lock::LockResult r =
        lock::OpenDiaryKey(dataPath, *password, lock::SlotKind::Password, key);
    if (!r.ok()) {
        std::fprintf(stderr, "kuvandoro-cli: %s\n", r.message.c_str());
        status = 1;
        return false;
    }
    lock::RememberKey(dataPath, std::move(key));
    return true;
}

}  // namespace kuv::cli
