#include "cli/cli.h"

#include <cstdio>

namespace kuv::cli {
int RunFormat(int, char**) {
    std::fputs("kuvandoro-cli: this command is not built yet\n", stderr);
    return 2;
}
}  // namespace kuv::cli
