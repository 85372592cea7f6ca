#include "ui/main_form.h"

#include <QAction>
#include <QDateEdit>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include "ui/bevel.h"
#include "ui/main_form_metrics.h"

// The controls of the main window, built once at start-up.

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

void TMainForm::CreateMenus() {
    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    auto item = [this](QMenu* menu, const char* name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    File1 = MainMenu1->addMenu(QStringLiteral("ファイル"));
    File1->setObjectName(QStringLiteral("File1"));
    Exit1 = item(File1, "Exit1", QStringLiteral("終了"));

    Edit1 = MainMenu1->addMenu(QStringLiteral("編集"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    N1 = item(Edit1, "N1", QStringLiteral("日付挿入"));
    N4 = item(Edit1, "N4", QStringLiteral("昨日の日記へ"));
    N5 = item(Edit1, "N5", QStringLiteral("一日先の日記へ"));
    N6 = item(Edit1, "N6", QStringLiteral("昨年の日記へ"));
    N7 = item(Edit1, "N7", QStringLiteral("一年先の日記へ"));
    N2 = Edit1->addSeparator();
    N2->setObjectName(QStringLiteral("N2"));
    N3 = item(Edit1, "N3", QStringLiteral("設定変更"));

    Help1 = MainMenu1->addMenu(QStringLiteral("ヘルプ"));
    Help1->setObjectName(QStringLiteral("Help1"));
    Help2 = item(Help1, "Help2", QStringLiteral("ヘルプ"));
    Help2->setEnabled(false);
    About1 = item(Help1, "About1", QStringLiteral("Kuvandoroについて"));
}

void TMainForm::CreateToolBar() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    setCentralWidget(central);

    ToolBar1 = new QWidget(central);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setFixedHeight(kToolBarHeight);
    column->addWidget(ToolBar1);

    auto button = [this](const char* name, int x, int width, const QString& caption,
                         const char* glyph, const QString& hint) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, kItemTop, width, kItemHeight);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setToolTip(hint);
        b->setIconSize(QSize(16, 16));
        if (glyph != nullptr) b->setIcon(QIcon(QString::fromLatin1(glyph)));
        if (!caption.isEmpty()) {
            b->setText(caption);
            b->setToolButtonStyle(glyph != nullptr ? Qt::ToolButtonTextBesideIcon
                                                   : Qt::ToolButtonTextOnly);
        } else {
            b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        }
        return b;
    };
    auto gap = [this](const char* name, int x, int width) {
        auto* w = new QWidget(ToolBar1);
        w->setObjectName(QString::fromLatin1(name));
        w->setGeometry(x, kItemTop, width, kItemHeight);
        w->setFocusPolicy(Qt::NoFocus);
        return w;
    };
    auto bevel = [this](const char* name, int x, int width, TBevel::Edge edge) {
        auto* b = new TBevel(edge, ToolBar1);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, kItemTop, width, kItemHeight);
        return b;
    };

    SpeedButton2 = button("SpeedButton2", 0, 89, QStringLiteral("日付挿入"),
                          ":/assets/glyph_insert.png", QStringLiteral("日記に日付を挿入する"));
    SpeedButton6 = button("SpeedButton6", 89, 104, QStringLiteral("過去の日記を表示"), nullptr,
                          QStringLiteral("一年前の日記を表示します"));
    SpeedButton6->setCheckable(true);
    SpeedButton6->setChecked(true);
    Panel2 = gap("Panel2", 193, 4);
    Bevel1 = bevel("Bevel1", 197, 5, TBevel::Edge::Left);
    SpeedButton5 = button("SpeedButton5", 202, 23, QString(), ":/assets/glyph_up.png",
                          QStringLiteral("一年先の日記"));
    SpeedButton7 = button("SpeedButton7", 225, 23, QString(), ":/assets/glyph_down.png",
                          QStringLiteral("一年前の日記"));
    Panel7 = gap("Panel7", 248, 3);

    DateTimePicker = new TDatePicker(ToolBar1);
    DateTimePicker->setObjectName(QStringLiteral("DateTimePicker"));
    DateTimePicker->setGeometry(251, kItemTop, 186, kItemHeight);
    DateTimePicker->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    DateTimePicker->setDateRange(kFirstPickerDate, kLastPickerDate);
    DateTimePicker->setCalendarPopup(true);

    Panel3 = gap("Panel3", 437, 3);
    SpeedButton3 = button("SpeedButton3", 440, 25, QString(), ":/assets/glyph_left.png",
                          QStringLiteral("一日戻す"));
    SpeedButton4 = button("SpeedButton4", 465, 25, QString(), ":/assets/glyph_right.png",
                          QStringLiteral("一日進める"));
    Panel1 = gap("Panel1", 490, 3);
    Bevel2 = bevel("Bevel2", 493, 4, TBevel::Edge::Left);
    SpeedButton1 = button("SpeedButton1", 497, 85, QStringLiteral("設定変更"),
                          ":/assets/glyph_house.png", QStringLiteral("設定を変更する"));
    Bevel3 = bevel("Bevel3", 582, 5, TBevel::Edge::Right);
    Panel4 = gap("Panel4", 587, 2);
    Panel5 = gap("Panel5", 589, 2);
}

void TMainForm::CreatePanes() {
    Panel6 = new QWidget(centralWidget());
    Panel6->setObjectName(QStringLiteral("Panel6"));
    auto* fill = new QVBoxLayout(Panel6);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->setSpacing(0);
    centralWidget()->layout()->addWidget(Panel6);

    Splitter1 = new QSplitter(Qt::Vertical, Panel6);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(kSplitterHeight);
    // The new height is given on release; meanwhile a rubber band follows the mouse.
    Splitter1->setOpaqueResize(false);
    fill->addWidget(Splitter1);

    auto pane = [this](const char* name) {
        auto* memo = new QPlainTextEdit(Splitter1);
        memo->setObjectName(QString::fromLatin1(name));
        memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        memo->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo->setTabChangesFocus(true);
        Splitter1->addWidget(memo);
        return memo;
    };
    Memo1 = pane("Memo1");
    Memo2 = pane("Memo2");
    Memo1->setMinimumHeight(kMinUpperPane);
    // The lower pane may shrink to nothing; its collapse rule is our own
    // (OnSplitterMoved), not the splitter's.
    QSizePolicy lower = Memo2->sizePolicy();
    lower.setVerticalPolicy(QSizePolicy::Ignored);
    Memo2->setSizePolicy(lower);
    Splitter1->setCollapsible(0, false);
    Splitter1->setCollapsible(1, true);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->handle(1)->setCursor(Qt::SizeVerCursor);
    Splitter1->installEventFilter(this);
    Splitter1->handle(1)->installEventFilter(this);

    QWidget::setTabOrder(DateTimePicker, Memo1);
    QWidget::setTabOrder(Memo1, Memo2);
    QWidget::setTabOrder(Memo2, DateTimePicker);
    DateTimePicker->setFocus(Qt::OtherFocusReason);
}

void TMainForm::CreateStatusBar() {
    auto* StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFont(QToolTip::font());
    StatusBar1->setSizeGripEnabled(true);
    auto panel = [StatusBar1](const char* name, int width, Qt::Alignment align) {
        auto* label = new QLabel(StatusBar1);
        label->setObjectName(QString::fromLatin1(name));
        label->setFixedWidth(width);
        label->setAlignment(align | Qt::AlignVCenter);
        StatusBar1->addWidget(label);
        return label;
    };
    StatusPanel1 = panel("StatusPanel1", 150, Qt::AlignLeft);
    StatusPanel2 = panel("StatusPanel2", 170, Qt::AlignHCenter);
    StatusPanel3 = panel("StatusPanel3", 50, Qt::AlignLeft);
    StatusPanel2->setText(QStringLiteral("Kuvandoro Project"));
    setStatusBar(StatusBar1);
}
