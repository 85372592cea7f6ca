#pragma once

#include <functional>

#include <QString>

class QPagedPaintDevice;
class QPrinter;
class QWidget;

// Printing (Qt Print Support and the print preview) as a module of its own
// that the window loads the first time the user prints: a start of the diary
// does not map the print libraries.
namespace kuv {

class TransferAsk;

struct PrintFunctions {
    int version = 0;  // kPrintModuleVersion of the module
    // A printer set to the diary's page (A4 and its margins) for a document
    // named title, shown in ask's preview; paint draws the pages on it.
    void (*previewDiary)(QWidget* parent, const QString& title, const QString& creator,
                         TransferAsk& ask, const std::function<void(QPagedPaintDevice&)>& paint);
    // Qt's print preview of printer, from which the user prints.
    void (*previewDialog)(QWidget* parent, QPrinter& printer,
                          const std::function<void(QPrinter*)>& paint);
};

// Changes whenever PrintFunctions or a type it passes changes.
inline constexpr int kPrintModuleVersion = 1;

// The module's one entry point, a C name so that it can be looked up.
inline constexpr const char* kPrintModuleEntry = "kuv_print_functions";

// The module, loaded once; nothing, with the reason in error, when it cannot
// be loaded or is of another version.
const PrintFunctions* LoadPrintModule(QString& error);

}  // namespace kuv
