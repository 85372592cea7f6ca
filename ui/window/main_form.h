#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QMainWindow>
#include <QRect>
#include <QSize>

#include "app/settings.h"
#include "app/settings_file.h"
#include "diary/session.h"
#include "ui/common/fonts.h"
#include "ui/window/main_actions.h"

namespace kuv {
class DiaryLock;
}

class QAction;
class QLabel;
class QWidget;
class TAboutDialog;
class TConflictWatch;
class TDraftKeeper;
class THistoryCommands;
class TDayView;
class TFindCommands;
class TInfoBar;
class TMainActions;
class TPassWordDialog;
class TSessionBridge;
class TSettingDialog;
class TStatsCommands;
class TStrongLockCommands;
class TTransferCommands;

// The diary's only document window. It shows a kuv::DiarySession and
// forwards what the user does to it; the diary's rules live there. Creating
// the window runs the whole start-up.
class TMainForm final : public QMainWindow {
    Q_OBJECT

  public:
    explicit TMainForm(const kuv::AppPaths& paths, QWidget* parent = nullptr);
    ~TMainForm() override;
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    const kuv::DiarySession& Session() const { return FSession; }
    // The settings record of the running diary (what the settings dialog changes).
    kuv::TDiarySettings& Settings() { return FSession.Settings(); }
    bool Locked() const { return FSession.Locked(); }
    bool Modified() const { return FSession.Modified(); }
    bool Ended() const { return FSession.Ended(); }
    kuv::TDateTime PickerValue() const { return FSession.Day(); }
    // The lower pane's height as the settings file stores it (0 while hidden).
    int LowerPaneHeight() const;
    // The prompt, when start-up created one.
    TPassWordDialog* PassWordDialog() const { return FPassWordDialog; }

    // The end of the desktop session (SIGTERM, SIGHUP, logout): what closing
    // the main window does, without a box; a text that cannot be saved goes
    // to a recovery file. The program always ends.
    void EndSession();

    // The automatic backup of the day, made in the background once the
    // window has been shown (and the diary unlocked). The program turns it on.
    void EnableAutoBackup();
    // The lock of the open diary, moved when a restore names another data folder.
    void SetDiaryLock(kuv::DiaryLock* lock) { FDiaryLock = lock; }
    // A job (an export, a backup...) is still running in the background.
    bool BackgroundBusy() const;

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // Built once at start-up (main_form_layout.cpp).
    void CreateActions();
    void CreateMenus();
    void CreateDayView();
    void CreateStatusBar();
    void CreateParts();
    void ConnectHandlers();
    QAction* Action(kuv::MainAction id) const;

    // Glyphs and pane colours follow the desktop's palette.
    void FollowPalette();

    // Handlers, under the names the window's layout gives them. They throw
    // kuv::AppError; the connections run them inside kuv::Guarded.
    void FormCreate();
    void FormCloseQuery();
    void Exit1Click();
    void SpeedButton1Click();  // settings
    void SpeedButton2Click();  // date insertion
    void SpeedButton3Click();  // one day back
    void SpeedButton4Click();  // one day forward
    void SpeedButton5Click();  // one year forward
    void SpeedButton6Click();  // lower pane toggle
    void SpeedButton7Click();  // one year back
    void DateTimePickerEnter();
    void DateTimePickerChange();
    void Memo1Change();
    void About1Click();

    // Moves the window to a day chosen elsewhere (a search result, a year of
    // this day), saving the entry being left by the usual rules.
    void GoToDay(int year, int month, int day);

    // The password prompt's answers.
    void OnPasswordEntered(const QString& text);
    void OnPromptClosed();
    // The prompt's password opened the diary: the window comes up.
    void DiaryUnlocked();
    // The settings dialog's apply.
    void OnSettingsApplied(const kuv::DialogValues& values, const QFont& font,
                           std::int32_t colorValue);

    // What the session tells the window (through the bridge).
    void DayChanged();
    void PanesLoaded(bool complete);
    void LowerPaneLoaded();

    // The panes as the settings have them (font, lower pane), then the
    // window's size and place.
    void ApplyPaneSettings();
    void ApplySettingsToWindow();
    // The password prompt, made once, for a start or a restore that needs it.
    void CreatePrompt();
    void AnnounceRecoveredTexts();
    void CentreOnScreen();
    kuv::ClosingState CurrentClosingState() const;
    void Quit();

    // The entry's state in its status panel: why the pane is read-only
    // first, then what the conflict watch knows.
    void ShowEntryState();
    // A restored backup: its settings and diary, as a start would find them.
    void OnRestored(const QString& notice);
    // A passing notice in the status bar, beside the panels.
    void ShowNotice(const QString& text);

    kuv::DiarySession FSession;
    kuv::PaneFont FMemoFont;
    QSize FPendingFrameSize;  // outer size to reach once the frame is known
    QRect FNormalFrame;       // the outer bounds when last neither maximised nor minimised
    TPassWordDialog* FPassWordDialog = nullptr;
    std::unique_ptr<TSettingDialog> FSettingDialog;
    std::unique_ptr<TAboutDialog> FAboutDialog;

    TSessionBridge* FBridge = nullptr;
    std::unique_ptr<TMainActions> FActions;
    TDayView* FDayView = nullptr;
    TInfoBar* FInfoBar = nullptr;
    QLabel* StatusPanel1 = nullptr;  // the status line
    QLabel* StatusPanel2 = nullptr;  // the maker's notice
    QLabel* StatusPanel3 = nullptr;  // the state of the entry shown

    kuv::DiaryLock* FDiaryLock = nullptr;
    // The feature parts; last, so that they go first, the transfer commands
    // (whose jobs stop when they go) before anything else of the window.
    std::unique_ptr<TConflictWatch> FConflicts;
    std::unique_ptr<TFindCommands> FFind;
    std::unique_ptr<TStatsCommands> FStats;
    std::unique_ptr<TTransferCommands> FTransfer;
    std::unique_ptr<THistoryCommands> FHistory;
    std::unique_ptr<TStrongLockCommands> FStrongLock;
    // Last of all, so that it goes first and writes what it was handed.
    std::unique_ptr<TDraftKeeper> FDrafts;
};
