#include <cstdio>
#include <optional>
#include <string>

#include "cli/cli.h"
#include "crypt/cryptogram.h"

namespace kuv::cli {

namespace {

struct CryptArgs {
    std::string path;  // code page 932, as the container takes it
    std::string key;   // code page 932 bytes
    bool keep = false;
};

// PATH and KEY with an optional --keep; nothing (after a message) when the
// words do not fit.
std::optional<CryptArgs> ParseCryptArgs(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {"keep"}, {});
    if (!args) return std::nullopt;
    if (args->positional.size() != 2) {
        Usage();
        return std::nullopt;
    }
    auto path = ArgToCp932(args->positional[0], "path");
    if (!path) return std::nullopt;
    auto key = ArgToCp932(args->positional[1], "key");
    if (!key) return std::nullopt;
    return CryptArgs{*path, *key, args->Has("keep")};
}

}  // namespace

int RunEncode(int argc, char** argv) {
    auto args = ParseCryptArgs(argc, argv);
    if (!args) return 2;
    if (RefuseWhileOpen(args->path)) return kExitDiaryOpen;
    const bool ok = CryptEncodeFile(args->path, args->key, args->keep);
    std::puts(ok ? "true" : "false");
    return ok ? 0 : 1;
}

int RunDecode(int argc, char** argv) {
    auto args = ParseCryptArgs(argc, argv);
    if (!args) return 2;
    if (RefuseWhileOpen(args->path)) return kExitDiaryOpen;
    const int result = static_cast<int>(CryptDecodeFile(args->path, args->key, args->keep));
    std::printf("%d\n", result);
    return result;
}

}  // namespace kuv::cli
