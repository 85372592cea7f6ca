#include "ui/common/memo.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QScopedValueRollback>
#include <QTextBlock>
#include <QTextLayout>

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent) {}

QString TMemo::Composition() const {
    // The composition lives in the layout of the cursor's line, not in the document.
    const QTextLayout* layout = textCursor().block().layout();
    return layout != nullptr ? layout->preeditAreaText() : QString();
}

void TMemo::CommitComposition() {
    if (Composition().isEmpty()) return;
    if (hasFocus()) {
        // fcitx5 and IBus answer at once with their own commit, which may
        // differ from what the pane shows (a candidate chosen meanwhile).
        QGuiApplication::inputMethod()->commit();
        if (Composition().isEmpty()) return;
    }
    // No input method answered (or the focus has gone elsewhere): the pane
    // takes what it shows, and the input method forgets it, so that it does
    // not come back in the next day's text.
    QInputMethodEvent commit;
    commit.setCommitString(Composition());
    inputMethodEvent(&commit);
    if (hasFocus()) QGuiApplication::inputMethod()->reset();
}

void TMemo::inputMethodEvent(QInputMethodEvent* event) {
    const bool onlyComposing = event->commitString().isEmpty() && event->replacementLength() == 0;
    const QScopedValueRollback<bool> marking(FComposingOnly, onlyComposing);
    QPlainTextEdit::inputMethodEvent(event);
}
