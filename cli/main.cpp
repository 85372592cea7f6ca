#include <cstdio>
#include <cstring>

#include "cli/cli.h"

int main(int argc, char** argv) {
    using namespace kuv::cli;
    if (argc < 2) return Usage();
    const char* cmd = argv[1];
    struct Command {
        const char* name;
        int (*run)(int, char**);
    };
    static const Command kCommands[] = {
        {"show", RunShow},     {"format", RunFormat},     {"encode", RunEncode},
        {"decode", RunDecode}, {"settings", RunSettings}, {"profile", RunProfile},
    };
    for (const Command& c : kCommands) {
        if (std::strcmp(cmd, c.name) == 0) return c.run(argc, argv);
    }
    // Taking the diary out and bringing it back.
    static const Command kCarryCommands[] = {
        {"export", RunExport},   {"backup", RunBackup}, {"verify", RunVerify},
        {"restore", RunRestore}, {"import", RunImport},
    };
    for (const Command& c : kCarryCommands) {
        if (std::strcmp(cmd, c.name) == 0) return c.run(argc, argv);
    }
    return Usage();
}
