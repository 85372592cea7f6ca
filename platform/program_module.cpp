#include "platform/program_module.h"

#include <dlfcn.h>

#include <vector>

#include "platform/cp932.h"
#include "platform/fileio.h"

namespace kuv {

namespace {

// Where a module may lie, nearest first; the package's folder is relative to
// the program, so that an unpacked package finds its modules too.
std::vector<std::string> Candidates(const char* fileName) {
    const std::string dir = cp932::ToUtf8(fsio::ExecutableDir());
    std::vector<std::string> paths{dir + "/" + fileName};
#ifdef KUV_MODULE_RELDIR
    paths.push_back(dir + "/" KUV_MODULE_RELDIR "/" + fileName);
#endif
    return paths;
}

}  // namespace

const void* OpenProgramModule(const char* fileName, const char* entryName, std::string& failure) {
    failure = std::string(fileName) + ": not found";
    for (const std::string& path : Candidates(fileName)) {
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            if (const char* e = ::dlerror(); e != nullptr) failure = e;
            continue;
        }
        using Entry = const void* (*)();
        const auto entry = reinterpret_cast<Entry>(::dlsym(handle, entryName));
        if (entry != nullptr) {
            failure.clear();
            return entry();
        }
        failure = path + ": no " + entryName;
        ::dlclose(handle);
    }
    return nullptr;
}

}  // namespace kuv
