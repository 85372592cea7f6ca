#pragma once

#include <cstdint>
#include <string>

#include <QDialog>
#include <QFont>

class QCheckBox;
class TBevel;
class QFontDialog;
class QLabel;
class QLineEdit;
class QToolButton;
class TMainForm;

// The modeless settings dialog. It is created once at start-up, hidden, and
// reads and changes the main window's settings record and panes directly.
class TSettingDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit TSettingDialog(TMainForm& mainForm);
    TSettingDialog(const TSettingDialog&) = delete;
    TSettingDialog& operator=(const TSettingDialog&) = delete;

    // The main window's settings command: fills the controls from the
    // settings record and shows the dialog, or brings it to the front.
    void OpenSettingDialog();

    // Handlers, under the names the dialog's layout gives them.
    void FormShow();
    void CheckBox1Click();
    void SpeedButton3Click();  // font
    void ApplySettings();      // SpeedButton1, apply
    void SpeedButton2Click();  // cancel

    // The working font and its colour value (0x80000008 or 0x00BBGGRR).
    const QFont& ChosenFont() const { return FChosenFont; }
    std::int32_t ChosenFontColor() const { return FChosenFontColor; }

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
    QCheckBox* CheckBox4 = nullptr;
    TBevel* Bevel3 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QFontDialog* FontDialog = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CreateControls();
    void CreateFontDialog();
    // False (with the message shown) when a text cannot be stored as typed.
    bool CheckTexts(std::string& password, std::string& dataPath, std::string& dateFormat,
                    std::string& fontName);

    TMainForm& FMainForm;
    QFont FChosenFont;
    std::int32_t FChosenFontColor = static_cast<std::int32_t>(0x80000008u);
    bool FPlaced = false;  // centred once; later shows keep the last place
};
