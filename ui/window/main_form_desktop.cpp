#include <QAction>
#include <QDateEdit>
#include <QGuiApplication>
#include <QToolButton>

#include "ui/common/desktop_look.h"
#include "ui/common/fonts.h"
#include "ui/common/memo.h"
#include "ui/window/main_form.h"

// The main window at home on the desktop: screen readers, the desktop's
// palette and input methods.

void TMainForm::DescribeControls() {
    // Every toolbar button is named after its command, as the menu calls it,
    // and described by its hint; the arrows show no caption at all.
    for (QToolButton* button : {SpeedButton2, SpeedButton6, SpeedButton5, SpeedButton7,
                                SpeedButton3, SpeedButton4, SpeedButton1}) {
        const QAction* action = button->defaultAction();
        button->setAccessibleName(action->text());
        button->setAccessibleDescription(action->toolTip());
    }
    DateTimePicker->setAccessibleName(QStringLiteral("日付"));
    Memo1->setAccessibleName(QStringLiteral("日記"));
    Memo2->setAccessibleName(QStringLiteral("一年前の日記"));
}

void TMainForm::FollowPalette() {
    // A palette change may come while the window is still being built.
    if (Memo1 == nullptr || Memo2 == nullptr) return;
    kuv::RedrawGlyphs(*this, palette());
    // A system colour of the panes' text (window text) is read anew.
    for (TMemo* pane : {Memo1, Memo2}) {
        kuv::ApplyPaneFont(*pane, pane->font(), kuv::PaneColorValue(*pane));
    }
}

void TMainForm::FinishComposition() {
    // The upper pane's composition becomes part of the entry saved now; the
    // lower pane's would otherwise turn up in the next day's text.
    Memo1->CommitComposition();
    Memo2->CommitComposition();
}
