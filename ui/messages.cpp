#include "ui/messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QShowEvent>

#include "ui/centring.h"

namespace kuv {

const char* const kAppTitle = "Kuvandoro";

MessageHook gShowMessageHook = nullptr;
MessageHook gErrorBoxHook = nullptr;

namespace {

// A message box that places itself in the middle of the screen once its size
// is known, rather than over its parent, by its frame (title bar included).
class TCentredBox final : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;

  protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        kuv::CentreOnScreen(*this, parentWidget() != nullptr ? parentWidget()->screen() : nullptr);
    }
};

void RunBox(QMessageBox::Icon icon, const QString& text) {
    // Owned by the active window, so that it comes up in front of a window
    // that stays on top (the password prompt).
    QWidget* owner = QApplication::activeWindow();
    TCentredBox box(icon, QString::fromLatin1(kAppTitle), text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    if (owner != nullptr && owner->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    box.exec();
}

}  // namespace

void ShowMessage(const QString& text) {
    if (gShowMessageHook != nullptr) {
        gShowMessageHook(text);
        return;
    }
    RunBox(QMessageBox::NoIcon, text);
}

void ShowErrorBox(const QString& text) {
    if (gErrorBoxHook != nullptr) {
        gErrorBoxHook(text);
        return;
    }
    RunBox(QMessageBox::Critical, text);
}

}  // namespace kuv
