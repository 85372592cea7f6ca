#include "backup/archive_module.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/program_module.h"
#include "platform/texts.h"

namespace kuv {

namespace {

struct Loaded {
    const ArchiveFunctions* functions = nullptr;
    std::string error;
};

Loaded Load() {
    std::string failure;
    const auto* f = static_cast<const ArchiveFunctions*>(
        OpenProgramModule(KUV_ARCHIVE_MODULE_FILE, kArchiveModuleEntry, failure));
    if (f != nullptr && f->version == kArchiveModuleVersion) return {f, {}};
    if (f != nullptr) failure = KUV_ARCHIVE_MODULE_FILE ": another version";
    return {nullptr, FormatMessage(TextOf(TextId::ArchiveModuleMissing),
                                   cp932::FromUtf8(failure).value_or(failure))};
}

}  // namespace

const ArchiveFunctions* LoadArchiveModule(std::string& error) {
    static const Loaded loaded = Load();
    error = loaded.error;
    return loaded.functions;
}

}  // namespace kuv
