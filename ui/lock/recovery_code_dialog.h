#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QTextDocument;

// The recovery code, shown this once: it can be printed, and the dialog
// closes only after the user typed its last group back, so that it is not
// waved away unread. Nothing keeps the code after the dialog goes.
class TRecoveryCodeDialog final : public QDialog {
    Q_OBJECT

  public:
    TRecoveryCodeDialog(const QString& code, QWidget* parent);
    ~TRecoveryCodeDialog() override;
    TRecoveryCodeDialog(const TRecoveryCodeDialog&) = delete;
    TRecoveryCodeDialog& operator=(const TRecoveryCodeDialog&) = delete;

    // The page that the print button sends to the printer (the caller owns it).
    QTextDocument* PrintDocument() const;
    // The typed group matches the code's last one.
    bool Confirmed() const;

  public slots:
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Print();
    void FollowCheck();

    QString FCode;
    QLabel* FCodeLabel = nullptr;
    QLineEdit* FCheck = nullptr;
    QPushButton* FDone = nullptr;
};
