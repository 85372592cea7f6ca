#include "tests/support/cli_runner.h"

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kuv::test {

namespace {

// The test's environment with the settings of env in place of its own.
std::vector<std::string> Environment(const std::vector<std::string>& env) {
    std::vector<std::string> all;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const std::string& s : env)
            replaced = replaced || s.compare(0, name.size(), name) == 0;
        if (!replaced) all.push_back(entry);
    }
    all.insert(all.end(), env.begin(), env.end());
    return all;
}

std::vector<char*> Pointers(std::vector<std::string>& words) {
    std::vector<char*> p;
    for (std::string& w : words) p.push_back(w.data());
    p.push_back(nullptr);
    return p;
}

// Reads both pipes until both are closed, in turn as they have data, so that
// a program that fills one while the test waits on the other cannot stall.
void Drain(int outFd, int errFd, ProgramRun& run) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open = 2;
    while (open > 0 && ::poll(fds, 2, -1) > 0) {
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || fds[k].revents == 0) continue;
            char buf[4096];
            const ssize_t n = ::read(fds[k].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[k]->append(buf, static_cast<std::size_t>(n));
            } else {
                fds[k].fd = -1;
                --open;
            }
        }
    }
}

// Runs the program; input, when given, is all that its standard input holds.
ProgramRun Spawn(const std::string& name, const std::vector<std::string>& words,
                 const std::vector<std::string>& env, const std::string* input) {
    const std::string program = std::string(KUV_BIN_DIR) + "/" + name;
    std::vector<std::string> all = {program};
    all.insert(all.end(), words.begin(), words.end());
    std::vector<char*> argv = Pointers(all);
    std::vector<std::string> environment = Environment(env);
    std::vector<char*> envp = Pointers(environment);

    ProgramRun run;
    int out[2], err[2];
    if (::pipe(out) != 0) return run;
    if (::pipe(err) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return run;
    }
    int in[2] = {-1, -1};
    if (input != nullptr && ::pipe(in) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input != nullptr) {
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_addclose(&actions, in[0]);
        posix_spawn_file_actions_addclose(&actions, in[1]);
    }
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    for (int fd : {out[0], out[1], err[0], err[1]}) posix_spawn_file_actions_addclose(&actions, fd);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (input != nullptr) {
        // The few lines a test feeds fit in the pipe's buffer; the read end
        // stays open here until they are in, so a program that ends without
        // reading them cannot make the write fail.
        if (spawned == 0 && !input->empty()) {
            const ssize_t n = ::write(in[1], input->data(), input->size());
            (void)n;
        }
        ::close(in[1]);
        ::close(in[0]);
    }
    if (spawned == 0) {
        Drain(out[0], err[0], run);
        int status = 0;
        if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
            run.status = WEXITSTATUS(status);
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    return run;
}

}  // namespace

ProgramRun RunProgram(const std::string& name, const std::vector<std::string>& words,
                      const std::vector<std::string>& env) {
    return Spawn(name, words, env, nullptr);
}

ProgramRun RunCli(const std::vector<std::string>& words, const std::vector<std::string>& env) {
    return RunProgram("kuvandoro-cli", words, env);
}

ProgramRun RunCliWithInput(const std::string& input, const std::vector<std::string>& words,
                           const std::vector<std::string>& env) {
    return Spawn("kuvandoro-cli", words, env, &input);
}

ToolDiary::ToolDiary() {
    MakeDir(app / "data");
}

std::string ToolDiary::SettingsPath() const {
    return app / "data/diary.ini";
}

void ToolDiary::WriteEntry(const std::string& relative, std::string_view bytes) const {
    MakeDir(data / relative.substr(0, relative.find('/')));
    WriteBytes(data / relative, bytes);
}

}  // namespace kuv::test
