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

QAction* MakeAction(QObject* owner, const char* name, const QString& caption,
                    const char* glyph = nullptr, const QString& hint = QString()) {
    auto* action = new QAction(caption, owner);
    action->setObjectName(QString::fromLatin1(name));
    if (glyph != nullptr) {
        kuv::SetGlyph(*action, QString::fromLatin1(glyph), QGuiApplication::palette());
    }
    // The menus show no glyphs; the toolbar buttons do.
    action->setIconVisibleInMenu(false);
    if (!hint.isEmpty()) action->setToolTip(hint);
    return action;
}

}  // namespace

void TMainForm::CreateActions() {
    Exit1 = MakeAction(this, "Exit1", QStringLiteral("終了"));
    N1 = MakeAction(this, "N1", QStringLiteral("日付挿入"), ":/assets/glyph_insert.png",
                    QStringLiteral("日記に日付を挿入する"));
    N4 = MakeAction(this, "N4", QStringLiteral("昨日の日記へ"), ":/assets/glyph_left.png",
                    QStringLiteral("一日戻す"));
    N5 = MakeAction(this, "N5", QStringLiteral("一日先の日記へ"), ":/assets/glyph_right.png",
                    QStringLiteral("一日進める"));
    N6 = MakeAction(this, "N6", QStringLiteral("昨年の日記へ"), ":/assets/glyph_down.png",
                    QStringLiteral("一年前の日記"));
    N7 = MakeAction(this, "N7", QStringLiteral("一年先の日記へ"), ":/assets/glyph_up.png",
                    QStringLiteral("一年先の日記"));
    N3 = MakeAction(this, "N3", QStringLiteral("設定変更"), ":/assets/glyph_house.png",
                    QStringLiteral("設定を変更する"));
    Help2 = MakeAction(this, "Help2", QStringLiteral("ヘルプ"));
    Help2->setEnabled(false);
    About1 = MakeAction(this, "About1", QStringLiteral("Kuvandoroについて"));
    FShowOldDiary = MakeAction(this, "ShowOldDiary", QStringLiteral("過去の日記を表示"), nullptr,
                               QStringLiteral("一年前の日記を表示します"));
    FShowOldDiary->setCheckable(true);
    FShowOldDiary->setChecked(true);
}

void TMainForm::CreateMenus() {
    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    auto menu = [MainMenu1](const char* name, const QString& title) {
        QMenu* m = MainMenu1->addMenu(title);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    File1 = menu("File1", QStringLiteral("ファイル"));
    File1->addAction(Exit1);
    CreateTransferMenu();

    Edit1 = menu("Edit1", QStringLiteral("編集"));
    Edit1->addActions({N1, N4, N5, N6, N7});
    N2 = Edit1->addSeparator();
    N2->setObjectName(QStringLiteral("N2"));
    Edit1->addAction(N3);

    Help1 = menu("Help1", QStringLiteral("ヘルプ"));
    Help1->addActions({Help2, About1});
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

    SpeedButton2 = button("SpeedButton2", 0, 89, N1, true);
    SpeedButton6 = button("SpeedButton6", 89, 104, FShowOldDiary, true);
    gap("Panel2", 193, 4);
    bevel("Bevel1", 197, 5, TBevel::Edge::Left);
    SpeedButton5 = button("SpeedButton5", 202, 23, N7, false);
    SpeedButton7 = button("SpeedButton7", 225, 23, N6, false);
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
    SpeedButton3 = button("SpeedButton3", 440, 25, N4, false);
    SpeedButton4 = button("SpeedButton4", 465, 25, N5, false);
    gap("Panel1", 490, 3);
    bevel("Bevel2", 493, 4, TBevel::Edge::Left);
    SpeedButton1 = button("SpeedButton1", 497, 85, N3, true);
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
