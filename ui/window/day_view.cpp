#include "ui/window/day_view.h"

#include <utility>

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

#include "dates/qt/locale_loader.h"
#include "ui/common/bevel.h"
#include "ui/common/date_format.h"
#include "ui/common/fonts.h"
#include "ui/common/memo.h"
#include "ui/common/qt_text.h"
#include "ui/window/main_actions.h"
#include "ui/window/main_form_metrics.h"
#include "ui/window/pane_splitter.h"

namespace {

using namespace kuv::mainform;

// The date picker: Tab leaves it as it leaves every other control, instead
// of walking through the date's fields (the arrow keys do that).
class TDatePicker final : public QDateEdit {
  public:
    using QDateEdit::QDateEdit;

  protected:
    bool focusNextPrevChild(bool next) override { return QWidget::focusNextPrevChild(next); }
};

}  // namespace

TDayView::TDayView(const TMainActions& actions, QWidget* window) : QWidget(window) {
    setObjectName(QStringLiteral("ClientArea"));
    CreateToolBar(actions);
    CreatePanes();
    DescribeControls();
    // Only a change by the user arrives here: the program sets the date with
    // the picker's signals blocked.
    connect(DateTimePicker, &QDateEdit::dateChanged, this, &TDayView::pickerChanged);
    // A word still being composed shows in the pane but changes nothing yet.
    connect(Memo1, &QPlainTextEdit::textChanged, this, [this] {
        if (!FLoading && !Memo1->ComposingOnly()) emit upperEdited();
    });
    connect(Memo2, &QPlainTextEdit::textChanged, this, [this] {
        if (!FLoading && !std::exchange(FLowerEdited, true)) emit lowerEdited();
    });
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { OnFocusChanged(now); });
}

TDayView::~TDayView() {
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void TDayView::CreateToolBar(const TMainActions& actions) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    ToolBar1 = new QWidget(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setFixedHeight(kToolBarHeight);
    column->addWidget(ToolBar1);

    // A flat button that shows its command's glyph, with the caption beside
    // it when it has one; it never takes the focus.
    auto button = [this](const char* name, int x, int width, QAction* action, bool caption) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(QString::fromLatin1(name));
        b->setDefaultAction(action);
        b->setGeometry(x, kItemTop, width, kItemHeight);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setIconSize(QSize(16, 16));
        if (!caption) {
            b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        } else {
            b->setToolButtonStyle(action->icon().isNull() ? Qt::ToolButtonTextOnly
                                                          : Qt::ToolButtonTextBesideIcon);
        }
        return b;
    };
    auto gap = [this](const char* name, int x, int width) {
        auto* w = new QWidget(ToolBar1);
        w->setObjectName(QString::fromLatin1(name));
        w->setGeometry(x, kItemTop, width, kItemHeight);
        w->setFocusPolicy(Qt::NoFocus);
    };
    auto bevel = [this](const char* name, int x, int width, TBevel::Edge edge) {
        auto* b = new TBevel(edge, ToolBar1);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, kItemTop, width, kItemHeight);
    };

    SpeedButton2 = button("SpeedButton2", 0, 89, actions[kuv::MainAction::InsertDate], true);
    SpeedButton6 = button("SpeedButton6", 89, 104, actions[kuv::MainAction::ShowOldDiary], true);
    gap("Panel2", 193, 4);
    bevel("Bevel1", 197, 5, TBevel::Edge::Left);
    SpeedButton5 = button("SpeedButton5", 202, 23, actions[kuv::MainAction::YearForward], false);
    SpeedButton7 = button("SpeedButton7", 225, 23, actions[kuv::MainAction::YearBack], false);
    gap("Panel7", 248, 3);

    DateTimePicker = new TDatePicker(ToolBar1);
    DateTimePicker->setObjectName(QStringLiteral("DateTimePicker"));
    DateTimePicker->setGeometry(251, kItemTop, 186, kItemHeight);
    const QLocale locale = kuv::UserDateLocale();
    DateTimePicker->setLocale(locale);
    DateTimePicker->setDisplayFormat(kuv::PickerFormat(locale));
    DateTimePicker->setDateRange(kFirstPickerDate, kLastPickerDate);
    DateTimePicker->setCalendarPopup(true);

    gap("Panel3", 437, 3);
    SpeedButton3 = button("SpeedButton3", 440, 25, actions[kuv::MainAction::DayBack], false);
    SpeedButton4 = button("SpeedButton4", 465, 25, actions[kuv::MainAction::DayForward], false);
    gap("Panel1", 490, 3);
    bevel("Bevel2", 493, 4, TBevel::Edge::Left);
    SpeedButton1 = button("SpeedButton1", 497, 85, actions[kuv::MainAction::Settings], true);
    bevel("Bevel3", 582, 5, TBevel::Edge::Right);
    gap("Panel4", 587, 2);
    gap("Panel5", 589, 2);
}

void TDayView::CreatePanes() {
    auto* Panel6 = new QWidget(this);
    Panel6->setObjectName(QStringLiteral("Panel6"));
    auto* fill = new QVBoxLayout(Panel6);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->setSpacing(0);
    layout()->addWidget(Panel6);

    Splitter1 = new TPaneSplitter(Panel6);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(kSplitterHeight);
    fill->addWidget(Splitter1);

    auto pane = [this](const char* name) {
        auto* memo = new TMemo(Splitter1);
        memo->setObjectName(QString::fromLatin1(name));
        memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        memo->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo->setTabChangesFocus(true);
        return memo;
    };
    Memo1 = pane("Memo1");
    Memo2 = pane("Memo2");
    Splitter1->SetPanes(Memo1, Memo2);

    QWidget::setTabOrder(DateTimePicker, Memo1);
    QWidget::setTabOrder(Memo1, Memo2);
    QWidget::setTabOrder(Memo2, DateTimePicker);
    DateTimePicker->setFocus(Qt::OtherFocusReason);
}

void TDayView::DescribeControls() {
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

void TDayView::ShowDay(const QDate& day) {
    const QSignalBlocker blocker(DateTimePicker);
    DateTimePicker->setDate(day);
}

void TDayView::ShowPanes(const QString& upper, const QString& lower, bool cursorAtEnd,
                         bool readOnly) {
    FLoading = true;
    Memo1->setPlainText(upper);
    Memo2->setPlainText(lower);
    FLowerEdited = false;
    FLoading = false;
    if (cursorAtEnd) Memo1->moveCursor(QTextCursor::End);
    Memo1->setReadOnly(readOnly);
}

void TDayView::ShowLower(const QString& lower) {
    FLoading = true;
    Memo2->setPlainText(lower);
    FLowerEdited = false;
    FLoading = false;
}

void TDayView::PutUpper(const QString& text) {
    Memo1->setPlainText(text);
    Memo1->moveCursor(QTextCursor::End);
}

void TDayView::AppendToUpper(const QString& text) {
    QTextCursor cursor(Memo1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    Memo1->setTextCursor(cursor);
}

void TDayView::ShowLowerPane(bool show) {
    // A hidden pane cannot keep the focus, and Qt would pass it on to the
    // picker, whose entering saves. The upper pane takes it instead.
    if (!show && Memo2->hasFocus()) Memo1->setFocus(Qt::OtherFocusReason);
    Splitter1->SetLowerHeight(show ? kLowerPaneShownHeight : -1);
}

int TDayView::LowerHeight() const {
    return Splitter1->LowerHeight();
}

void TDayView::SetLowerHeight(int height) {
    Splitter1->SetLowerHeight(height);
}

void TDayView::SetPaneFont(const QFont& font, std::int32_t colorValue) {
    for (TMemo* pane : {Memo1, Memo2}) kuv::ApplyPaneFont(*pane, font, colorValue);
}

QFont TDayView::PaneFont() const {
    return Memo1->font();
}

std::int32_t TDayView::PaneColor() const {
    return kuv::PaneColorValue(*Memo1);
}

void TDayView::FinishComposition() {
    // The upper pane's composition becomes part of the entry saved now; the
    // lower pane's would otherwise turn up in the next day's text.
    Memo1->CommitComposition();
    Memo2->CommitComposition();
}

void TDayView::FollowPalette() {
    // A system colour of the panes' text (window text) is read anew.
    for (TMemo* pane : {Memo1, Memo2}) {
        kuv::ApplyPaneFont(*pane, pane->font(), kuv::PaneColorValue(*pane));
    }
}

std::u16string TDayView::Text() const {
    QString joined;
    const QTextDocument* doc = Memo1->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b != doc->begin()) joined += u'\n';
        joined += b.text();
    }
    const QString text = kuv::PaneTextFromWidget(joined);
    return std::u16string(reinterpret_cast<const char16_t*>(text.constData()),
                          static_cast<std::size_t>(text.size()));
}

void TDayView::OnFocusChanged(QWidget* now) {
    // Only moves between the controls of this window count: getting the
    // focus back with the window (after a message box, another program) is
    // no entering of the picker.
    if (now == nullptr || now->window() != window()) return;
    auto inPicker = [this](const QWidget* w) {
        return w != nullptr && (w == DateTimePicker || DateTimePicker->isAncestorOf(w));
    };
    const bool entering = inPicker(now) && !inPicker(FLastFocus.data());
    FLastFocus = now;
    if (entering) emit pickerEntered();
}
