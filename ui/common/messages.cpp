#include "ui/common/messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>

#include "ui/common/centring.h"

namespace kuv {

const char* const kAppTitle = "Kuvandoro";

MessageHook gShowMessageHook = nullptr;
MessageHook gErrorBoxHook = nullptr;
AskHook gAskHook = nullptr;

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

int Ask(const QString& text, const QStringList& answers) {
    if (gAskHook != nullptr) return gAskHook(text, answers);
    QWidget* owner = QApplication::activeWindow();
    TCentredBox box(QMessageBox::Question, QString::fromLatin1(kAppTitle), text,
                    QMessageBox::NoButton, owner);
    box.setTextFormat(Qt::PlainText);
    QList<QAbstractButton*> buttons;
    for (int i = 0; i < answers.size(); ++i) {
        const bool last = i + 1 == answers.size();
        QAbstractButton* b =
            box.addButton(answers[i], last ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        buttons.append(b);
    }
    if (!buttons.isEmpty()) box.setEscapeButton(buttons.back());
    box.exec();
    const int chosen = static_cast<int>(buttons.indexOf(box.clickedButton()));
    return chosen < 0 ? static_cast<int>(answers.size()) - 1 : chosen;
}

}  // namespace kuv
