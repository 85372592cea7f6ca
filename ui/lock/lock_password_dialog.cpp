#include "ui/lock/lock_password_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/common/dialog_parts.h"
#include "ui/common/fonts.h"

namespace {

using Kind = TLockPasswordDialog::Kind;

struct KindText {
    const char16_t* title;
    const char16_t* intro;
    const char16_t* secret;  // the first field's label, or none
    bool newPassword;        // a new password, typed twice
};

KindText TextOf(Kind kind) {
    switch (kind) {
        case Kind::TurnOn:
            return {u"強い鍵をかける",
                    u"日記のすべてを強い暗号で閉じます。新しいパスワードを二度入力して下さい。"
                    u"パスワードはどこにも保存されません。",
                    nullptr, true};
        case Kind::TurnOnWindows:
            return {u"強い鍵をかける",
                    u"日記のすべてを強い暗号で閉じます。今の起動パスワードが、"
                    u"そのまま強い鍵のパスワードになります。",
                    u"起動パスワード：", false};
        case Kind::TurnOff:
            return {u"強い鍵を外す", u"日記を強い鍵で閉じる前の形に戻します。", u"パスワード：",
                    false};
        case Kind::Change:
            return {u"パスワードの変更", u"日記のファイルは書き換えません。", u"今のパスワード：",
                    true};
        case Kind::Recover:
            return {u"回復コードでパスワードを設定",
                    u"鍵をかけたときに控えた回復コードと、新しいパスワードを入力して下さい。",
                    u"回復コード：", true};
        case Kind::Rekey:
            return {u"すべてを新しい鍵で暗号化し直す",
                    u"すべての日記を新しい鍵で閉じ直し、新しい回復コードを作ります。"
                    u"古い鍵ファイルや回復コードでは、これから書く日記は開けなくなります。",
                    u"パスワード：", false};
    }
    return {};
}

QLineEdit* MaskedEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    kuv::MaskWithAsterisks(*edit);
    return edit;
}

}  // namespace

TLockPasswordDialog::TLockPasswordDialog(Kind kind, QWidget* parent)
    : QDialog(parent), FKind(kind) {
    const KindText text = TextOf(kind);
    setObjectName(QStringLiteral("LockPasswordDialog"));
    setWindowTitle(QString::fromUtf16(text.title));
    setFont(kuv::ControlFont());
    setMinimumWidth(420);
    auto* column = new QVBoxLayout(this);

    FIntro = new QLabel(QString::fromUtf16(text.intro), this);
    FIntro->setObjectName(QStringLiteral("LockIntro"));
    FIntro->setWordWrap(true);
    column->addWidget(FIntro);

    auto* form = new QFormLayout;
    if (text.secret != nullptr) {
        FSecret = MaskedEdit(this, "LockSecret");
        // A recovery code is read off paper: it is shown as typed.
        if (kind == Kind::Recover) FSecret->setEchoMode(QLineEdit::Normal);
        form->addRow(QString::fromUtf16(text.secret), FSecret);
    }
    if (text.newPassword) {
        FNew = MaskedEdit(this, "LockNewPassword");
        FAgain = MaskedEdit(this, "LockNewPasswordAgain");
        form->addRow(QStringLiteral("新しいパスワード："), FNew);
        form->addRow(QStringLiteral("もう一度："), FAgain);
    }
    column->addLayout(form);

    if (kind == Kind::TurnOff) {
        FToWindows =
            new QRadioButton(QStringLiteral("Windows 版と同じ暗号化ファイル（.xda）に戻す"), this);
        FToWindows->setObjectName(QStringLiteral("LockToWindows"));
        FToWindows->setChecked(true);
        FToPlain = new QRadioButton(QStringLiteral("暗号化しないファイル（.dia）に戻す"), this);
        FToPlain->setObjectName(QStringLiteral("LockToPlain"));
        FPlainWarning = new QLabel(
            QStringLiteral("暗号化しないファイルは、このフォルダーを読める人なら誰でも読めます。"
                           "同期サービスやバックアップにも、そのまま残ります。"),
            this);
        FPlainWarning->setObjectName(QStringLiteral("LockPlainWarning"));
        FPlainWarning->setWordWrap(true);
        QPalette red = FPlainWarning->palette();
        red.setColor(QPalette::WindowText, QColor(0xc0, 0, 0));
        FPlainWarning->setPalette(red);
        FPlainTaken = new QCheckBox(QStringLiteral("承知の上で、暗号化しないファイルに戻す"), this);
        FPlainTaken->setObjectName(QStringLiteral("LockPlainTaken"));
        for (QWidget* w :
             {static_cast<QWidget*>(FToWindows), static_cast<QWidget*>(FToPlain),
              static_cast<QWidget*>(FPlainWarning), static_cast<QWidget*>(FPlainTaken)}) {
            column->addWidget(w);
        }
        connect(FToPlain, &QRadioButton::toggled, this, [this] { FollowTarget(); });
        FollowTarget();
    }

    FError = new QLabel(this);
    FError->setObjectName(QStringLiteral("LockError"));
    FError->setWordWrap(true);
    FError->hide();
    column->addWidget(FError);

    FBusyBar = new QProgressBar(this);
    FBusyBar->setObjectName(QStringLiteral("LockBusyBar"));
    FBusyBar->setRange(0, 0);
    FBusyBar->setTextVisible(false);
    FBusyBar->setMaximumHeight(8);
    FBusyBar->hide();
    column->addWidget(FBusyBar);

    FButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    FButtons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("LockOk"));
    FButtons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("LockCancel"));
    FButtons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    column->addWidget(FButtons);
    connect(FButtons, &QDialogButtonBox::accepted, this, [this] { Submit(); });
    connect(FButtons, &QDialogButtonBox::rejected, this, [this] { reject(); });
}

QString TLockPasswordDialog::Secret() const {
    return FSecret != nullptr ? FSecret->text() : QString();
}

QString TLockPasswordDialog::NewPassword() const {
    return FNew != nullptr ? FNew->text() : QString();
}

bool TLockPasswordDialog::ToPlain() const {
    return FToPlain != nullptr && FToPlain->isChecked();
}

void TLockPasswordDialog::FollowTarget() {
    FPlainWarning->setVisible(ToPlain());
    FPlainTaken->setVisible(ToPlain());
    if (!ToPlain()) FPlainTaken->setChecked(false);
}

void TLockPasswordDialog::SetBusy(bool busy) {
    FBusy = busy;
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w != FBusyBar && w != FIntro && w != FError && w->parentWidget() == this) {
            w->setEnabled(!busy);
        }
    }
    FBusyBar->setVisible(busy);
    if (busy) FError->hide();
}

void TLockPasswordDialog::ShowError(const QString& text) {
    FError->setText(text);
    FError->show();
}

void TLockPasswordDialog::reject() {
    // A change under way is not left half seen.
    if (!FBusy) QDialog::reject();
}

void TLockPasswordDialog::Submit() {
    if (FBusy) return;
    if (FSecret != nullptr && FSecret->text().isEmpty()) {
        ShowError(FKind == Kind::Recover ? QStringLiteral("回復コードを入力して下さい")
                                         : QStringLiteral("パスワードを入力して下さい"));
        FSecret->setFocus();
        return;
    }
    if (FNew != nullptr) {
        if (FNew->text().isEmpty()) {
            ShowError(QStringLiteral("新しいパスワードを入力して下さい"));
            FNew->setFocus();
            return;
        }
        if (FNew->text() != FAgain->text()) {
            ShowError(QStringLiteral("二つの新しいパスワードが一致しません"));
            FAgain->selectAll();
            FAgain->setFocus();
            return;
        }
    }
    if (ToPlain() && !FPlainTaken->isChecked()) {
        ShowError(
            QStringLiteral("暗号化しないファイルに戻すには、警告を読んでチェックを入れて下さい"));
        return;
    }
    FError->hide();
    emit submitted();
}
