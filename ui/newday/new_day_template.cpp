#include "ui/newday/new_day_template.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "diary/session.h"
#include "ui/common/qt_text.h"

namespace {

// A key that puts text in: not a shortcut, a deletion or a move.
bool Types(const QKeyEvent& key) {
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    switch (key.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Tab:
            return true;
        default:
            break;
    }
    const QString text = key.text();
    return !text.isEmpty() && text.at(0).isPrint();
}

// An input method begins typing with its first composed or committed text,
// so that the composition already shows at the template's cursor.
bool Types(const QInputMethodEvent& commit) {
    return !commit.commitString().isEmpty() || !commit.preeditString().isEmpty();
}

}  // namespace

TNewDayTemplate::TNewDayTemplate(kuv::DiarySession& session, QPlainTextEdit* pane)
    : QObject(pane), FSession(session), FPane(pane) {
    FPane->installEventFilter(this);
}

bool TNewDayTemplate::eventFilter(QObject* watched, QEvent* event) {
    if (watched != FPane || FPane->isReadOnly() || !FPane->document()->isEmpty()) return false;
    const bool types =
        (event->type() == QEvent::KeyPress && Types(static_cast<const QKeyEvent&>(*event))) ||
        (event->type() == QEvent::InputMethod &&
         Types(static_cast<const QInputMethodEvent&>(*event)));
    if (types) TypingBegins();
    return false;  // the keystroke itself goes on to the pane
}

void TNewDayTemplate::TypingBegins() {
    const std::optional<kuv::ExpandedTemplate> expanded = FSession.TypingBegan();
    if (!expanded) return;
    const QString text = kuv::WidgetTextFromPane(kuv::ToQString(expanded->text));
    // The cursor mark is a byte offset; the pane counts UTF-16 units.
    const int mark = static_cast<int>(
        kuv::WidgetTextFromPane(
            kuv::ToQString(std::string_view(expanded->text).substr(0, expanded->cursor)))
            .size());
    QTextCursor cursor(FPane->document());
    cursor.insertText(text);
    cursor.setPosition(mark);
    FPane->setTextCursor(cursor);
}
