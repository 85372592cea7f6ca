// The About dialog driven as a user drives it: the menu item, the link, the
// icon, the Close button and the close box.
#include <memory>
#include <vector>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <QWindow>

#include "platform/fileio.h"
#include "ui/common/font_alias.h"
#include "ui/dialogs/about_dialog.h"

namespace {

std::vector<QUrl> gOpened;

}  // namespace

class TestAboutDialog : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TAboutDialog> dialog_;
    TAboutDialog::UrlOpener previous_;

    template <class T>
    T* Find(const char* name) {
        T* w = dialog_->findChild<T*>(QString::fromLatin1(name));
        if (w == nullptr) qFatal("no control %s", name);
        return w;
    }
    void Click(QWidget* w, QPoint at = QPoint(3, 3)) {
        QTest::mouseClick(w, Qt::LeftButton, {}, at);
    }
    void Show() {
        dialog_->ShowAbout();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    }

  private slots:
    void init() {
        gOpened.clear();
        previous_ = TAboutDialog::SetUrlOpener([](const QUrl& url) { gOpened.push_back(url); });
        dialog_ = std::make_unique<TAboutDialog>();
    }

    void cleanup() {
        dialog_.reset();
        TAboutDialog::SetUrlOpener(previous_);
    }

    void windowProperties() {
        QCOMPARE(dialog_->objectName(), QStringLiteral("AboutDialog"));
        QCOMPARE(dialog_->windowTitle(), QStringLiteral("バージョン情報"));
        QCOMPARE(dialog_->size(), QSize(303, 222));
        QCOMPARE(dialog_->minimumSize(), dialog_->maximumSize());
        const Qt::WindowFlags f = dialog_->windowFlags();
        QCOMPARE(f & Qt::WindowType_Mask, Qt::Tool);
        QVERIFY(f.testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(f.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!f.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!f.testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(dialog_->font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
        QCOMPARE(dialog_->font().pixelSize(), 12);
        QVERIFY(!dialog_->isVisible());
    }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("place");
        QTest::addColumn<QSize>("size");  // empty: as large as the text
        QTest::addColumn<QString>("text");
        auto row = [](const char* n, QPoint p, QSize s, const QString& t) {
            QTest::newRow(n) << QString::fromLatin1(n) << p << s << t;
        };
        row("Panel1", {0, 0}, {65, 49}, {});
        row("Image2", {64, 0}, {257, 49}, {});
        row("Image1", {40, 64}, {33, 41}, {});
        row("Label3", {120, 64}, {}, QStringLiteral("Tessarine"));
        row("Label4", {120, 80}, {}, QStringLiteral("version: 2.00β"));
        row("Label5", {120, 96}, {}, QStringLiteral("© Kuvandoro Project"));
        row("Label1", {8, 120}, {}, QStringLiteral("サポートページ："));
        row("Label7", {24, 136}, {}, QString::fromLatin1(kSupportPageUrl));
        row("Label2", {8, 160}, {}, QStringLiteral("e-mailアドレス："));
        row("Label8", {88, 160}, {}, QString::fromLatin1(kContactAddress));
        row("Bevel1", {8, 184}, {297, 9}, {});
        row("SpeedButton1", {224, 192}, {73, 22}, QStringLiteral("Close"));
    }

    void controls() {
        QFETCH(QString, name);
        QFETCH(QPoint, place);
        QFETCH(QSize, size);
        QFETCH(QString, text);
        auto* w = dialog_->findChild<QWidget*>(name);
        QVERIFY(w != nullptr);
        if (name == QLatin1String("Label8")) {
            // Moved right when its label is wider (addressKeepsAGapAfterItsLabel).
            QCOMPARE(w->y(), place.y());
            QVERIFY(w->x() >= place.x());
        } else {
            QCOMPARE(w->pos(), place);
        }
        if (size.isValid()) QCOMPARE(w->size(), size);
        if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && !text.isEmpty()) {
            QCOMPARE(label->text(), text);
            QCOMPARE(label->size(), label->sizeHint());  // as wide as its text
        }
        if (auto* button = qobject_cast<QToolButton*>(w)) {
            QCOMPARE(button->text(), text);
            QVERIFY(button->autoRaise());
            QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        }
    }

    void picturesAndColours() {
        auto* panel = Find<QFrame>("Panel1");
        QVERIFY(panel->autoFillBackground());
        QCOMPARE(panel->palette().color(QPalette::Window), QColor(Qt::black));
        QCOMPARE(panel->frameShape(), QFrame::NoFrame);

        auto* banner = Find<QLabel>("Image2");
        QCOMPARE(banner->pixmap().size(), QSize(240, 75));
        QVERIFY(!banner->hasScaledContents());
        QCOMPARE(banner->alignment(), Qt::AlignLeft | Qt::AlignTop);
        auto* icon = Find<QLabel>("Image1");
        QCOMPARE(icon->pixmap().size(), QSize(32, 32));
        QCOMPARE(icon->alignment(), Qt::AlignLeft | Qt::AlignTop);

        auto* link = Find<QLabel>("Label7");
        QCOMPARE(link->palette().color(link->foregroundRole()), QColor(Qt::blue));
        QVERIFY(link->font().underline());
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(link->textFormat() == Qt::RichText, false);
        auto* mail = Find<QLabel>("Label8");
        QCOMPARE(mail->palette().color(QPalette::WindowText), QColor(Qt::black));
        QVERIFY(!mail->font().underline());
    }

    void addressKeepsAGapAfterItsLabel() {
        // The label's text in the font it is shown in (IPA P Gothic here).
        auto* label = Find<QLabel>("Label2");
        auto* address = Find<QLabel>("Label8");
        const int textEnd = label->x() + label->fontMetrics().horizontalAdvance(label->text());
        const int gap = address->x() - textEnd;
        QVERIFY2(gap >= 4, qPrintable(QString::number(gap)));
        // Moved only as far as the text needs, and still inside the dialog.
        QVERIFY(address->x() == 88 || address->x() == label->geometry().right() + 1 + 4);
        QVERIFY(address->geometry().right() < dialog_->width());
        QVERIFY(!label->geometry().intersects(address->geometry()));
    }

    void showingTwiceGivesOneDialog() {
        Show();
        const QPoint at = dialog_->pos();
        Show();
        QVERIFY(dialog_->isVisible());
        QCOMPARE(dialog_->pos(), at);
        int count = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<TAboutDialog*>(w) != nullptr) ++count;
        }
        QCOMPARE(count, 1);
        QVERIFY(!dialog_->isModal());
    }

    void closeButtonAndCloseBoxHide_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Close") << false;
        QTest::newRow("close box") << true;
    }

    void closeButtonAndCloseBoxHide() {
        QFETCH(bool, closeBox);
        Show();
        const QRect area = dialog_->screen()->availableGeometry();
        QVERIFY(qAbs(dialog_->geometry().center().x() - area.center().x()) <= 20);
        QVERIFY(qAbs(dialog_->geometry().center().y() - area.center().y()) <= 40);
        dialog_->move(30, 40);
        if (closeBox) {
            dialog_->windowHandle()->close();  // as the window manager asks
        } else {
            Click(Find<QToolButton>("SpeedButton1"));
        }
        QVERIFY(!dialog_->isVisible());
        QVERIFY(gOpened.empty());
        // Shown again where it was left, not destroyed in between.
        Show();
        QCOMPARE(dialog_->pos(), QPoint(30, 40));
    }

    void keysDoNotClose() {
        Show();
        QTest::keyClick(dialog_.get(), Qt::Key_Escape);
        QTest::keyClick(dialog_.get(), Qt::Key_Return);
        QVERIFY(dialog_->isVisible());
    }

    void linkOpensTheSupportPage() {
        Show();
        auto* link = Find<QLabel>("Label7");
        Click(link, QPoint(link->width() / 2, link->height() / 2));
        QCOMPARE(gOpened.size(), std::size_t{1});
        QCOMPARE(gOpened[0], QUrl(link->text()));
        QCOMPARE(gOpened[0].toString(), QString::fromLatin1(kSupportPageUrl));
        QVERIFY(dialog_->isVisible());
        // A press that is dragged off the link before release opens nothing.
        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(link->width() + 20, 2));
        QCOMPARE(gOpened.size(), std::size_t{1});
    }

    void onlyTheLinkReactsToClicks_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("icon") << QStringLiteral("Image1");
        QTest::newRow("contact address") << QStringLiteral("Label8");
        QTest::newRow("banner") << QStringLiteral("Image2");
        QTest::newRow("product name") << QStringLiteral("Label3");
    }

    void onlyTheLinkReactsToClicks() {
        QFETCH(QString, name);
        Show();
        auto* w = dialog_->findChild<QWidget*>(name);
        QVERIFY(w != nullptr);
        Click(w, QPoint(w->width() / 2, w->height() / 2));
        QVERIFY(gOpened.empty());
        QVERIFY(dialog_->isVisible());
    }
};

int main(int argc, char** argv) {
    InstallFontAlias(QString::fromStdString(kuv::fsio::ExecutableDir()));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestAboutDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_about_dialog.moc"
