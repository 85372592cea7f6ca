#pragma once

#include <string>

#include <QList>
#include <QMainWindow>
#include <QPointF>
#include <QPointer>
#include <QSize>

#include "app/settings.h"
#include "dates/calendar.h"
#include "diary/diary_book.h"
#include "ui/fonts.h"

class QAction;
class QDateEdit;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QToolButton;
class QWidget;
class TBevel;

namespace kuv {
struct ClosingState;
}

class TSettingDialog;
class TAboutDialog;
class TPassWordDialog;

// The diary's only document window. Creating it runs the whole start-up; the
// diary's rules live in kuv::DiaryBook, the window moves text between the
// panes and the book and wires every control to its handler.
class TMainForm : public QMainWindow {
    Q_OBJECT

  public:
    // Runs FormCreate.
    explicit TMainForm(const kuv::AppPaths& paths, QWidget* parent = nullptr);
    ~TMainForm() override;
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    kuv::TDiarySettings& Settings() { return FSettings; }
    const kuv::TDiarySettings& Settings() const { return FSettings; }
    const kuv::AppPaths& Paths() const { return FPaths; }
    const std::string& AppDir() const { return FAppDir; }
    // The panes' font made at start-up from FontName, FontSize and FontColor.
    const kuv::PaneFont& MemoFont() const { return FMemoFont; }

    void SetDialogs(TSettingDialog* settingDialog, TAboutDialog* aboutDialog);

    // Called by the password prompt with the typed text as code page 932 bytes.
    void UnlockDiary(const std::string& cp932Text);
    // The wrong-password message (also for a text that code page 932 cannot hold).
    void RefusePassword();
    // True while the diary waits for the password.
    bool Locked() const { return FLocked; }
    // The prompt, when start-up created one.
    TPassWordDialog* PassWordDialog() const { return FPassWordDialog; }

    // The picker's value, date and time of day.
    kuv::TDateTime PickerValue() const { return FPickerValue; }
    const kuv::DiaryBook& Book() const { return FBook; }
    bool Modified() const { return FBook.Modified(); }
    // One of the three ends has run; the application has been told to quit.
    bool Ended() const { return FEnded; }

    // The end of the session (SIGTERM, SIGHUP, logout): what closing the main
    // window does, or closing the prompt while it is up. False when an error
    // kept the window open (it has been shown).
    bool EndSession();
    // Closing the password prompt: the program ends, nothing is written.
    void EndFromPrompt();

    // Handlers, under the names the window layout gives them. They throw
    // kuv::AppError; the connections run them inside kuv::Guarded.
    void FormCreate();
    bool FormCloseQuery();  // true: the close goes ahead
    void Exit1Click();
    void SpeedButton1Click();  // settings
    void SpeedButton2Click();  // InsertDate
    void SpeedButton3Click();  // one day back
    void SpeedButton4Click();  // one day forward
    void SpeedButton5Click();  // one year forward
    void SpeedButton6Click();  // lower pane toggle
    void SpeedButton7Click();  // one year back
    void DateTimePickerEnter();
    void DateTimePickerChange();
    void Memo1Change();
    void About1Click();
    void InsertDate();

    void LoadDiary(kuv::TDateTime date);
    void SaveDiary();

    // The lower pane's height as the settings file stores it (0 while hidden).
    int LowerPaneHeight() const;

    // Controls, public under their layout names (the dialogs and the tests
    // reach them so); each also carries its name as objectName.
    QWidget* ToolBar1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QToolButton* SpeedButton5 = nullptr;
    QToolButton* SpeedButton6 = nullptr;
    QToolButton* SpeedButton7 = nullptr;
    QWidget* Panel1 = nullptr;
    QWidget* Panel2 = nullptr;
    QWidget* Panel3 = nullptr;
    QWidget* Panel4 = nullptr;
    QWidget* Panel5 = nullptr;
    QWidget* Panel7 = nullptr;
    TBevel* Bevel1 = nullptr;
    TBevel* Bevel2 = nullptr;
    TBevel* Bevel3 = nullptr;
    QDateEdit* DateTimePicker = nullptr;
    QWidget* Panel6 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QLabel* StatusPanel1 = nullptr;  // the status line
    QLabel* StatusPanel2 = nullptr;  // the maker's notice
    QLabel* StatusPanel3 = nullptr;  // why the upper pane is read-only
    QMenu* File1 = nullptr;
    QMenu* Edit1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* N1 = nullptr;
    QAction* N2 = nullptr;
    QAction* N3 = nullptr;
    QAction* N4 = nullptr;
    QAction* N5 = nullptr;
    QAction* N6 = nullptr;
    QAction* N7 = nullptr;
    QAction* Help2 = nullptr;
    QAction* About1 = nullptr;

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateMenus();
    void CreateToolBar();
    void CreatePanes();
    void CreateStatusBar();
    void ConnectHandlers();
    void ApplySettingsToWindow();
    void CentreOnScreen();
    void SetPickerValue(kuv::TDateTime value);
    void SetLowerPaneHeight(int height);
    void StepDays(int days);
    void ShowPanes(const kuv::DiaryBook::Loaded& loaded, bool complete);
    QString PaneText() const;
    kuv::ClosingState CurrentClosingState() const;
    void OnFocusChanged(QWidget* old, QWidget* now);
    void OnSplitterMoved();
    bool FilterSplitterDrag(QEvent* event);
    void CancelSplitterDrag();
    void Quit();

    kuv::AppPaths FPaths;
    kuv::TDiarySettings FSettings;
    kuv::DiaryBook FBook{FSettings};
    std::string FAppDir;
    kuv::PaneFont FMemoFont;
    kuv::TDateTime FPickerValue = 0;
    bool FLocked = false;
    bool FEnded = false;
    bool FLoading = false;        // the panes are being filled by a load
    bool FDragging = false;       // the splitter's handle is being dragged
    bool FDragCancelled = false;  // ... and Esc has cancelled that drag
    bool FEndingDrag = false;     // the release that cancels it is on its way
    QPointF FDragStart;
    QList<int> FDragSizes;  // the panes' heights when the drag began
    int FDragLowerHeight = 0;
    int FLowerHeight = 154;        // the lower pane's height while it is shown
    QSize FPendingFrameSize;       // outer size to reach once the frame is known
    QPointer<QWidget> FLastFocus;  // the control of this window that last had the focus
    TPassWordDialog* FPassWordDialog = nullptr;
    TSettingDialog* FSettingDialog = nullptr;
    TAboutDialog* FAboutDialog = nullptr;
};
