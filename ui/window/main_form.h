#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QSize>

#include "app/settings.h"
#include "app/settings_file.h"
#include "diary/conflict_copies.h"
#include "diary/session.h"
#include "ui/common/fonts.h"

namespace kuv {
class DiaryLock;
struct AutoBackupResult;
struct DayRange;
struct ExportedDay;
struct ImportResult;
struct JobState;
struct RestoreResult;
}  // namespace kuv

class QAction;
class QDateEdit;
class QFileSystemWatcher;
class QTimer;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QToolButton;
class QWidget;
class TAboutDialog;
class TBackgroundWork;
class TBevel;
class TConflictWindow;
class TMemo;
class TEveryYearWindow;
class TMarkedCalendar;
class TPaneSplitter;
class TPassWordDialog;
class TSearchWindow;
class TSettingDialog;

// The diary's only document window. It shows a kuv::DiarySession and
// forwards what the user does to it; the diary's rules live there. Creating
// the window runs the whole start-up.
class TMainForm final : public QMainWindow, private kuv::SessionView, private kuv::UpperPane {
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
    void EnableAutoBackup() { FAutoBackupEnabled = true; }
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
    void CreateToolBar();
    void CreatePanes();
    void CreateStatusBar();
    void ConnectHandlers();

    // At home on the desktop (main_form_desktop.cpp): names for screen
    // readers, glyphs and pane colours that follow the palette, and words
    // still being composed by an input method put into the panes before a
    // day is left.
    void DescribeControls();
    void FollowPalette();
    void FinishComposition();

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
    // The settings dialog's apply.
    void OnSettingsApplied(const kuv::DialogValues& values, const QFont& font,
                           std::int32_t colorValue);

    // Finding days: the search, this day in every year and the calendar's
    // marks (main_form_search.cpp).
    void CreateFindCommands();
    void SearchClick();
    void EveryYearClick();
    // The session's day changed or was loaded, or an entry was saved: the
    // open finding windows follow once the event has been handled.
    void FollowDay(bool saved = false);
    void Follow();
    // Another data folder or password, or the diary was unlocked.
    void FollowDiary();
    void InstallCalendar();

    // kuv::SessionView
    void DayChanged() override;
    void PanesLoaded(bool complete) override;
    void LowerPaneLoaded() override;
    kuv::ConflictChoice ResolveConflict(const kuv::DiskConflict& conflict) override;

    // Beside other writers (main_form_conflicts.cpp).
    void CreateConflictWatch();
    void WatchShownFolders();
    void OnDiskChanged();
    void ShowConflictState();
    std::vector<kuv::ConflictCopy> ShownDayCopies() const;
    void OpenConflictWindow();
    void AppendConflictCopy(const QString& copyText);
    void DeleteConflictCopy(const QString& path);
    void EntrySaved() override;
    // kuv::UpperPane
    std::u16string Text() const override;

    void ApplySettingsToWindow();
    void AnnounceRecoveredTexts();
    void CentreOnScreen();
    kuv::ClosingState CurrentClosingState() const;
    void OnFocusChanged(QWidget* now);
    void Quit();

    // Taking the diary out and bringing it back (main_form_transfer.cpp).
    void CreateTransferMenu();
    void Export1Click();
    void Print1Click();
    void Backup1Click();
    void Restore1Click();
    void Import1Click();
    void AutoBackup1Click();
    void ShowPrintPreview(const std::vector<kuv::ExportedDay>& days, const kuv::DayRange& range);
    void RestoreFinished(const kuv::RestoreResult& result);
    void ImportFinished(const kuv::ImportResult& result);
    void StartAutoBackup();
    void AutoBackupFinished(const kuv::AutoBackupResult& result);
    void ShowAutoBackupSetting();

    kuv::DiarySession FSession;
    kuv::PaneFont FMemoFont;
    bool FLoading = false;         // the panes are being filled by a load
    QSize FPendingFrameSize;       // outer size to reach once the frame is known
    QRect FNormalFrame;            // the outer bounds when last neither maximised nor minimised
    QPointer<QWidget> FLastFocus;  // the control of this window that last had the focus
    TPassWordDialog* FPassWordDialog = nullptr;
    std::unique_ptr<TSettingDialog> FSettingDialog;
    std::unique_ptr<TAboutDialog> FAboutDialog;
    std::unique_ptr<TConflictWindow> FConflictWindow;
    QFileSystemWatcher* FWatcher = nullptr;
    QTimer* FDiskSettle = nullptr;
    QAction* FShowConflicts = nullptr;

    // Commands: one action each, shared by a menu item and its toolbar button.
    QAction* Exit1 = nullptr;
    QAction* N1 = nullptr;  // date insertion
    QAction* N2 = nullptr;  // separator
    QAction* N3 = nullptr;  // settings
    QAction* N4 = nullptr;  // one day back
    QAction* N5 = nullptr;  // one day forward
    QAction* N6 = nullptr;  // one year back
    QAction* N7 = nullptr;  // one year forward
    QAction* Help2 = nullptr;
    QAction* About1 = nullptr;
    QAction* FShowOldDiary = nullptr;  // the lower pane toggle, toolbar only
    QAction* Export1 = nullptr;
    QAction* Print1 = nullptr;
    QAction* Import1 = nullptr;
    QAction* Backup1 = nullptr;
    QAction* Restore1 = nullptr;
    QAction* AutoBackup1 = nullptr;  // the automatic backup switch
    QAction* Search1 = nullptr;
    QAction* EveryYear1 = nullptr;

    // The finding windows, children made on first use, and the picker's
    // calendar, made when it first drops down.
    TSearchWindow* FSearchWindow = nullptr;
    TEveryYearWindow* FEveryYearWindow = nullptr;
    TMarkedCalendar* FCalendar = nullptr;
    bool FFollowPending = false;  // a follow is queued
    bool FSavedSinceFollow = false;

    QMenu* File1 = nullptr;
    QMenu* Edit1 = nullptr;
    QMenu* Help1 = nullptr;
    QWidget* ToolBar1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QToolButton* SpeedButton5 = nullptr;
    QToolButton* SpeedButton6 = nullptr;
    QToolButton* SpeedButton7 = nullptr;
    QDateEdit* DateTimePicker = nullptr;
    TPaneSplitter* Splitter1 = nullptr;
    TMemo* Memo1 = nullptr;
    TMemo* Memo2 = nullptr;
    QLabel* StatusPanel1 = nullptr;  // the status line
    QLabel* StatusPanel2 = nullptr;  // the maker's notice
    QLabel* StatusPanel3 = nullptr;  // why the upper pane is read-only

    kuv::DiaryLock* FDiaryLock = nullptr;
    bool FAutoBackupEnabled = false;
    bool FAutoBackupScheduled = false;
    std::shared_ptr<kuv::JobState> FAutoBackupJob;
    // Last, so that it goes first: its jobs stop before anything else of the
    // window goes away.
    std::unique_ptr<TBackgroundWork> FWork;
};
