#include "ui/dialogs/password_dialog.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QToolButton>

#include "ui/common/bevel.h"
#include "ui/common/centring.h"
#include "ui/common/desktop_look.h"
#include "ui/common/dialog_parts.h"
#include "ui/common/fonts.h"

namespace {

constexpr int kClientWidth = 368;
constexpr int kClientHeight = 166;
const char* const kBanner = ":/assets/banner_password.png";

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
    // The panel is the banner's white ground around it, whatever the palette.
    QPalette ground = Panel1->palette();
    ground.setColor(QPalette::Window, kuv::BannerEdgeColor(QString::fromLatin1(kBanner), 0));
    Panel1->setPalette(ground);

    // The banner is shown as drawn, from its top-left corner, and cut to the
    // picture's box.
    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(47, 1, 320, 63);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setScaledContents(false);
    Image1->setPixmap(kuv::AssetPixmap(QString::fromLatin1(kBanner)));
    Image1->setAccessibleName(QStringLiteral("Kuvandoro Tessarine"));

    Label1 = new QLabel(QStringLiteral("パスワードを入力して下さい："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(24, 80);
    Label1->adjustSize();

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(32, 96, 305, 20);
    kuv::MaskWithAsterisks(*Edit1);
    Edit1->installEventFilter(this);
    // A screen reader names the field after the label.
    Label1->setBuddy(Edit1);

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

    // Hidden until a worker checks the password; a range of 0 to 0 only
    // says that it is busy.
    BusyBar = new QProgressBar(this);
    BusyBar->setObjectName(QStringLiteral("BusyBar"));
    BusyBar->setGeometry(32, 118, 305, 6);
    BusyBar->setRange(0, 0);
    BusyBar->setTextVisible(false);
    BusyBar->hide();

    Edit1->setFocus(Qt::OtherFocusReason);
}

void TPassWordDialog::SetBusy(bool busy) {
    Edit1->setEnabled(!busy);
    Button->setEnabled(!busy);
    BusyBar->setVisible(busy);
    Label1->setText(busy ? QStringLiteral("パスワードを確かめています…")
                         : QStringLiteral("パスワードを入力して下さい："));
    Label1->adjustSize();
    if (busy) return;
    Edit1->selectAll();
    Edit1->setFocus(Qt::OtherFocusReason);
}

bool TPassWordDialog::Busy() const {
    return !Button->isEnabled();
}

void TPassWordDialog::FormCreate() {
    kuv::CentreOnScreen(*this, QGuiApplication::primaryScreen());
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
