// The print module itself: the printer and Qt's print preview behind its one
// entry point.
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "ui/transfer/print_module.h"
#include "ui/transfer/transfer_ask.h"

namespace {

void PreviewDiary(QWidget* parent, const QString& title, const QString& creator,
                  kuv::TransferAsk& ask, const std::function<void(QPagedPaintDevice&)>& paint) {
    // The page of the PDF export.
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(20, 18, 20, 12), QPageLayout::Millimeter);
    printer.setDocName(title);
    printer.setCreator(creator);
    ask.Preview(parent, printer, [&paint](QPrinter* device) { paint(*device); });
}

void PreviewDialog(QWidget* parent, QPrinter& printer,
                   const std::function<void(QPrinter*)>& paint) {
    QPrintPreviewDialog preview(&printer, parent);
    preview.setObjectName(QStringLiteral("PrintPreview"));
    preview.setWindowTitle(QStringLiteral("印刷プレビュー"));
    // Room for a whole A4 page at a readable size.
    preview.resize(820, 760);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, paint);
    preview.exec();
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const kuv::PrintFunctions* kuv_print_functions() {
    static const kuv::PrintFunctions functions{kuv::kPrintModuleVersion, PreviewDiary,
                                               PreviewDialog};
    return &functions;
}
