#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;

// The strong lock's questions: the secrets one change needs, typed in one
// dialog. It checks only what it can see (every field filled, a new password
// typed twice alike, the plain files' warning taken); the part that opened it
// runs the change and tells it how that went, so a refusal is read where the
// password was typed.
class TLockPasswordDialog final : public QDialog {
    Q_OBJECT

  public:
    enum class Kind {
        TurnOn,         // a new password, twice
        TurnOnWindows,  // the Windows lock's password, which the diary keeps
        TurnOff,        // the password, and where the entries go
        Change,         // the password, and a new one twice
        Recover,        // the recovery code, and a new password twice
        Rekey,          // the password
    };

    TLockPasswordDialog(Kind kind, QWidget* parent);
    TLockPasswordDialog(const TLockPasswordDialog&) = delete;
    TLockPasswordDialog& operator=(const TLockPasswordDialog&) = delete;

    Kind WhatFor() const { return FKind; }
    // The password (or the old one, or the recovery code) as typed.
    QString Secret() const;
    QString NewPassword() const;
    // Turning the lock off: to plain files rather than the Windows container.
    bool ToPlain() const;

    // While the change runs, nothing can be typed and the dialog stays.
    void SetBusy(bool busy);
    bool Busy() const { return FBusy; }
    // Why the change did not happen; the fields stay as typed.
    void ShowError(const QString& text);

  signals:
    // OK with every field as it must be.
    void submitted();

  public slots:
    void reject() override;

  private:
    void Submit();
    void FollowTarget();

    Kind FKind;
    bool FBusy = false;
    QLabel* FIntro = nullptr;
    QLineEdit* FSecret = nullptr;
    QLineEdit* FNew = nullptr;
    QLineEdit* FAgain = nullptr;
    QRadioButton* FToWindows = nullptr;
    QRadioButton* FToPlain = nullptr;
    QLabel* FPlainWarning = nullptr;
    QCheckBox* FPlainTaken = nullptr;
    QLabel* FError = nullptr;
    QProgressBar* FBusyBar = nullptr;
    QDialogButtonBox* FButtons = nullptr;
};
