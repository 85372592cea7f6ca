#include "ui/transfer/transfer_ask.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include "ui/common/messages.h"
#include "ui/transfer/print_module.h"

namespace kuv {

TransferAsk* gTransferAsk = nullptr;

namespace {

class DialogAsk final : public TransferAsk {
  public:
    std::optional<RangeChoice> Range(QWidget* parent, RangePurpose purpose, const QDate& shownDay,
                                     ExportFormat offered) override {
        TRangeDialog dialog(purpose, shownDay, offered, parent);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.Choice();
    }

    QString SaveFile(QWidget* parent, const QString& caption, const QString& suggested,
                     const QString& filter) override {
        QFileDialog dialog(parent, caption, QString(), filter);
        dialog.setObjectName(QStringLiteral("SaveFileDialog"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // A name typed without its ending gets the one of the format.
        dialog.setDefaultSuffix(QFileInfo(suggested).completeSuffix());
        dialog.selectFile(suggested);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    }

    QString OpenFile(QWidget* parent, const QString& caption, const QString& folder,
                     const QString& filter) override {
        return QFileDialog::getOpenFileName(parent, caption, folder, filter);
    }

    QString Folder(QWidget* parent, const QString& caption) override {
        return QFileDialog::getExistingDirectory(parent, caption, QDir::homePath());
    }

    bool Confirm(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kAppTitle), text,
                        QMessageBox::Yes | QMessageBox::No, parent);
        box.setTextFormat(Qt::PlainText);
        box.button(QMessageBox::Yes)->setText(QStringLiteral("はい"));
        box.button(QMessageBox::No)->setText(QStringLiteral("いいえ"));
        // What is asked changes or exposes the diary: going on takes a choice.
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }

    void Preview(QWidget* parent, QPrinter& printer,
                 const std::function<void(QPrinter*)>& paint) override {
        QString error;
        if (const PrintFunctions* print = LoadPrintModule(error)) {
            print->previewDialog(parent, printer, paint);
        } else {
            ShowMessage(error);
        }
    }
};

}  // namespace

TransferAsk& TransferAsker() {
    static DialogAsk dialogs;
    return gTransferAsk != nullptr ? *gTransferAsk : dialogs;
}

}  // namespace kuv
