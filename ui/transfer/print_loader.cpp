#include "platform/program_module.h"
#include "ui/transfer/print_module.h"

namespace kuv {

const PrintFunctions* LoadPrintModule(QString& error) {
    struct Loaded {
        const PrintFunctions* functions = nullptr;
        QString error;
    };
    static const Loaded loaded = [] {
        std::string failure;
        const auto* f = static_cast<const PrintFunctions*>(
            OpenProgramModule("kuvandoro-print.so", kPrintModuleEntry, failure));
        if (f != nullptr && f->version == kPrintModuleVersion) return Loaded{f, {}};
        if (f != nullptr) failure = "kuvandoro-print.so: another version";
        return Loaded{nullptr, QStringLiteral("印刷の部品を読み込めません（%1）")
                                   .arg(QString::fromLocal8Bit(failure.c_str()))};
    }();
    error = loaded.error;
    return loaded.functions;
}

}  // namespace kuv
