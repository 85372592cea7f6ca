#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QToolButton;
class TBevel;
class TMainForm;

// The password prompt, shown alone at a start with encryption on. It keeps no
// data: the typed text lives in Edit1, the password in the settings record.
class TPassWordDialog final : public QDialog {
    Q_OBJECT

  public:
    // Owned by the main window; creating the prompt shows it (FormCreate).
    explicit TPassWordDialog(TMainForm& mainForm);
    TPassWordDialog(const TPassWordDialog&) = delete;
    TPassWordDialog& operator=(const TPassWordDialog&) = delete;

    // Handlers, under the names the prompt's layout gives them.
    void FormCreate();
    bool Edit1KeyDown(int key);  // true: the key was handled
    void ButtonClick();
    bool FormCloseQuery();

    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    TBevel* Bevel1 = nullptr;
    QToolButton* Button = nullptr;
    QLabel* Label2 = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CreateControls();

    TMainForm& FMainForm;
};
