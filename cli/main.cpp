#include <cstdio>
#include <cstring>

#include "app/version.h"
#include "cli/cli.h"
#include "platform/cp932.h"

int main(int argc, char** argv) {
    using namespace kuv::cli;
    if (argc < 2) return Usage();
    const char* cmd = argv[1];
    if (std::strcmp(cmd, "--help") == 0) {
        PrintUsage(stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (std::strcmp(cmd, "--version") == 0) {
        std::printf("kuvandoro-cli %s\n", kuv::cp932::ToUtf8(kuv::kVersionText).c_str());
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    struct Command {
        const char* name;
        int (*run)(int, char**);
    };
    static const Command kCommands[] = {
        {"show", RunShow},           {"format", RunFormat},     {"encode", RunEncode},
        {"decode", RunDecode},       {"settings", RunSettings}, {"profile", RunProfile},
        {"conflicts", RunConflicts}, {"search", RunSearch},     {"years", RunYears},
        {"export", RunExport},       {"backup", RunBackup},     {"verify", RunVerify},
        {"restore", RunRestore},     {"import", RunImport},     {"stats", RunStats},
        {"tags", RunTags},           {"history", RunHistory},   {"lock", RunLock},
        {"unlock", RunUnlock},       {"passwd", RunPasswd},     {"recover", RunRecover},
        {"rekey", RunRekey},
    };
    for (const Command& c : kCommands) {
        if (std::strcmp(cmd, c.name) == 0) return c.run(argc, argv);
    }
    std::fprintf(stderr, "kuvandoro-cli: unknown command %s\n", cmd);
    return Usage();
}
