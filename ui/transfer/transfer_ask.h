#pragma once

#include <functional>
#include <optional>

#include <QDate>
#include <QString>

#include "ui/transfer/range_dialog.h"

class QPrinter;
class QWidget;

// What the commands that take the diary out and bring it back ask the user:
// days and format, file and folder names, a yes or no, the print preview.
// The window asks through TransferAsker(); tests put their answers in its
// place, as they record the message boxes.
namespace kuv {

class TransferAsk {
  public:
    virtual ~TransferAsk() = default;
    // Nothing when the user cancels; an export offers the format offered first.
    virtual std::optional<RangeChoice> Range(QWidget* parent, RangePurpose purpose,
                                             const QDate& shownDay, ExportFormat offered) = 0;
    // Empty when the user cancels.
    virtual QString SaveFile(QWidget* parent, const QString& caption, const QString& suggested,
                             const QString& filter) = 0;
    // Opens in folder.
    virtual QString OpenFile(QWidget* parent, const QString& caption, const QString& folder,
                             const QString& filter) = 0;
    virtual QString Folder(QWidget* parent, const QString& caption) = 0;
    // True for yes.
    virtual bool Confirm(QWidget* parent, const QString& text) = 0;
    // Shows printer's pages, which paint draws, until the user closes the
    // preview or prints.
    virtual void Preview(QWidget* parent, QPrinter& printer,
                         const std::function<void(QPrinter*)>& paint) = 0;
};

// Set by tests; the standard dialogs when empty.
extern TransferAsk* gTransferAsk;
TransferAsk& TransferAsker();

}  // namespace kuv
