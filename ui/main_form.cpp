#include "ui/main_form.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDateEdit>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWindow>

#include "app/settings_file.h"
#include "dates/date_pattern.h"
#include "dates/qt/locale_loader.h"
#include "platform/errors.h"
#include "ui/about_dialog.h"
#include "ui/application.h"
#include "ui/bevel.h"
#include "ui/messages.h"
#include "ui/password_dialog.h"
#include "ui/qt_text.h"
#include "ui/setting_dialog.h"

namespace {

constexpr int kToolBarHeight = 26;
constexpr int kItemTop = 2;
constexpr int kItemHeight = 20;
constexpr int kSplitterHeight = 3;
constexpr int kLowerPaneShownHeight = 154;
constexpr int kMinUpperPane = 30;
constexpr int kCollapseLowerAt = 30;  // a lower pane dragged to this or less collapses
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 450;

// The dates the picker takes.
const QDate kFirstPickerDate(1601, 1, 1);
const QDate kLastPickerDate(9999, 12, 31);

// The date and the time of day of a value put together again; for a day
// before 30 December 1899 the time of day counts away from zero.
kuv::TDateTime Compose(kuv::TDateTime midnight, kuv::TDateTime timeOfDay) {
    return midnight >= 0 ? midnight + timeOfDay : midnight - timeOfDay;
}

kuv::TDateTime MidnightOf(kuv::TDateTime value) {
    const kuv::DateParts d = kuv::DecodeDateValue(value);
    return kuv::EncodeDateValue(d.year, d.month, d.day);
}

kuv::TDateTime TimeOfDayOf(kuv::TDateTime value) {
    const kuv::TimeParts t = kuv::DecodeTimeValue(value);
    return kuv::EncodeTimeValue(t.hour, t.minute, t.second, t.msec);
}

QDate QDateOf(kuv::TDateTime value) {
    const kuv::DateParts d = kuv::DecodeDateValue(value);
    return QDate(d.year, d.month, d.day);
}

kuv::TDateTime MidnightOf(const QDate& date) {
    return kuv::EncodeDateValue(static_cast<std::uint16_t>(date.year()),
                                static_cast<std::uint16_t>(date.month()),
                                static_cast<std::uint16_t>(date.day()));
}

// The value days whole days away, keeping the time of day; refused outside
// the dates the picker takes.
kuv::TDateTime ShiftDays(kuv::TDateTime value, int days) {
    const kuv::TDateTime midnight = MidnightOf(value) + days;
    if (midnight < MidnightOf(kFirstPickerDate) || midnight > MidnightOf(kLastPickerDate)) {
        throw kuv::AppError(kuv::Cp932Of("カレンダーに日付時刻を設定できません。"));
    }
    return Compose(midnight, TimeOfDayOf(value));
}

// The date picker: Tab leaves it as it leaves every other control, instead
// of walking through the date's fields (the arrow keys do that).
class TDatePicker final : public QDateEdit {
  public:
    using QDateEdit::QDateEdit;

  protected:
    bool focusNextPrevChild(bool next) override { return QWidget::focusNextPrevChild(next); }
};

// Runs a handler of the window for Qt: what it throws goes to the general
// error handler and ends the handler there.
auto Handler(TMainForm* form, void (TMainForm::*handler)()) {
    return [form, handler] { kuv::Guarded([form, handler] { (form->*handler)(); }); };
}

}  // namespace

TMainForm::TMainForm(const kuv::AppPaths& paths, QWidget* parent)
    : QMainWindow(parent), FPaths(paths) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Tessarine"));
    QIcon icon(QStringLiteral(":/assets/icon32.png"));
    icon.addFile(QStringLiteral(":/assets/kuvandoro.png"));
    setWindowIcon(icon);
    setFont(kuv::ControlFont());
    CreateMenus();
    CreateToolBar();
    CreatePanes();
    CreateStatusBar();
    ConnectHandlers();
    // An error during start-up is shown and the window comes up all the same.
    kuv::Guarded([this] { FormCreate(); });
}

TMainForm::~TMainForm() = default;

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

void TMainForm::ConnectHandlers() {
    connect(Exit1, &QAction::triggered, this, Handler(this, &TMainForm::Exit1Click));
    connect(SpeedButton1, &QToolButton::clicked, this,
            Handler(this, &TMainForm::SpeedButton1Click));
    connect(N3, &QAction::triggered, this, Handler(this, &TMainForm::SpeedButton1Click));
    connect(SpeedButton2, &QToolButton::clicked, this,
            Handler(this, &TMainForm::SpeedButton2Click));
    connect(N1, &QAction::triggered, this, Handler(this, &TMainForm::SpeedButton2Click));
    connect(SpeedButton3, &QToolButton::clicked, this,
            Handler(this, &TMainForm::SpeedButton3Click));
    connect(N4, &QAction::triggered, this, Handler(this, &TMainForm::SpeedButton3Click));
    connect(SpeedButton4, &QToolButton::clicked, this,
            Handler(this, &TMainForm::SpeedButton4Click));
    connect(N5, &QAction::triggered, this, Handler(this, &TMainForm::SpeedButton4Click));
    connect(SpeedButton7, &QToolButton::clicked, this,
            Handler(this, &TMainForm::SpeedButton7Click));
    connect(N6, &QAction::triggered, this, Handler(this, &TMainForm::SpeedButton7Click));
    connect(SpeedButton5, &QToolButton::clicked, this,
            Handler(this, &TMainForm::SpeedButton5Click));
    connect(N7, &QAction::triggered, this, Handler(this, &TMainForm::SpeedButton5Click));
    // clicked comes after the toggle has flipped, so the handler reads the new state.
    connect(SpeedButton6, &QToolButton::clicked, this,
            Handler(this, &TMainForm::SpeedButton6Click));
    connect(About1, &QAction::triggered, this, Handler(this, &TMainForm::About1Click));

    // Only a change by the user arrives here: the program sets the date with
    // the picker's signals blocked.
    connect(DateTimePicker, &QDateEdit::dateChanged, this, [this](const QDate& date) {
        kuv::Guarded([this, &date] {
            FPickerValue = Compose(MidnightOf(date), TimeOfDayOf(FPickerValue));
            DateTimePickerChange();
        });
    });
    connect(Memo1, &QPlainTextEdit::textChanged, this, [this] {
        if (!FLoading) kuv::Guarded([this] { Memo1Change(); });
    });
    connect(Splitter1, &QSplitter::splitterMoved, this, [this] { OnSplitterMoved(); });
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget* old, QWidget* now) { OnFocusChanged(old, now); });
}

// Start-up.
void TMainForm::FormCreate() {
    FAppDir = FPaths.appDir;
    FSettings = kuv::DefaultSettings(FPaths);
    kuv::ReadSettings(FSettings, FPaths);
    ApplySettingsToWindow();
    SetPickerValue(kuv::CurrentDateTime());
    FMemoFont = kuv::MemoFontFrom(FSettings);
    kuv::ApplyPaneFont(*Memo1, FMemoFont.font, FMemoFont.color);
    kuv::ApplyPaneFont(*Memo2, FMemoFont.font, FMemoFont.color);
    if (FSettings.UseEncryption) {
        FLocked = true;
        FPassWordDialog = new TPassWordDialog(*this);
        FPassWordDialog->show();
    } else {
        LoadDiary(FPickerValue);
    }
    FBook.ClearModified();
}

void TMainForm::ApplySettingsToWindow() {
    SpeedButton6->setChecked(FSettings.ShowOldDiary);
    SetLowerPaneHeight(FSettings.ShowOldDiary ? std::max(FSettings.OldDiaryHeight, 0) : -1);

    const int width = FSettings.WindowWidth > 0 ? FSettings.WindowWidth : kDefaultWidth;
    const int height = FSettings.WindowHeight > 0 ? FSettings.WindowHeight : kDefaultHeight;
    // The stored size is the outer one; the frame is only known once the
    // window is on the screen (see event()).
    FPendingFrameSize = QSize(width, height);
    resize(width, height);
    if (FSettings.SaveWindow && FSettings.WindowTop != -1) {
        const QRect wanted(FSettings.WindowLeft, FSettings.WindowTop, width, height);
        QScreen* screen = QGuiApplication::screenAt(wanted.center());
        // A place on a screen that is no longer there would hide the window.
        if (screen != nullptr || QGuiApplication::primaryScreen() == nullptr) {
            move(wanted.topLeft());
            return;
        }
    }
    CentreOnScreen();
}

void TMainForm::CentreOnScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const QSize outer = FPendingFrameSize.isValid() ? FPendingFrameSize : frameGeometry().size();
    move(area.center() - QPoint(outer.width() / 2, outer.height() / 2));
}

void TMainForm::SetDialogs(TSettingDialog* settingDialog, TAboutDialog* aboutDialog) {
    FSettingDialog = settingDialog;
    FAboutDialog = aboutDialog;
}

void TMainForm::RefusePassword() {
    kuv::ShowMessage(QStringLiteral("パスワードが間違っています"));
}

void TMainForm::UnlockDiary(const std::string& cp932Text) {
    if (cp932Text != FSettings.Password) {
        RefusePassword();
        return;
    }
    SetPickerValue(kuv::CurrentDateTime());
    LoadDiary(FPickerValue);
    FLocked = false;
    show();
    raise();
    activateWindow();
    if (FPassWordDialog != nullptr) FPassWordDialog->hide();
}

// The picker's value, set by the program: no change event.
void TMainForm::SetPickerValue(kuv::TDateTime value) {
    FPickerValue = value;
    const QSignalBlocker blocker(DateTimePicker);
    DateTimePicker->setDate(QDateOf(value));
}

void TMainForm::LoadDiary(kuv::TDateTime date) {
    kuv::DiaryBook::Loaded loaded;
    try {
        FBook.LoadDiary(FPickerValue, date, loaded);
    } catch (...) {
        // The panes keep what was read before the error.
        ShowPanes(loaded, false);
        throw;
    }
    ShowPanes(loaded, true);
}

void TMainForm::ShowPanes(const kuv::DiaryBook::Loaded& loaded, bool complete) {
    FLoading = true;
    Memo1->setPlainText(kuv::WidgetTextFromPane(kuv::ToQString(loaded.upper.text)));
    Memo2->setPlainText(kuv::WidgetTextFromPane(kuv::ToQString(loaded.lower.text)));
    FLoading = false;
    if (loaded.dateInserted) Memo1->moveCursor(QTextCursor::End);

    // An entry that this password does not open, or that could not be read,
    // stays as it is on disk: the pane takes no typing.
    const bool sealed = FBook.UpperSealed();
    Memo1->setReadOnly(sealed);
    if (loaded.upper.source == kuv::PaneSource::Sealed) {
        StatusPanel3->setText(QStringLiteral("ロック中"));
        StatusPanel3->setToolTip(
            QStringLiteral("この日記は今のパスワードでは開けないため、書き換えできません"));
    } else if (sealed) {
        StatusPanel3->setText(QStringLiteral("読込不可"));
        StatusPanel3->setToolTip(
            QStringLiteral("この日記は読み込めなかったため、書き換えできません"));
    } else {
        StatusPanel3->clear();
        StatusPanel3->setToolTip(QString());
    }
    if (complete || !loaded.status.empty()) StatusPanel1->setText(kuv::ToQString(loaded.status));
}

QString TMainForm::PaneText() const {
    QString joined;
    const QTextDocument* doc = Memo1->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b != doc->begin()) joined += u'\n';
        joined += b.text();
    }
    return kuv::PaneTextFromWidget(joined);
}

void TMainForm::SaveDiary() {
    std::string text;
    if (FBook.Modified() && !FBook.UpperSealed()) {
        text = kuv::ToCp932OrThrow(PaneText(), kuv::Cp932Of("日記は保存されていません。"));
    }
    FBook.SaveDiary(FPickerValue, text);
}

void TMainForm::Memo1Change() {
    FBook.MarkChanged();
}

void TMainForm::InsertDate() {
    // A sealed entry takes nothing, not even a date.
    if (Memo1->isReadOnly()) return;
    const QString stamp =
        kuv::ToQString(kuv::FormatDatePattern(FSettings.DateFormat, FPickerValue));
    const QString text = PaneText();
    const bool atLineStart = text.isEmpty() || text.endsWith(QLatin1String("\r\n"));
    QTextCursor cursor(Memo1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(atLineStart ? stamp + u'\n' : u'\n' + stamp);
    Memo1->setTextCursor(cursor);
    FBook.MarkChanged();
}

void TMainForm::SpeedButton2Click() {
    InsertDate();
}

void TMainForm::StepDays(int days) {
    SaveDiary();
    SetPickerValue(ShiftDays(FPickerValue, days));
    DateTimePickerChange();
}

void TMainForm::SpeedButton3Click() {
    StepDays(-1);
}
void TMainForm::SpeedButton4Click() {
    StepDays(1);
}
void TMainForm::SpeedButton7Click() {
    StepDays(-kuv::YearStepDays(FPickerValue, false));
}
void TMainForm::SpeedButton5Click() {
    StepDays(kuv::YearStepDays(FPickerValue, true));
}

void TMainForm::SpeedButton6Click() {
    SetLowerPaneHeight(SpeedButton6->isChecked() ? kLowerPaneShownHeight : -1);
}

void TMainForm::SpeedButton1Click() {
    if (FSettingDialog != nullptr) FSettingDialog->OpenSettingDialog();
}

void TMainForm::About1Click() {
    if (FAboutDialog != nullptr) FAboutDialog->ShowAbout();
}

void TMainForm::DateTimePickerEnter() {
    SaveDiary();
}

void TMainForm::DateTimePickerChange() {
    // A change made while the picker had the focus (a date inserted from the
    // toolbar) is not lost to the new day: it goes to the day it belongs to.
    if (FBook.Unsaved()) {
        const kuv::TDateTime loadedDay = FBook.LoadedDay();
        try {
            FBook.SaveDiary(loadedDay, kuv::ToCp932OrThrow(
                                           PaneText(), kuv::Cp932Of("日記は保存されていません。")));
        } catch (...) {
            SetPickerValue(loadedDay);
            throw;
        }
    }
    LoadDiary(FPickerValue);
}

// Heights of the lower pane: -1 hides it with the splitter; 0 leaves it
// collapsed below a splitter that can be dragged open.
void TMainForm::SetLowerPaneHeight(int height) {
    // The splitter would hide or show its handle with the pane only on its
    // next layout; the window shows the new state at once.
    if (height < 0) {
        Memo2->hide();
        Splitter1->handle(1)->hide();
        return;
    }
    FLowerHeight = height;
    Memo2->show();
    Splitter1->handle(1)->show();
    const int room = Splitter1->contentsRect().height() - Splitter1->handleWidth();
    const int lower = std::clamp(height, 0, std::max(room - kMinUpperPane, 0));
    Splitter1->setSizes({std::max(room - lower, 0), lower});
}

int TMainForm::LowerPaneHeight() const {
    if (Memo2->isHidden()) return 0;
    const QList<int> sizes = Splitter1->sizes();
    return Splitter1->isVisible() && sizes.size() > 1 ? sizes[1] : FLowerHeight;
}

void TMainForm::OnSplitterMoved() {
    QList<int> sizes = Splitter1->sizes();
    if (sizes.size() < 2) return;
    if (sizes[1] > 0 && sizes[1] <= kCollapseLowerAt) {
        sizes[0] += sizes[1];
        sizes[1] = 0;
        Splitter1->setSizes(sizes);
    }
    FLowerHeight = sizes[1];
}

void TMainForm::OnFocusChanged(QWidget* /*old*/, QWidget* now) {
    // Only moves between the controls of this window count: getting the
    // focus back with the window (after a message box, another program) is
    // no entering of the picker.
    if (now == nullptr || now->window() != this) return;
    auto inPicker = [this](const QWidget* w) {
        return w != nullptr && (w == DateTimePicker || DateTimePicker->isAncestorOf(w));
    };
    const bool entering = inPicker(now) && !inPicker(FLastFocus.data());
    FLastFocus = now;
    if (entering) kuv::Guarded([this] { DateTimePickerEnter(); });
}

kuv::ClosingState TMainForm::CurrentClosingState() const {
    kuv::ClosingState s;
    s.lowerPaneShown = SpeedButton6->isChecked();
    s.lowerPaneHeight = LowerPaneHeight();
    QRect outer = frameGeometry();
    if (isMaximized() || isMinimized() || isFullScreen()) {
        // The place to come back to is the normal one.
        const QMargins frame =
            windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
        outer = normalGeometry().marginsAdded(frame);
    }
    s.top = outer.top();
    s.left = outer.left();
    s.height = outer.height();
    s.width = outer.width();
    return s;
}

bool TMainForm::FormCloseQuery() {
    SaveDiary();
    kuv::WriteClosingSettings(FPaths, CurrentClosingState(), FSettings.SaveWindow);
    return true;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (FEnded) {
        event->accept();
        return;
    }
    if (FLocked) {
        // Nothing has been loaded: ending now writes nothing.
        event->accept();
        EndFromPrompt();
        return;
    }
    bool canClose = false;
    kuv::Guarded([this, &canClose] { canClose = FormCloseQuery(); });
    if (!canClose) {
        // The entry or the settings could not be written: the window stays.
        event->ignore();
        return;
    }
    event->accept();
    FEnded = true;
    Quit();
}

void TMainForm::Exit1Click() {
    SaveDiary();
    FEnded = true;
    Quit();
}

bool TMainForm::EndSession() {
    if (FEnded) return true;
    if (FLocked) {
        EndFromPrompt();
        return true;
    }
    bool canClose = false;
    kuv::Guarded([this, &canClose] { canClose = FormCloseQuery(); });
    if (!canClose) return false;
    FEnded = true;
    Quit();
    return true;
}

void TMainForm::EndFromPrompt() {
    if (FEnded) return;
    FEnded = true;
    Quit();
}

void TMainForm::Quit() {
    // exit() rather than quit(): the three ends are final and must not ask
    // the windows again whether they may close.
    QCoreApplication::exit(0);
}

bool TMainForm::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
            if (FPendingFrameSize.isValid() && windowHandle() != nullptr) {
                const QMargins frame = windowHandle()->frameMargins();
                if (!frame.isNull()) {
                    const QSize inner = FPendingFrameSize.shrunkBy(frame);
                    FPendingFrameSize = QSize();
                    if (inner != size()) resize(inner);
                }
            }
            break;
        default:
            break;
    }
    return QMainWindow::event(event);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    // The lower pane keeps its height when the window is resized; the upper
    // pane takes the difference (but keeps its 30 pixels).
    if (watched == Splitter1 && event->type() == QEvent::Resize && !Memo2->isHidden()) {
        const int room = Splitter1->contentsRect().height() - Splitter1->handleWidth();
        const int lower = std::clamp(FLowerHeight, 0, std::max(room - kMinUpperPane, 0));
        Splitter1->setSizes({std::max(room - lower, 0), lower});
    }
    if (watched == Splitter1->handle(1)) {
        if (FilterSplitterDrag(event)) return true;
    } else if (FDragging && event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        CancelSplitterDrag();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// A drag of the splitter that Esc cancels: the handle goes back where it was
// and the rest of the drag is ignored.
bool TMainForm::FilterSplitterDrag(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* press = static_cast<QMouseEvent*>(event);
            if (press->button() != Qt::LeftButton) return false;
            FDragging = true;
            FDragCancelled = false;
            FDragStart = press->position();
            FDragSizes = Splitter1->sizes();
            FDragLowerHeight = FLowerHeight;
            // Esc goes to whatever control has the focus; the application sees it first.
            qApp->installEventFilter(this);
            return false;
        }
        case QEvent::MouseMove:
            return FDragCancelled;
        case QEvent::MouseButtonRelease: {
            if (FEndingDrag) return false;
            if (!FDragging) return false;
            FDragging = false;
            qApp->removeEventFilter(this);
            const bool cancelled = FDragCancelled;
            FDragCancelled = false;
            return cancelled;
        }
        default:
            return false;
    }
}

void TMainForm::CancelSplitterDrag() {
    if (FDragCancelled) return;
    FDragCancelled = true;
    // Releasing where the drag began takes the rubber band away and leaves
    // both panes as they were.
    QWidget* handle = Splitter1->handle(1);
    QMouseEvent release(QEvent::MouseButtonRelease, FDragStart, handle->mapToGlobal(FDragStart),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    FEndingDrag = true;
    QApplication::sendEvent(handle, &release);
    FEndingDrag = false;
    // The release may land a pixel off; the panes get back their exact heights.
    Splitter1->setSizes(FDragSizes);
    FLowerHeight = FDragLowerHeight;
}

void TMainForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) kuv::LoadDateLocale();
    QMainWindow::changeEvent(event);
}
