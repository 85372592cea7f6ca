#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/settings_file.h"
#include "cli/cli.h"
#include "cli/diary_guard.h"
#include "cli/password.h"
#include "lock/lock_convert.h"
#include "platform/cp932.h"

namespace kuv::cli {

namespace {

const std::vector<std::string> kValued = {"app-dir", "data",       "password",
                                          "to",      "argon2-ops", "argon2-mib"};

// The Argon2id work of new slots: the defaults, or what --argon2-ops and
// --argon2-mib ask within what a key file may hold.
std::optional<lock::Argon2Params> ParamsOf(const Args& args) {
    lock::Argon2Params p;
    if (auto v = args.Value("argon2-ops"))
        p.opsLimit = static_cast<std::uint32_t>(std::atol(v->c_str()));
    if (auto v = args.Value("argon2-mib")) {
        p.memLimit = static_cast<std::uint64_t>(std::atol(v->c_str())) << 20;
    }
    if (!lock::ParamsAllowed(p)) {
        std::fputs("kuvandoro-cli: Argon2id takes 1 to 64 passes over 1 to 1024 MiB\n", stderr);
        return std::nullopt;
    }
    return p;
}

int Fail(const lock::LockResult& r) {
    std::fprintf(stderr, "kuvandoro-cli: %s\n", r.message.c_str());
    return 1;
}

// What the lock commands share: the diary (refused while a window has it
// open) and the Argon2id work; a conversion that was cut short is finished
// first.
struct LockCommand {
    Args args;
    DiaryOptions diary;
    lock::Argon2Params params;
};

std::optional<LockCommand> Prepare(int argc, char** argv, int& status) {
    status = 2;
    std::optional<Args> args = ParseArgs(argc, argv, 2, {"password-stdin"}, kValued);
    if (!args) return std::nullopt;
    if (!args->positional.empty()) {
        status = Usage();
        return std::nullopt;
    }
    const std::optional<lock::Argon2Params> params = ParamsOf(*args);
    if (!params) return std::nullopt;
    // The password is the command's own business here: the settings only
    // give the folders and the Windows lock.
    Args settingsOnly = *args;
    std::erase_if(settingsOnly.options, [](const auto& o) {
        return o.first == "password" || o.first == "password-stdin";
    });
    std::optional<DiaryOptions> diary =
        ResolveDiary(settingsOnly, DiaryNeeds::LockSettings, status);
    if (!diary) return std::nullopt;
    if (RefuseWhileHeld(*diary)) {
        status = kExitDiaryOpen;
        return std::nullopt;
    }
    status = 0;
    return LockCommand{std::move(*args), std::move(*diary), *params};
}

std::optional<std::string> NeedLine(const char* prompt, const char* what) {
    std::optional<std::string> line = ReadSecretLine(prompt);
    if (!line || line->empty()) {
        std::fprintf(stderr, "kuvandoro-cli: no %s on standard input\n", what);
        return std::nullopt;
    }
    return line;
}

// Finishes a conversion cut short, with the password the command has.
bool FinishPending(const LockCommand& c, const std::string& password) {
    if (!lock::ConversionPending(c.diary.settings.DataPath)) return true;
    const lock::LockResult r =
        lock::FinishConversion(c.diary.settings.DataPath, password, c.diary.settings.Password);
    if (!r.ok()) Fail(r);
    return r.ok();
}

bool StoreState(const LockCommand& c, bool on, const std::string& password, bool use) {
    const SettingsWriteResult w = StoreStrongLockSetting(c.diary.paths, {}, on, password, use);
    if (!w.ok()) PrintMessage(stderr, w.message);
    return w.ok();
}

// Progress of a conversion on a terminal.
bool ShowProgress(std::uint64_t done, std::uint64_t total) {
    if (::isatty(2) == 1)
        std::fprintf(stderr, "\r%llu/%llu", static_cast<unsigned long long>(done),
                     static_cast<unsigned long long>(total));
    if (::isatty(2) == 1 && done == total) std::fputc('\n', stderr);
    return true;
}

}  // namespace

int RunLock(int argc, char** argv) {
    int status = 0;
    const std::optional<LockCommand> c = Prepare(argc, argv, status);
    if (!c) return status;
    const std::optional<std::string> password = TypedPassword(c->args);
    if (!password || password->empty()) {
        std::fputs("kuvandoro-cli: lock needs a password (--password-stdin)\n", stderr);
        return 2;
    }
    if (!FinishPending(*c, *password)) return 1;
    const TDiarySettings& s = c->diary.settings;
    // A diary under the Windows lock is turned over by its own password only.
    if (s.UseEncryption && !s.Password.empty() && cp932::FromUtf8(*password) != s.Password) {
        std::fputs("kuvandoro-cli: the password is not the diary's password\n", stderr);
        return 1;
    }
    std::string code;
    const lock::LockResult r =
        lock::TurnOn(s.DataPath, *password, s.Password, c->params, code, ShowProgress);
    if (!r.ok()) return Fail(r);
    const bool stored = StoreState(*c, true, "", false);
    // The code goes out even when the settings could not be written: the
    // diary is locked by now, and the code is shown only this once.
    if (!WriteOut(code + "\n")) return 1;
    return stored ? 0 : 1;
}

int RunUnlock(int argc, char** argv) {
    int status = 0;
    const std::optional<LockCommand> c = Prepare(argc, argv, status);
    if (!c) return status;
    const std::optional<std::string> to = c->args.Value("to");
    if (!to || (*to != "windows" && *to != "plain")) {
        std::fputs("kuvandoro-cli: unlock needs --to windows or --to plain\n", stderr);
        return 2;
    }
    const std::optional<std::string> password = TypedPassword(c->args);
    if (!password) {
        std::fputs("kuvandoro-cli: unlock needs the password (--password-stdin)\n", stderr);
        return 2;
    }
    if (!FinishPending(*c, *password)) return 1;
    const bool windows = *to == "windows";
    const lock::LockResult r = lock::TurnOff(
        c->diary.settings.DataPath, *password,
        windows ? lock::UnlockTarget::Windows : lock::UnlockTarget::Plain, ShowProgress);
    if (!r.ok()) return Fail(r);
    if (!windows) {
        std::fputs(
            "kuvandoro-cli: the entries are plain text files now; anyone who can read the "
            "folder can read them\n",
            stderr);
    }
    const std::string key = windows ? cp932::FromUtf8(*password).value_or("") : "";
    return StoreState(*c, false, key, windows) ? 0 : 1;
}

int RunPasswd(int argc, char** argv) {
    int status = 0;
    const std::optional<LockCommand> c = Prepare(argc, argv, status);
    if (!c) return status;
    const std::optional<std::string> old = NeedLine("Password: ", "password");
    if (!old) return 2;
    const std::optional<std::string> next = NeedLine("New password: ", "new password");
    if (!next) return 2;
    if (!FinishPending(*c, *old)) return 1;
    const lock::LockResult r =
        lock::ChangePassword(c->diary.settings.DataPath, *old, *next, c->params);
    return r.ok() ? 0 : Fail(r);
}

int RunRecover(int argc, char** argv) {
    int status = 0;
    const std::optional<LockCommand> c = Prepare(argc, argv, status);
    if (!c) return status;
    const std::optional<std::string> code = NeedLine("Recovery code: ", "recovery code");
    if (!code) return 2;
    const std::optional<std::string> next = NeedLine("New password: ", "new password");
    if (!next) return 2;
    const lock::LockResult r =
        lock::RecoverPassword(c->diary.settings.DataPath, *code, *next, c->params);
    if (!r.ok()) return Fail(r);
    return FinishPending(*c, *next) ? 0 : 1;
}

int RunRekey(int argc, char** argv) {
    int status = 0;
    const std::optional<LockCommand> c = Prepare(argc, argv, status);
    if (!c) return status;
    const std::optional<std::string> password = TypedPassword(c->args);
    if (!password) {
        std::fputs("kuvandoro-cli: rekey needs the password (--password-stdin)\n", stderr);
        return 2;
    }
    if (!FinishPending(*c, *password)) return 1;
    std::string code;
    const lock::LockResult r =
        lock::Rekey(c->diary.settings.DataPath, *password, c->params, code, ShowProgress);
    if (!r.ok()) return Fail(r);
    return WriteOut(code + "\n") ? 0 : 1;
}

}  // namespace kuv::cli
