#pragma once

#include <cstdint>
#include <string>

#include <QDialog>
#include <QFont>

#include "app/settings_file.h"

class QCheckBox;
class TBevel;
class QFontDialog;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

// The modeless settings dialog. Made once and then only shown and hidden; it
// knows nothing of the window that opens it: it is filled with the current
// values and says what the user applied.
class TSettingDialog final : public QDialog {
    Q_OBJECT

  public:
    TSettingDialog();
    TSettingDialog(const TSettingDialog&) = delete;
    TSettingDialog& operator=(const TSettingDialog&) = delete;

    // The main window's settings command: fills the controls from current
    // (texts, the encryption, window-position and automatic-date switches)
    // and shows the dialog, or brings it to the front. A dialog that was
    // hidden starts from paneFont and paneColor; it is centred on the screen
    // of over the first time.
    void OpenSettingDialog(const kuv::DialogValues& current, const QFont& paneFont,
                           std::int32_t paneColor, const QWidget* over);

    // Under the strong lock the Windows lock's switch is not the user's to
    // turn: the strong lock's own dialog changes the lock.
    void SetStrongLock(bool on);

    // The working font and its colour value (0x80000008 or 0x00BBGGRR).
    const QFont& ChosenFont() const { return FChosenFont; }
    std::int32_t ChosenFontColor() const { return FChosenFontColor; }

  signals:
    // Apply: the values as typed, in code page 932, with the working font.
    // The dialog stays shown until the window hides it.
    void settingsApplied(const kuv::DialogValues& values, const QFont& font,
                         std::int32_t colorValue);
    // The strong lock's button: its own dialog is the window's to open.
    void strongLockRequested();

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CreateControls();
    void CreateFontDialog();
    // The warning under the password, in the red that reads on this palette.
    void ShowWarningInRed();
    // False (with the message shown) when a text cannot be stored as typed.
    bool CheckTexts(kuv::DialogValues& values);

    // Handlers, under the names the dialog's layout gives them.
    void FormShow();
    void CheckBox1Click();
    void SpeedButton3Click();  // font
    void ApplySettings();      // SpeedButton1, apply
    void SpeedButton2Click();  // cancel

    QLabel* Image1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLabel* Label5 = nullptr;
    TBevel* Bevel2 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLabel* TemplateLabel = nullptr;
    QPlainTextEdit* TemplateEdit = nullptr;
    QCheckBox* CheckBox4 = nullptr;
    TBevel* Bevel3 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* StrongLockButton = nullptr;
    QFontDialog* FontDialog = nullptr;

    QFont FPaneFont;  // the panes' font when the dialog was last opened
    std::int32_t FPaneColor = static_cast<std::int32_t>(0x80000008u);
    bool FUseEncryption = false;  // the switch as the running program has it
    QFont FChosenFont;
    std::int32_t FChosenFontColor = static_cast<std::int32_t>(0x80000008u);
    bool FPlaced = false;  // centred once; later shows keep the last place
};
