#include <QAction>
#include <QDateEdit>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOption>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include "dates/qt/locale_loader.h"
#include "ui/common/bevel.h"
#include "ui/common/desktop_look.h"
#include "ui/common/memo.h"
#include "ui/conflicts/conflict_watch.h"
#include "ui/find/find_commands.h"
#include "ui/transfer/transfer_commands.h"
#include "ui/window/main_actions.h"
#include "ui/window/main_form.h"
#include "ui/window/main_form_metrics.h"
#include "ui/window/pane_splitter.h"

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

// A panel of the status bar: its width while there is room, and less when
// the window is made narrower, as a Windows status bar clips its panels.
class TStatusPanel final : public QLabel {
  public:
    TStatusPanel(int width, QWidget* parent) : QLabel(parent), width_(width) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
        setMaximumWidth(width);
    }
    QSize sizeHint() const override { return {width_, QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

  private:
    int width_;
};

// The status bar: its panels draw their own sunken frames, so it draws none
// around them (a style sheet would do it too, but would keep the colours of
// the palette it met first when the desktop's palette changes).
class TStatusBar final : public QStatusBar {
  public:
    using QStatusBar::QStatusBar;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QStyleOption option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
    }
};

// The user's short date format, with the year in four digits so that every
// year the picker takes can be read and typed.
QString PickerFormat(const QLocale& locale) {
    // The C locale's short date is the fallback tables' m/d/yy.
    if (locale.language() == QLocale::C) return QStringLiteral("M/d/yyyy");
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    // A run of exactly two y letters is the two-digit year.
    QString wide;
    for (qsizetype i = 0; i < format.size();) {
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == format[i]) ++run;
        const QString piece = format.mid(i, run);
        wide += format[i] == u'y' && run == 2 ? QStringLiteral("yyyy") : piece;
        i += run;
    }
    return wide;
}

}  // namespace

void TMainForm::CreateActions() {
    FActions = std::make_unique<TMainActions>(this);
}

QAction* TMainForm::Action(kuv::MainAction id) const {
    return (*FActions)[id];
}

void TMainForm::CreateMenus() {
    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    auto menu = [this, MainMenu1](const char* name, const QString& title, kuv::MainMenu which) {
        QMenu* m = MainMenu1->addMenu(title);
        m->setObjectName(QString::fromLatin1(name));
        FActions->FillMenu(*m, which);
        return m;
    };
    QMenu* File1 = menu("File1", QStringLiteral("ファイル"), kuv::MainMenu::File);
    // The settings are read after the menus are built, and a restore reads them again.
    connect(File1, &QMenu::aboutToShow, this, [this] { FTransfer->ShowAutoBackupSetting(); });
    menu("Edit1", QStringLiteral("編集"), kuv::MainMenu::Edit);
    menu("Help1", QStringLiteral("ヘルプ"), kuv::MainMenu::Help);
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

    SpeedButton2 = button("SpeedButton2", 0, 89, Action(kuv::MainAction::InsertDate), true);
    SpeedButton6 = button("SpeedButton6", 89, 104, Action(kuv::MainAction::ShowOldDiary), true);
    gap("Panel2", 193, 4);
    bevel("Bevel1", 197, 5, TBevel::Edge::Left);
    SpeedButton5 = button("SpeedButton5", 202, 23, Action(kuv::MainAction::YearForward), false);
    SpeedButton7 = button("SpeedButton7", 225, 23, Action(kuv::MainAction::YearBack), false);
    gap("Panel7", 248, 3);

    DateTimePicker = new TDatePicker(ToolBar1);
    DateTimePicker->setObjectName(QStringLiteral("DateTimePicker"));
    DateTimePicker->setGeometry(251, kItemTop, 186, kItemHeight);
    const QLocale locale = kuv::UserDateLocale();
    DateTimePicker->setLocale(locale);
    DateTimePicker->setDisplayFormat(PickerFormat(locale));
    DateTimePicker->setDateRange(kFirstPickerDate, kLastPickerDate);
    DateTimePicker->setCalendarPopup(true);

    gap("Panel3", 437, 3);
    SpeedButton3 = button("SpeedButton3", 440, 25, Action(kuv::MainAction::DayBack), false);
    SpeedButton4 = button("SpeedButton4", 465, 25, Action(kuv::MainAction::DayForward), false);
    gap("Panel1", 490, 3);
    bevel("Bevel2", 493, 4, TBevel::Edge::Left);
    SpeedButton1 = button("SpeedButton1", 497, 85, Action(kuv::MainAction::Settings), true);
    bevel("Bevel3", 582, 5, TBevel::Edge::Right);
    gap("Panel4", 587, 2);
    gap("Panel5", 589, 2);
}

void TMainForm::CreatePanes() {
    auto* Panel6 = new QWidget(centralWidget());
    Panel6->setObjectName(QStringLiteral("Panel6"));
    auto* fill = new QVBoxLayout(Panel6);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->setSpacing(0);
    centralWidget()->layout()->addWidget(Panel6);

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

// The feature parts, each wired to its commands in the table.
void TMainForm::CreateParts() {
    FTransfer = std::make_unique<TTransferCommands>(this, FSession, *FActions);
    FFind = std::make_unique<TFindCommands>(this, FSession, *FActions, DateTimePicker);
    FConflicts = std::make_unique<TConflictWatch>(FSession, *FActions, Memo1, DateTimePicker);
}

void TMainForm::CreateStatusBar() {
    auto* StatusBar1 = new TStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFont(QToolTip::font());
    StatusBar1->setSizeGripEnabled(true);
    StatusBar1->setFixedHeight(kStatusBarHeight);
    auto panel = [StatusBar1](const char* name, int width, Qt::Alignment align) {
        auto* label = new TStatusPanel(width, StatusBar1);
        label->setObjectName(QString::fromLatin1(name));
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
