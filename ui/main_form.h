#pragma once

#include <string>

#include <QFont>
#include <QMainWindow>

#include "app/settings.h"
#include "dates/calendar.h"
#include "diary/diary_book.h"

class QAction;
class QDateEdit;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QToolButton;
class QWidget;

namespace kuv {
struct ClosingState;
}

class TSettingDialog;
class TAboutDialog;
class TPassWordDialog;

// The diary's only document window. Creating it runs the whole start-up; the
// diary's rules live in kuv::DiaryBook, the window only moves text between the
// panes and the book.
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
    const QFont& MemoFont() const { return FMemoFont; }

    void SetDialogs(TSettingDialog* settingDialog, TAboutDialog* aboutDialog);

    // Called by the password prompt with the typed text as code page 932 bytes.
    void UnlockDiary(const std::string& cp932Text);
    // True while the diary waits for the password.
    bool Locked() const { return FLocked; }
    // The prompt, when start-up created one.
    TPassWordDialog* PassWordDialog() const { return FPassWordDialog; }

    // The picker's value, date and time of day.
    kuv::TDateTime PickerValue() const { return FPickerValue; }
    bool Modified() const { return FBook.Modified(); }
    const kuv::DiaryBook& Book() const { return FBook; }

    // The end of the session (SIGTERM, SIGHUP, logout): what a close of the
    // main window does, or of the prompt while it is up. Returns false when
    // the close was abandoned because of an error (already shown).
    bool EndSession();

    // Handlers, under the names the window layout gives them.
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

    // Controls (public, as the dialogs and tests reach them by these names).
    QWidget* ToolBar1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QToolButton* SpeedButton5 = nullptr;
    QToolButton* SpeedButton6 = nullptr;
    QToolButton* SpeedButton7 = nullptr;
    QDateEdit* DateTimePicker = nullptr;
    QWidget* Panel6 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QLabel* StatusPanel1 = nullptr;  // status line
    QLabel* StatusPanel2 = nullptr;  // maker's notice
    QLabel* StatusPanel3 = nullptr;  // sealed-entry notice
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

    // The lower pane's height as the settings file stores it (0 while hidden).
    int LowerPaneHeight() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBar();
    void CreatePanes();
    void CreateStatusBar();
    void ApplySettingsToWindow();
    void SetPickerValue(kuv::TDateTime value);
    void SetLowerPaneHeight(int height);
    void StepDays(int days);
    void ShowPanes(const kuv::DiaryBook::Loaded& loaded);
    kuv::ClosingState CurrentClosingState() const;
    void Quit();

    kuv::AppPaths FPaths;
    kuv::TDiarySettings FSettings;
    kuv::DiaryBook FBook{FSettings};
    std::string FAppDir;
    QFont FMemoFont;
    kuv::TDateTime FPickerValue = 0;
    bool FLocked = false;
    bool FLoading = false;  // the panes are being filled by a load
    bool FClosing = false;  // a close has been accepted
    bool FPickerFocused = false;  // the picker has had the focus once
    TPassWordDialog* FPassWordDialog = nullptr;
    TSettingDialog* FSettingDialog = nullptr;
    TAboutDialog* FAboutDialog = nullptr;
};
