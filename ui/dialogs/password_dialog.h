#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QToolButton;
class TBevel;

// The password prompt, shown alone at a start with encryption on. It keeps no
// data: the typed text lives in Edit1, the password in the settings record.
// It says what the user did; the window that owns it decides.
class TPassWordDialog final : public QDialog {
    Q_OBJECT

  public:
    // Owned by the main window.
    explicit TPassWordDialog(QWidget* owner);
    TPassWordDialog(const TPassWordDialog&) = delete;
    TPassWordDialog& operator=(const TPassWordDialog&) = delete;

    // Centres the prompt on the screen and shows it.
    void FormCreate();
    // While a worker checks what was typed (it takes about a second), the
    // prompt takes no typing and shows that it is busy; after a refusal the
    // typed text is selected for typing over.
    void SetBusy(bool busy);
    bool Busy() const;

  signals:
    // OK or Enter, with the text as typed.
    void passwordEntered(const QString& text);
    // A close of the prompt was asked for while it was up.
    void closeRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CreateControls();
    // Handlers, under the names the prompt's layout gives them.
    bool Edit1KeyDown(int key);  // true: the key was handled
    void ButtonClick();

    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    TBevel* Bevel1 = nullptr;
    QToolButton* Button = nullptr;
    QLabel* Label2 = nullptr;
    QProgressBar* BusyBar = nullptr;
};
