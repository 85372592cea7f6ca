#include "cli/cli.h"

#include <cstdio>

namespace kuv::cli {
int RunShow(int, char**) {
    std::fputs("kuvandoro-cli: this command is not built yet\n", stderr);
    return 2;
}
}  // namespace kuv::cli
