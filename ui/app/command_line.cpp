#include "ui/app/command_line.h"

#include <cstdio>
#include <string_view>

#include "app/version.h"
#include "platform/cp932.h"

namespace {

const char* const kUsage =
    "usage: kuvandoro [--help] [--version] [Qt options]\n"
    "Opens the diary at today's entry. The settings and entries are kept in\n"
    "the per-user or program folder described in kuvandoro(1).\n"
    "  --help     print this text and exit\n"
    "  --version  print the version and exit\n"
    "Qt's own options, such as -platform NAME or -style NAME, are accepted too.\n";

int Flushed() {
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

std::optional<int> AnswerInfoOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--help") {
            std::fputs(kUsage, stdout);
            return Flushed();
        }
        if (word == "--version") {
            std::printf("kuvandoro %s\n", kuv::cp932::ToUtf8(kuv::kVersionText).c_str());
            return Flushed();
        }
    }
    return std::nullopt;
}
