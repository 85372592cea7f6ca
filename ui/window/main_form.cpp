#include "ui/window/main_form.h"

#include <algorithm>
#include <optional>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDateEdit>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QWindow>

#include "app/instance_lock.h"
#include "app/recovery.h"
#include "app/settings_apply.h"
#include "dates/qt/locale_loader.h"
#include "lock/strong_lock.h"
#include "platform/errors.h"
#include "ui/app/application.h"
#include "ui/common/centring.h"
#include "ui/common/desktop_look.h"
#include "ui/common/info_bar.h"
#include "ui/common/memo.h"
#include "ui/common/messages.h"
#include "ui/common/qt_date.h"
#include "ui/common/qt_text.h"
#include "ui/common/screen_fit.h"
#include "ui/conflicts/conflict_watch.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/password_dialog.h"
#include "ui/dialogs/setting_dialog.h"
#include "ui/drafts/draft_keeper.h"
#include "ui/find/find_commands.h"
#include "ui/history/history_commands.h"
#include "ui/lock/strong_lock_commands.h"
#include "ui/stats/stats_commands.h"
#include "ui/transfer/transfer_commands.h"
#include "ui/window/day_view.h"
#include "ui/window/main_form_metrics.h"
#include "ui/window/session_bridge.h"
#include "ui/window/status_bar.h"

namespace {

using namespace kuv::mainform;

// How long a notice stays in the status bar.
constexpr int kNoticeMs = 8000;

// Runs a handler of the window for Qt: what it throws goes to the general
// error handler and ends the handler there.
auto Handler(TMainForm* form, void (TMainForm::*handler)()) {
    return [form, handler] { kuv::Guarded([form, handler] { (form->*handler)(); }); };
}

}  // namespace

TMainForm::TMainForm(const kuv::AppPaths& paths, QWidget* parent)
    : QMainWindow(parent), FSession(paths, kuv::DefaultSettings(paths)) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Tessarine"));
    // The title bar's size; the desktop takes larger ones from the installed
    // icon theme by the desktop file's name, and decoding them here would
    // only cost memory at every start.
    setWindowIcon(QIcon(kuv::AssetPixmap(QStringLiteral(":/assets/icon32.png"))));
    setFont(kuv::ControlFont());
    CreateActions();
    CreateMenus();
    CreateDayView();
    CreateStatusBar();
    CreateParts();
    ConnectHandlers();
    FSession.SetView(FBridge);
    FSession.SetUpperPane(FDayView);
    // An error during start-up is shown and the window comes up all the same.
    kuv::Guarded([this] { FormCreate(); });
}

TMainForm::~TMainForm() {
    FSession.SetView(nullptr);
    FSession.SetUpperPane(nullptr);
    // The application outlives the window: a focus change while the widgets
    // go away must not reach a window that is already half destroyed.
    disconnect(qApp, &QApplication::focusChanged, FDayView, nullptr);
}

void TMainForm::ConnectHandlers() {
    using kuv::MainAction;
    const auto handle = [this](MainAction id, void (TMainForm::*handler)()) {
        connect(Action(id), &QAction::triggered, this, Handler(this, handler));
    };
    handle(MainAction::Exit, &TMainForm::Exit1Click);
    handle(MainAction::InsertDate, &TMainForm::SpeedButton2Click);
    handle(MainAction::Settings, &TMainForm::SpeedButton1Click);
    handle(MainAction::DayBack, &TMainForm::SpeedButton3Click);
    handle(MainAction::DayForward, &TMainForm::SpeedButton4Click);
    handle(MainAction::YearBack, &TMainForm::SpeedButton7Click);
    handle(MainAction::YearForward, &TMainForm::SpeedButton5Click);
    // triggered comes after the toggle has flipped, so the handler reads the new state.
    handle(MainAction::ShowOldDiary, &TMainForm::SpeedButton6Click);
    handle(MainAction::About, &TMainForm::About1Click);

    // The window first, then the parts that follow the day it shows.
    connect(FBridge, &TSessionBridge::dayChanged, this, &TMainForm::DayChanged);
    connect(FBridge, &TSessionBridge::panesLoaded, this, &TMainForm::PanesLoaded);
    connect(FBridge, &TSessionBridge::lowerPaneLoaded, this, &TMainForm::LowerPaneLoaded);
    // Looking up the day's conflict copies shows the entry's state.
    connect(FBridge, &TSessionBridge::panesLoaded, FConflicts.get(), &TConflictWatch::DayLoaded);
    connect(FBridge, &TSessionBridge::dayChanged, FFind.get(), [this] { FFind->FollowDay(); });
    connect(FBridge, &TSessionBridge::panesLoaded, FFind.get(), [this] { FFind->FollowDay(); });
    // The entry saved is the one loaded: its year is the one to read again.
    connect(FBridge, &TSessionBridge::entrySaved, FFind.get(),
            [this] { FFind->FilesChanged({kuv::DecodeDateValue(FSession.LoadedDay()).year}); });
    connect(FTransfer.get(), &TTransferCommands::filesChanged, FFind.get(),
            &TFindCommands::FilesChanged);
    connect(FConflicts.get(), &TConflictWatch::filesChanged, FFind.get(),
            &TFindCommands::FilesChanged);
    connect(FTransfer.get(), &TTransferCommands::restored, this,
            [this](const QString& notice) { OnRestored(notice); });
    connect(FFind.get(), &TFindCommands::daySelected, this, &TMainForm::GoToDay);
    connect(FBridge, &TSessionBridge::entrySaved, FStats.get(), &TStatsCommands::FollowDiary);
    connect(FStats.get(), &TStatsCommands::daySelected, this, &TMainForm::GoToDay);
    connect(FFind.get(), &TFindCommands::matchChosen, this,
            [this](const QString& line, int begin, int end) {
                TFindCommands::SelectMatch(FDayView->UpperPane(), line, begin, end);
            });
    connect(FConflicts.get(), &TConflictWatch::stateChanged, this, &TMainForm::ShowEntryState);
    connect(FConflicts.get(), &TConflictWatch::reloadedFromDisk, this, [this] {
        ShowNotice(QStringLiteral("ディスク上で変更された日記を読み込み直しました"));
    });
    connect(FTransfer.get(), &TTransferCommands::notice, this, &TMainForm::ShowNotice);
    connect(FStrongLock.get(), &TStrongLockCommands::notice, this, &TMainForm::ShowNotice);
    connect(FStrongLock.get(), &TStrongLockCommands::converting, FConflicts.get(),
            &TConflictWatch::SetPaused);
    connect(FStrongLock.get(), &TStrongLockCommands::diaryOpened, this,
            [this] { kuv::Guarded([this] { DiaryUnlocked(); }); });
    // The settings dialog's Windows lock switch follows the strong lock.
    connect(FStrongLock.get(), &TStrongLockCommands::lockChanged, this, [this](bool on) {
        if (!FSettingDialog) return;
        FSettingDialog->SetStrongLock(on);
        // An open dialog shows the password fields as the lock left them.
        if (FSettingDialog->isVisible()) kuv::Guarded([this] { SpeedButton1Click(); });
    });

    connect(FDayView, &TDayView::pickerChanged, this,
            Handler(this, &TMainForm::DateTimePickerChange));
    connect(FDayView, &TDayView::pickerEntered, this,
            Handler(this, &TMainForm::DateTimePickerEnter));
    connect(FDayView, &TDayView::upperEdited, this, Handler(this, &TMainForm::Memo1Change));
    // The draft follows the pane and every save.
    connect(FDayView, &TDayView::upperEdited, FDrafts.get(), &TDraftKeeper::Changed);
    connect(FBridge, &TSessionBridge::entrySaved, FDrafts.get(), &TDraftKeeper::Saved);
    connect(FBridge, &TSessionBridge::panesLoaded, FDrafts.get(), &TDraftKeeper::Loaded);
    connect(FBridge, &TSessionBridge::panesLoaded, FHistory.get(), &THistoryCommands::FollowDay);
    connect(FDrafts.get(), &TDraftKeeper::conflictCopiesMade, this,
            [this] { Action(kuv::MainAction::ShowConflicts)->trigger(); });
    // The lower pane stays editable for a note in passing, but keeps nothing.
    connect(FDayView, &TDayView::lowerEdited, this,
            [this] { ShowNotice(QStringLiteral("下の欄の文章は保存されません")); });
}

// Start-up.
void TMainForm::FormCreate() {
    if (const kuv::SettingsReadResult& read = FSession.ReadSettings(); !read.usable()) {
        // Starting on the defaults without a word would open a locked diary
        // unlocked and save its entries as plain text.
        kuv::ShowMessage(kuv::ToQString(read.message) + QStringLiteral("既定の設定で起動します。"));
    }
    ApplySettingsToWindow();
    if (FSession.Settings().UseEncryption || FSession.StrongLocked()) CreatePrompt();
    if (FSession.Open()) {
        FPassWordDialog->FormCreate();
    } else {
        AnnounceRecoveredTexts();
        FDrafts->DiaryOpened();
    }
}

void TMainForm::CreatePrompt() {
    if (FPassWordDialog != nullptr) return;
    FPassWordDialog = new TPassWordDialog(this);
    connect(FPassWordDialog, &TPassWordDialog::passwordEntered, this, [this](const QString& text) {
        kuv::Guarded([this, &text] { OnPasswordEntered(text); });
    });
    connect(FPassWordDialog, &TPassWordDialog::closeRequested, this, [this] { OnPromptClosed(); });
}

void TMainForm::AnnounceRecoveredTexts() {
    const std::string notice = FSession.TakeRecoveryNotice();
    if (notice.empty()) return;
    // The window is up and the user may be typing: a bar, not a box.
    const std::optional<std::string> state = kuv::UserStateFolder();
    FInfoBar->Show(kuv::ToQString(notice),
                   state ? kuv::ToQString(kuv::RecoveredFolder(*state)) : QString());
}

void TMainForm::ApplyPaneSettings() {
    const kuv::TDiarySettings& s = FSession.Settings();
    Action(kuv::MainAction::ShowOldDiary)->setChecked(s.ShowOldDiary);
    FDayView->SetLowerHeight(s.ShowOldDiary ? std::max(s.OldDiaryHeight, 0) : -1);
    FMemoFont = kuv::MemoFontFrom(s);
    FDayView->SetPaneFont(FMemoFont.font, FMemoFont.color);
}

void TMainForm::ApplySettingsToWindow() {
    ApplyPaneSettings();
    const kuv::TDiarySettings& s = FSession.Settings();

    // A size stored at another scale or on a larger screen fits this one.
    const QSize size =
        kuv::SizeOnScreen(QSize(s.WindowWidth > 0 ? s.WindowWidth : kDefaultWidth,
                                s.WindowHeight > 0 ? s.WindowHeight : kDefaultHeight),
                          nullptr);
    const int width = size.width();
    const int height = size.height();
    // The stored size is the outer one; the frame is only known once the
    // window is on the screen (see event()).
    FPendingFrameSize = QSize(width, height);
    resize(width, height);
    if (s.SaveWindow && s.WindowTop != -1) {
        // A place on a screen that is no longer there, or remembered at
        // another scale, would hide the window or its title bar.
        const QRect fitted =
            kuv::FitFrameOnScreens(QRect(s.WindowLeft, s.WindowTop, width, height));
        FPendingFrameSize = fitted.size();
        resize(fitted.size());
        move(fitted.topLeft());
        return;
    }
    CentreOnScreen();
}

void TMainForm::CentreOnScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const QSize outer = FPendingFrameSize.isValid() ? FPendingFrameSize : frameGeometry().size();
    move(kuv::CentredFramePlace(area, outer, QMargins()));
}

void TMainForm::OnPasswordEntered(const QString& text) {
    // A strong-locked diary's key is opened on the worker; the part calls back.
    if (FSession.StrongLocked()) {
        if (FPassWordDialog != nullptr) FStrongLock->OpenAtPrompt(*FPassWordDialog, text);
        return;
    }
    const kuv::Cp932Text typed = kuv::ToCp932(text);
    // A character that code page 932 cannot hold is in no stored password.
    bool opened = false;
    try {
        opened = typed.ok && FSession.Unlock(typed.bytes);
    } catch (...) {
        // The diary is open; only today's entry could not be shown.
        opened = !FSession.Locked();
        if (opened) {
            show();
            if (FPassWordDialog != nullptr) FPassWordDialog->hide();
        }
        throw;
    }
    if (!opened) {
        kuv::ShowMessage(QStringLiteral("パスワードが間違っています"));
        return;
    }
    DiaryUnlocked();
}

void TMainForm::DiaryUnlocked() {
    show();
    raise();
    activateWindow();
    if (FPassWordDialog != nullptr) FPassWordDialog->hide();
    FFind->FollowDiary();
    FStats->FollowDiary();
    FStrongLock->FollowDiary();
    AnnounceRecoveredTexts();
    FDrafts->DiaryOpened();
}

void TMainForm::OnPromptClosed() {
    // Nothing has been loaded: ending now writes nothing.
    if (FSession.Ended() || !FSession.Locked()) return;
    FSession.EndLocked();
    Quit();
}

// The session's current day, shown by the picker without a change event.
void TMainForm::DayChanged() {
    FDayView->ShowDay(kuv::QDateOf(FSession.Day()));
}

void TMainForm::PanesLoaded(bool complete) {
    // An entry that this password does not open, or that could not be read,
    // stays as it is on disk: the pane takes no typing.
    FDayView->ShowPanes(kuv::WidgetTextOfPane(FSession.Upper().text, FSession.Upper().utf8),
                        kuv::WidgetTextOfPane(FSession.Lower().text, FSession.Lower().utf8),
                        FSession.DateInserted(), FSession.UpperReadOnly());
    if (complete) StatusPanel1->setText(kuv::ToQString(FSession.StatusLine()));
}

void TMainForm::LowerPaneLoaded() {
    FDayView->ShowLower(kuv::WidgetTextOfPane(FSession.Lower().text, FSession.Lower().utf8));
}

void TMainForm::ShowEntryState() {
    QString text;
    QString hint;
    // Why the pane is read-only outweighs the rest.
    if (FSession.Upper().source == kuv::PaneSource::Sealed) {
        text = QStringLiteral("ロック中");
        hint = QStringLiteral("この日記は今のパスワードでは開けないため、書き換えできません");
    } else if (FSession.Upper().source == kuv::PaneSource::Unreadable) {
        text = QStringLiteral("読込不可");
        hint = QStringLiteral("この日記は読み込めなかったため、書き換えできません");
    } else if (!FSession.UpperReadOnly()) {
        switch (FConflicts->EntryState()) {
            case TConflictWatch::State::Pending:
                text = QStringLiteral("競合");
                hint = QStringLiteral(
                    "この日記は読み込んだ後にディスク上で変更されました。"
                    "保存するときに、どちらを残すか確かめます");
                break;
            case TConflictWatch::State::Copies:
                text = QStringLiteral("コピー有");
                hint =
                    QStringLiteral("この日には競合コピーがあります（編集 → 競合コピーを比べる）");
                break;
            case TConflictWatch::State::None:
                break;
        }
    }
    StatusPanel3->setText(text);
    StatusPanel3->setToolTip(hint);
}

void TMainForm::Memo1Change() {
    FSession.UpperChanged();
}

void TMainForm::SpeedButton2Click() {
    const std::string line = FSession.InsertDate();
    if (line.empty()) return;
    FDayView->AppendToUpper(kuv::WidgetTextFromPane(kuv::ToQString(line)));
}

void TMainForm::SpeedButton3Click() {
    FDayView->FinishComposition();
    FSession.StepDays(-1);
}
void TMainForm::SpeedButton4Click() {
    FDayView->FinishComposition();
    FSession.StepDays(1);
}
void TMainForm::SpeedButton7Click() {
    FDayView->FinishComposition();
    FSession.StepYear(false);
}
void TMainForm::SpeedButton5Click() {
    FDayView->FinishComposition();
    FSession.StepYear(true);
}

void TMainForm::SpeedButton6Click() {
    FDayView->ShowLowerPane(Action(kuv::MainAction::ShowOldDiary)->isChecked());
}

void TMainForm::SpeedButton1Click() {
    if (!FSettingDialog) {
        FSettingDialog = std::make_unique<TSettingDialog>();
        connect(FSettingDialog.get(), &TSettingDialog::settingsApplied, this,
                [this](const kuv::DialogValues& values, const QFont& font, std::int32_t color) {
                    kuv::Guarded([&] { OnSettingsApplied(values, font, color); });
                });
        connect(FSettingDialog.get(), &TSettingDialog::strongLockRequested, FStrongLock.get(),
                [this] { kuv::Guarded([this] { FStrongLock->OpenSwitch(); }); });
    }
    FSettingDialog->SetStrongLock(FSession.StrongLocked());
    const kuv::TDiarySettings& s = FSession.Settings();
    kuv::DialogValues current;
    current.dataPath = s.DataPath;
    current.password = s.Password;
    current.useEncryption = s.UseEncryption;
    current.dateFormat = s.DateFormat;
    current.saveWindow = s.SaveWindow;
    current.autoInsertDate = s.AutoInsertDate;
    current.newDayTemplate = s.NewDayTemplate;
    FSettingDialog->OpenSettingDialog(current, FDayView->PaneFont(), FDayView->PaneColor(), this);
}

void TMainForm::OnSettingsApplied(const kuv::DialogValues& values, const QFont& font,
                                  std::int32_t colorValue) {
    // One window per diary: a data folder that another window has open is
    // not taken over.
    if (values.dataPath != FSession.Settings().DataPath && FDiaryLock != nullptr &&
        FDiaryLock->MoveData(values.dataPath) == kuv::LockResult::Busy) {
        kuv::ShowMessage(
            QStringLiteral("日記データの格納フォルダ %1 は、別のウィンドウで開かれています")
                .arg(kuv::ToQString(values.dataPath)));
        return;
    }
    // Under the strong lock no password goes to the settings file, whatever
    // the dialog still held from before the lock changed.
    kuv::DialogValues applied = values;
    if (FSession.StrongLocked()) {
        applied.useEncryption = false;
        applied.password.clear();
    }
    const kuv::DialogApplyResult result = kuv::ApplyDialogSettings(
        FSession.Paths(), FSession.SettingsAtStart(), FSession.Settings(), applied);
    switch (result.status) {
        case kuv::DialogApply::NoPassword:
            kuv::ShowMessage(QStringLiteral("パスワードが設定されていません"));
            return;
        case kuv::DialogApply::UnstorablePassword:
            kuv::ShowMessage(
                QStringLiteral("このパスワードは暗号化に使えません。32バイト（全角16文字）以内で、"
                               "「え」「ｦ」などの一部の文字を含まないパスワードにして下さい"));
            return;
        case kuv::DialogApply::Applied:
        case kuv::DialogApply::AppliedNotStored:
            break;
    }
    FDayView->SetPaneFont(font, colorValue);
    FSettingDialog->hide();
    FFind->FollowDiary();
    FStats->FollowDiary();
    FStrongLock->FollowDiary();
    if (result.status == kuv::DialogApply::AppliedNotStored) {
        kuv::ShowMessage(kuv::ToQString(result.message));
    }
    kuv::ShowMessage(QStringLiteral("パスワード・暗号化の設定は次回起動時から有効になります。"));
}

void TMainForm::About1Click() {
    if (!FAboutDialog) FAboutDialog = std::make_unique<TAboutDialog>();
    FAboutDialog->ShowAbout();
}

void TMainForm::OnRestored(const QString& restoreNotice) {
    QString notice = restoreNotice;
    // The restored diary as a start would find it: its settings, its font,
    // its lower pane, its data folder.
    const std::string dataBefore = Settings().DataPath;
    if (const kuv::SettingsReadResult& read = FSession.ReadSettings(); !read.usable()) {
        notice += QStringLiteral("\n\n") + kuv::ToQString(read.message) +
                  QStringLiteral("既定の設定で続けます。");
    }
    ApplyPaneSettings();
    FTransfer->ShowAutoBackupSetting();
    // What the settings dialog shows is the diary before the restore.
    if (FSettingDialog) FSettingDialog->hide();

    // One diary, one window: the lock goes with the data folder.
    const kuv::TDiarySettings& s = Settings();
    if (s.DataPath != dataBefore && FDiaryLock != nullptr &&
        FDiaryLock->MoveData(s.DataPath) == kuv::LockResult::Busy) {
        kuv::ShowMessage(notice + QStringLiteral("\n\n復元した設定のデータフォルダ %1 "
                                                 "はほかのウィンドウで開かれているため、"
                                                 "このウィンドウを閉じます。")
                                      .arg(kuv::ToQString(s.DataPath)));
        FSession.EndLocked();
        Quit();
        return;
    }
    // A restored diary under the strong lock whose key this process has not
    // opened asks for its password, as a start would; until then nothing of
    // it is read or written.
    if (FSession.StrongLocked() && kuv::lock::KeyFor(s.DataPath) == nullptr) {
        FSession.Relock();
        kuv::ShowMessage(notice);
        hide();
        CreatePrompt();
        FPassWordDialog->FormCreate();
        return;
    }
    kuv::Guarded([this] { FSession.Load(); });
    FStrongLock->FollowDiary();
    // Any day may have changed or gone: the finding windows read every year.
    FFind->FollowDiary();
    FFind->FilesChanged({});
    kuv::ShowMessage(notice);
}

void TMainForm::EnableAutoBackup() {
    FTransfer->EnableAutoBackup();
}

bool TMainForm::BackgroundBusy() const {
    return FTransfer->Busy();
}

void TMainForm::GoToDay(int year, int month, int day) {
    kuv::Guarded([&] {
        FDayView->FinishComposition();
        FSession.GoTo(kuv::EncodeDateValue(static_cast<std::uint16_t>(year),
                                           static_cast<std::uint16_t>(month),
                                           static_cast<std::uint16_t>(day)));
    });
}

void TMainForm::DateTimePickerEnter() {
    FDayView->FinishComposition();
    FSession.PickerEntered();
}

void TMainForm::DateTimePickerChange() {
    const QDate date = FDayView->Picker()->date();
    FSession.PickerChanged(date.year(), date.month(), date.day());
}

int TMainForm::LowerPaneHeight() const {
    return FDayView->LowerHeight();
}

kuv::ClosingState TMainForm::CurrentClosingState() const {
    kuv::ClosingState s;
    s.lowerPaneShown = Action(kuv::MainAction::ShowOldDiary)->isChecked();
    s.lowerPaneHeight = LowerPaneHeight();
    QRect outer = frameGeometry();
    if (isMaximized() || isMinimized() || isFullScreen()) {
        // The place to come back to is the normal one, as it was last seen:
        // the frame of a maximised window is not the frame of a normal one.
        if (FNormalFrame.isValid()) {
            outer = FNormalFrame;
        } else {
            const QMargins frame =
                windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
            outer = normalGeometry().marginsAdded(frame);
        }
    }
    s.top = outer.top();
    s.left = outer.left();
    s.height = outer.height();
    s.width = outer.width();
    return s;
}

void TMainForm::FormCloseQuery() {
    FDayView->FinishComposition();
    const std::string notice = FSession.CloseWindow(CurrentClosingState());
    // Said once, at the end: the file is the user's and stays as it was.
    if (!notice.empty()) kuv::ShowMessage(kuv::ToQString(notice));
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (FSession.Ended()) {
        event->accept();
        return;
    }
    if (FSession.Locked()) {
        event->accept();
        OnPromptClosed();
        return;
    }
    kuv::Guarded([this] { FormCloseQuery(); });
    if (!FSession.Ended()) {
        // The entry or the settings could not be written: the window stays.
        event->ignore();
        return;
    }
    event->accept();
    Quit();
}

void TMainForm::Exit1Click() {
    FDayView->FinishComposition();
    FSession.Exit();
    Quit();
}

void TMainForm::EndSession() {
    if (FSession.Ended()) return;
    // No box may wait now: the session kills a program that does not end.
    FDayView->FinishComposition();
    FSession.EndSession(CurrentClosingState());
    Quit();
}

void TMainForm::Quit() {
    // exit() rather than quit(): the three ends are final and must not ask
    // the windows again whether they may close.
    QCoreApplication::exit(0);
}

void TMainForm::FollowPalette() {
    // A palette change may come while the window is still being built.
    if (FDayView == nullptr) return;
    kuv::RedrawGlyphs(*this, palette());
    FDayView->FollowPalette();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FTransfer->WindowShown();
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
            if (isVisible() && !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized |
                                                  Qt::WindowFullScreen))) {
                FNormalFrame = frameGeometry();
            }
            break;
        default:
            break;
    }
    return QMainWindow::event(event);
}

void TMainForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) kuv::LoadDateLocale();
    // Qt tells the window before its controls: they follow once they have it.
    if (event->type() == QEvent::PaletteChange) {
        QMetaObject::invokeMethod(this, &TMainForm::FollowPalette, Qt::QueuedConnection);
    }
    QMainWindow::changeEvent(event);
}

void TMainForm::ShowNotice(const QString& text) {
    static_cast<TStatusBar*>(statusBar())->ShowNotice(text, kNoticeMs);
}
