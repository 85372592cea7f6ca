#include "ui/common/messages.h"

#include <algorithm>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTextBoundaryFinder>

#include "ui/common/centring.h"

namespace kuv {

const char* const kAppTitle = "Kuvandoro";

MessageHook gShowMessageHook = nullptr;
MessageHook gErrorBoxHook = nullptr;
AskHook gAskHook = nullptr;

QString EvenLines(const QString& text, const QFontMetrics& fm, int width) {
    static const QString kClosing = QStringLiteral("、。，．」』）!?！？ー");
    QStringList out;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        const int advance = fm.horizontalAdvance(paragraph);
        if (width <= 0 || advance <= width) {
            out << paragraph;
            continue;
        }
        // As many lines as the width needs, each about as wide as the others.
        const int lines = (advance + width - 1) / width;
        const int target = (advance + lines - 1) / lines;
        // Where the line-breaking rules let a line start: never inside a
        // word or a number, nor before a closing mark.
        std::vector<bool> mayStart(static_cast<std::size_t>(paragraph.size()) + 1, false);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Line, paragraph);
        for (qsizetype p = finder.toNextBoundary(); p > 0; p = finder.toNextBoundary())
            mayStart[static_cast<std::size_t>(p)] = true;
        // A line ends where the text so far passes the next multiple of the
        // target, so the last line is as long as the others; at the last
        // place the rules allow, unless that leaves the line short (a path
        // longer than the line is cut where it must be).
        qsizetype start = 0;
        qsizetype allowed = -1;
        int ended = 0;
        for (qsizetype i = 1; i < paragraph.size(); ++i) {
            if (mayStart[static_cast<std::size_t>(i)]) allowed = i;
            if (fm.horizontalAdvance(paragraph.left(i + 1)) <= (ended + 1) * target) continue;
            qsizetype cut = -1;
            if (allowed > start &&
                fm.horizontalAdvance(paragraph.mid(start, allowed - start)) >= target / 2) {
                cut = allowed;
            } else if (!kClosing.contains(paragraph[i])) {
                cut = i;
            }
            if (cut < 0) continue;
            out << paragraph.mid(start, cut - start);
            start = cut;
            ++ended;
        }
        out << paragraph.mid(start);
    }
    return out.join(QLatin1Char('\n'));
}

namespace {

// The width a box's text is broken to: well inside what the box allows.
int BoxTextWidth(const QWidget* owner) {
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    const int screenWidth = screen != nullptr ? screen->availableGeometry().width() : 800;
    return std::min(screenWidth / 2, 500) - 80;
}

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
    box.setText(EvenLines(text, QFontMetrics(box.font()), BoxTextWidth(owner)));
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
    box.setText(EvenLines(text, QFontMetrics(box.font()), BoxTextWidth(owner)));
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
