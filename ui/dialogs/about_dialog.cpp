#include "ui/dialogs/about_dialog.h"

#include <algorithm>
#include <utility>

#include <QDesktopServices>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QUrl>

#include "app/version.h"
#include "ui/app/application.h"
#include "ui/common/bevel.h"
#include "ui/common/centring.h"
#include "ui/common/desktop_look.h"
#include "ui/common/dialog_parts.h"
#include "ui/common/fonts.h"
#include "ui/common/qt_text.h"

const char* const kSupportPageUrl = "https://kuvandoro.example.org/support/";
const char* const kContactAddress = "support@kuvandoro.example.org";

namespace {

// The least room between a label and the text that follows it on its line.
constexpr int kLabelGap = 4;

TAboutDialog::UrlOpener& Opener() {
    // openUrl hands the address to the desktop's browser and returns at once.
    static TAboutDialog::UrlOpener opener = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    return opener;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();  // as wide and high as its text
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

}  // namespace

TAboutDialog::UrlOpener TAboutDialog::SetUrlOpener(UrlOpener opener) {
    return std::exchange(Opener(), std::move(opener));
}

TAboutDialog::TAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFixedSize(303, 222);
    setFont(kuv::ControlFont(12));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, 65, 49);
    Panel1->setFrameShape(QFrame::NoFrame);
    Panel1->setAutoFillBackground(true);
    // The block continues the banner's black left edge, whatever the palette.
    const QString banner = QStringLiteral(":/assets/banner_about.png");
    QPalette ground = Panel1->palette();
    ground.setColor(QPalette::Window, kuv::BannerEdgeColor(banner, 0));
    Panel1->setPalette(ground);

    // The banner is wider than the dialog; the part beyond its edge is cut.
    Image2 = kuv::MakePicture(this, "Image2", banner, QRect(64, 0, 257, 49));
    Image2->setAccessibleName(QStringLiteral("Kuvandoro Tessarine"));
    Image1 = kuv::MakePicture(this, "Image1", QStringLiteral(":/assets/icon32.png"),
                              QRect(40, 64, 33, 41));
    Image1->setAccessibleName(QStringLiteral("Kuvandoroのアイコン"));

    Label3 = MakeLabel(this, "Label3", QStringLiteral("Tessarine"), 120, 64);
    Label4 = MakeLabel(this, "Label4",
                       QStringLiteral("version: ") + kuv::ToQString(kuv::kVersionText), 120, 80);
    Label5 = MakeLabel(this, "Label5", QStringLiteral("© Kuvandoro Project"), 120, 96);
    Label1 = MakeLabel(this, "Label1", QStringLiteral("サポートページ："), 8, 120);

    Label7 = new QLabel(QString::fromLatin1(kSupportPageUrl), this);
    Label7->setObjectName(QStringLiteral("Label7"));
    QFont link = Label7->font();
    link.setUnderline(true);
    Label7->setFont(link);
    // Blue under a light palette, and the link colour of a dark one.
    Label7->setForegroundRole(QPalette::Link);
    Label7->setCursor(Qt::PointingHandCursor);
    Label7->move(24, 136);
    Label7->adjustSize();
    Label7->setFocusPolicy(Qt::NoFocus);

    Label2 = MakeLabel(this, "Label2", QStringLiteral("e-mailアドレス："), 8, 160);
    // The address stands at 88 unless the label's text, in the font it is
    // shown in, reaches that far; then it keeps a small gap after it. Its
    // colour is the window text's: black under a light palette.
    const int addressLeft = std::max(88, Label2->x() + Label2->width() + kLabelGap);
    Label8 = MakeLabel(this, "Label8", QString::fromLatin1(kContactAddress), addressLeft, 160);

    Bevel1 = new TBevel(TBevel::Edge::Top, this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(8, 184, 297, 9);
    SpeedButton1 =
        kuv::MakeFlatButton(this, "SpeedButton1", QStringLiteral("Close"), QRect(224, 192, 73, 22));

    Label7->installEventFilter(this);
    Image1->installEventFilter(this);
    connect(SpeedButton1, &QToolButton::clicked, this,
            [this] { kuv::Guarded([this] { SpeedButton1Click(); }); });
}

void TAboutDialog::ShowAbout() {
    if (!FPlaced) {
        // Centred the first time; afterwards Qt keeps the place it was left at.
        kuv::CentreOnScreen(*this, screen());
        FPlaced = true;
    }
    if (isVisible()) raise();  // a newly shown window comes up in front anyway
    show();
    activateWindow();
}

// A close of the dialog only hides it: it lives for the whole run.
void TAboutDialog::SpeedButton1Click() {
    close();
}

void TAboutDialog::Label7Click() {
    // The address opened is the text the link shows; nothing is reported
    // when no browser opens.
    if (const UrlOpener& open = Opener()) open(QUrl(Label7->text()));
}

// The icon takes clicks without doing anything, as on the other windows.
void TAboutDialog::Image1Click() {}

bool TAboutDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton &&
            widget->rect().contains(mouse->position().toPoint())) {
            kuv::Guarded([&] {
                if (watched == Label7) Label7Click();
                if (watched == Image1) Image1Click();
            });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutDialog::keyPressEvent(QKeyEvent* event) {
    // Esc and Enter do nothing here: only Close and the close box hide the dialog.
    QWidget::keyPressEvent(event);
}
