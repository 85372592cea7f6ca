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
#include "ui/main_form_metrics.h"
#include "ui/messages.h"
#include "ui/password_dialog.h"
#include "ui/qt_text.h"
#include "ui/setting_dialog.h"

namespace {

using namespace kuv::mainform;

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

TMainForm::~TMainForm() {
    // The application outlives the window: a focus change while the widgets
    // go away must not reach a window that is already half destroyed.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
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
    if (!kuv::ReadSettings(FSettings, FPaths)) {
        // Starting on the defaults without a word would open a locked diary
        // unlocked and save its entries as plain text.
        kuv::ShowMessage(
            QStringLiteral("設定ファイル %1 を読み込めません。既定の設定で起動します。")
                .arg(kuv::ToQString(FPaths.settingsPath)));
    }
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
    cursor.insertText(atLineStart ? QString(stamp + u'\n') : QString(u'\n' + stamp));
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

void TMainForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) kuv::LoadDateLocale();
    QMainWindow::changeEvent(event);
}
