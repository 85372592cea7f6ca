#include <dlfcn.h>

#include <mutex>
#include <vector>

#include "backup/archive_module.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "platform/texts.h"

namespace kuv {

namespace {

// Where the module may lie, nearest first: beside the program (the build
// tree, the per-user install) and where the package installs it, relative to
// the program so that an unpacked package finds it too.
std::vector<std::string> Candidates() {
    const std::string dir = cp932::ToUtf8(fsio::ExecutableDir());
    std::vector<std::string> paths{dir + "/" KUV_ARCHIVE_MODULE_FILE};
#ifdef KUV_ARCHIVE_MODULE_RELDIR
    paths.push_back(dir + "/" KUV_ARCHIVE_MODULE_RELDIR "/" KUV_ARCHIVE_MODULE_FILE);
#endif
    return paths;
}

struct Loaded {
    const ArchiveFunctions* functions = nullptr;
    std::string error;
};

Loaded Load() {
    std::string last = "not found";
    for (const std::string& path : Candidates()) {
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            if (const char* e = ::dlerror(); e != nullptr) last = e;
            continue;
        }
        // The module stays loaded for the life of the program.
        const auto entry =
            reinterpret_cast<ArchiveModuleEntry>(::dlsym(handle, kArchiveModuleEntry));
        const ArchiveFunctions* f = entry != nullptr ? entry() : nullptr;
        if (f != nullptr && f->version == kArchiveModuleVersion) return {f, {}};
        last = path + ": another version";
    }
    return {nullptr, FormatMessage(TextOf(TextId::ArchiveModuleMissing),
                                   cp932::FromUtf8(last).value_or(last))};
}

}  // namespace

const ArchiveFunctions* LoadArchiveModule(std::string& error) {
    static const Loaded loaded = Load();
    error = loaded.error;
    return loaded.functions;
}

}  // namespace kuv
