#include "ui/password_dialog.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QToolButton>

#include "ui/bevel.h"
#include "ui/fonts.h"

namespace {

constexpr int kClientWidth = 368;
constexpr int kClientHeight = 166;

}  // namespace

TPassWordDialog::TPassWordDialog(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("PassWordDialog"));
    setWindowTitle(QStringLiteral("パスワードチェック"));
    setFont(kuv::ControlFont());
    setFixedSize(kClientWidth, kClientHeight);
    CreateControls();
}

void TPassWordDialog::CreateControls() {
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, kClientWidth, 65);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel1->setPalette(white);

    // The banner is shown as drawn, from its top-left corner, and cut to the
    // picture's box.
    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(47, 1, 320, 63);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setScaledContents(false);
    Image1->setPixmap(QPixmap(QStringLiteral(":/assets/banner_password.png")));

    Label1 = new QLabel(QStringLiteral("パスワードを入力して下さい："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(24, 80);
    Label1->adjustSize();

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(32, 96, 305, 20);
    Edit1->setEchoMode(QLineEdit::Password);
    // Every typed character shows as "*" (42), whatever the style's own mask.
    Edit1->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    Edit1->installEventFilter(this);

    Bevel1 = new TBevel(TBevel::Edge::Top, this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(8, 128, 353, 9);

    Button = new QToolButton(this);
    Button->setObjectName(QStringLiteral("Button"));
    Button->setText(QStringLiteral("OK"));
    Button->setGeometry(152, 136, 57, 22);
    Button->setAutoRaise(true);
    Button->setFocusPolicy(Qt::NoFocus);
    connect(Button, &QToolButton::clicked, this, [this] { ButtonClick(); });

    Label2 = new QLabel(QStringLiteral("Kuvandoro Project"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(kuv::ControlFont(11));
    Label2->move(256, 152);
    Label2->adjustSize();

    Edit1->setFocus(Qt::OtherFocusReason);
}

void TPassWordDialog::FormCreate() {
    if (QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
    show();
}

bool TPassWordDialog::Edit1KeyDown(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    ButtonClick();
    return true;
}

void TPassWordDialog::ButtonClick() {
    emit passwordEntered(Edit1->text());
}

bool TPassWordDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::KeyPress) {
        // Enter, also with Shift or Ctrl, is a click on OK.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (Edit1KeyDown(key)) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TPassWordDialog::keyPressEvent(QKeyEvent* event) {
    // Esc would reject the dialog; the prompt ends only by a close request.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TPassWordDialog::closeEvent(QCloseEvent* event) {
    // A close of the prompt while it asks ends the program; the window that
    // owns it does that.
    event->accept();
    if (isVisible()) emit closeRequested();
}
