// The windows on a Linux desktop: Japanese typed through an input method,
// names for screen readers, a dark palette, and placement by the frame.
#include <memory>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStyleFactory>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include "dates/qt/locale_loader.h"
#include "tests/ui/support_ui.h"
#include "ui/common/centring.h"
#include "ui/common/desktop_style.h"
#include "ui/common/memo.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/password_dialog.h"
#include "ui/dialogs/setting_dialog.h"
#include "ui/window/main_form.h"
#include "ui/window/status_bar.h"

using kuv::test::Find;
using kuv::test::ProgramFolder;

namespace {

// The four windows, the main one shown.
struct Windows {
    ProgramFolder folder;
    std::unique_ptr<TMainForm> form = std::make_unique<TMainForm>(folder.paths());
    TSettingDialog settings;
    TAboutDialog about;
    TPassWordDialog prompt{nullptr};
    Windows() {
        form->show();
        if (!QTest::qWaitForWindowActive(form.get())) qWarning("the window did not activate");
    }
    QList<QWidget*> All() { return {form.get(), &settings, &about, &prompt}; }
};

void Compose(QWidget* pane, const QString& preedit, const QString& commit = QString()) {
    QInputMethodEvent event(preedit, {});
    event.setCommitString(commit);
    QApplication::sendEvent(pane, &event);
}

}  // namespace

class TestDesktop : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        kuv::LoadDateLocale();
        light_ = QApplication::palette();
    }
    void init() { kuv::test::RecordBoxes(); }

    // Two notices at once are both shown, in turn: the first gives way after
    // its least time however long it asked for, the last clears at its end.
    void noticesTakeTurns() {
        TStatusBar bar;
        auto* notice = Find<QLabel>(bar, "StatusNotice");
        bar.ShowNotice(QStringLiteral("first"), 600000);
        bar.ShowNotice(QStringLiteral("second"), 300);
        QCOMPARE(notice->text(), QStringLiteral("first"));
        QTRY_COMPARE_WITH_TIMEOUT(notice->text(), QStringLiteral("second"),
                                  TStatusBar::kNoticeLeastMs + 2000);
        QTRY_COMPARE_WITH_TIMEOUT(notice->text(), QString(), 2000);
    }
    void cleanup() { QApplication::setPalette(light_); }

    void compositionIsNoChangeUntilCommitted_data() {
        QTest::addColumn<QString>("leaveBy");
        for (const char* how : {"SpeedButton4", "DateTimePicker", "Exit1", "close"}) {
            QTest::newRow(how) << QString::fromLatin1(how);
        }
    }

    void compositionIsNoChangeUntilCommitted() {
        QFETCH(QString, leaveBy);
        Windows w;
        auto* memo1 = Find<TMemo>(*w.form, "Memo1");
        memo1->setFocus();
        Compose(memo1, QStringLiteral("にっき"));
        Compose(memo1, QString());  // dropped with Esc
        Compose(memo1, QStringLiteral("にっき"));
        // Shown, yet no change: nothing would be saved now.
        QVERIFY(!w.form->Modified());
        QVERIFY(memo1->toPlainText().isEmpty());
        Compose(memo1, QString(), QStringLiteral("日記"));
        QVERIFY(w.form->Modified());
        Compose(memo1, QStringLiteral("をかく"));

        // Leaving the day commits the composition whole into the day left.
        if (leaveBy == QLatin1String("close")) {
            QVERIFY(w.form->close());
        } else if (leaveBy == QLatin1String("Exit1")) {
            Find<QAction>(*w.form, "Exit1")->trigger();
        } else {
            QWidget* target = Find(*w.form, qPrintable(leaveBy));
            if (auto* edit = target->findChild<QLineEdit*>()) target = edit;  // the picker's text
            QTest::mouseClick(target, Qt::LeftButton);
        }
        QCOMPARE(kuv::test::ReadBytes(w.folder.EntryPath(QDate::currentDate())),
                 kuv::test::Cp932("日記をかく"));
        QVERIFY(memo1->Composition().isEmpty());
        if (leaveBy == QLatin1String("SpeedButton4")) QVERIFY(memo1->toPlainText().isEmpty());
    }

    void inputMethodsInTheFields() {
        Windows w;
        // Password fields tell the input method so; fcitx5 and IBus switch off there.
        const struct {
            QWidget* field;
            bool password;
        } fields[] = {{Find(*w.form, "Memo1"), false},    {Find(*w.form, "Memo2"), false},
                      {Find(w.settings, "Edit1"), false}, {Find(w.settings, "Edit3"), false},
                      {Find(w.settings, "Edit2"), true},  {Find(w.prompt, "Edit1"), true}};
        for (const auto& f : fields) {
            QInputMethodQueryEvent query(Qt::ImEnabled | Qt::ImHints);
            QApplication::sendEvent(f.field, &query);
            QVERIFY2(query.value(Qt::ImEnabled).toBool(), qPrintable(f.field->objectName()));
            const auto hints = Qt::InputMethodHints(query.value(Qt::ImHints).toInt());
            QCOMPARE(hints.testFlags(Qt::ImhHiddenText | Qt::ImhSensitiveData), f.password);
        }
    }

    void screenReadersNameEveryControl() {
        Windows w;
        const char16_t* const arrows[][3] = {{u"SpeedButton5", u"一年先の日記へ", u"一年先の日記"},
                                             {u"SpeedButton7", u"昨年の日記へ", u"一年前の日記"},
                                             {u"SpeedButton3", u"昨日の日記へ", u"一日戻す"},
                                             {u"SpeedButton4", u"一日先の日記へ", u"一日進める"}};
        for (const auto& a : arrows) {
            auto* button = w.form->findChild<QWidget*>(QString::fromUtf16(a[0]));
            QAccessibleInterface* access = QAccessible::queryAccessibleInterface(button);
            QCOMPARE(access->text(QAccessible::Name), QString::fromUtf16(a[1]));
            QCOMPARE(access->text(QAccessible::Description), QString::fromUtf16(a[2]));
        }
        // Every button, picture and field of every window has a name.
        for (QWidget* window : w.All()) {
            for (QWidget* c : window->findChildren<QWidget*>()) {
                const auto* label = qobject_cast<QLabel*>(c);
                if ((label == nullptr || label->pixmap().isNull()) &&
                    !c->inherits("QAbstractButton") && !c->inherits("QLineEdit") &&
                    !c->inherits("QPlainTextEdit")) {
                    continue;
                }
                if (c->objectName().startsWith(QLatin1String("qt_"))) continue;
                QVERIFY2(
                    !QAccessible::queryAccessibleInterface(c)->text(QAccessible::Name).isEmpty(),
                    qPrintable(window->objectName() + u'.' + c->objectName()));
            }
        }
    }

    void colorsFollowAPalette_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }

    void colorsFollowAPalette() {
        QFETCH(bool, dark);
        Windows w;
        for (QWidget* window : w.All()) window->show();
        // The desktop's palette changes while the windows are open.
        QPalette palette = light_;
        if (dark) {
            const QColor ground(42, 46, 50), text(252, 252, 252);
            for (auto role : {QPalette::Window, QPalette::Button, QPalette::Base}) {
                palette.setColor(role, ground);
            }
            for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
                palette.setColor(role, text);
            }
            palette.setColor(QPalette::Link, QColor(29, 153, 243));
        }
        QApplication::setPalette(palette);
        QCoreApplication::processEvents();  // the windows hear of it through the event loop

        // Every control shows the palette's colours, but for these (and what lies on them).
        const QHash<QString, QPalette::ColorRole> own = {
            {QStringLiteral("Memo1"), QPalette::Text},  // the stored pane colour: window text
            {QStringLiteral("Memo2"), QPalette::Text},
            {QStringLiteral("Label5"), QPalette::WindowText},  // the warning
            {QStringLiteral("Panel1"), QPalette::Window},      // the banners' ground
        };
        for (QWidget* window : w.All()) {
            for (QWidget* c : window->findChildren<QWidget*>()) {
                for (const auto role : {QPalette::Window, QPalette::WindowText, QPalette::Base,
                                        QPalette::Text, QPalette::ButtonText}) {
                    bool mine = false;
                    for (QWidget* up = c; up != window; up = up->parentWidget()) {
                        mine = mine || own.value(up->objectName(), QPalette::NColorRoles) == role;
                    }
                    QVERIFY2(mine || c->palette().color(QPalette::Active, role) ==
                                         palette.color(QPalette::Active, role),
                             qPrintable(window->objectName() + u'.' + c->objectName()));
                }
            }
        }
        const QColor text = palette.color(QPalette::WindowText);
        QTRY_COMPARE(Find(*w.form, "Memo1")->palette().color(QPalette::Text), text);
        auto* link = Find(w.about, "Label7");
        QCOMPARE(link->palette().color(link->foregroundRole()), palette.color(QPalette::Link));
        // The warning: pure red when light, a red that reads on a dark window.
        const QColor warning = Find(w.settings, "Label5")->palette().color(QPalette::WindowText);
        QCOMPARE(warning.hslHue(), 0);
        QCOMPARE(warning == QColor(255, 0, 0), !dark);
        QVERIFY(warning.lightnessF() > (dark ? 0.6 : 0.49));
        // The arrows in the buttons' text colour; the calendar sheet as drawn, black "1" and all.
        auto glyph = [&w](const char* button) {
            return Find<QToolButton>(*w.form, button)
                ->icon()
                .pixmap(16, 16)
                .toImage()
                .convertToFormat(QImage::Format_ARGB32);
        };
        QCOMPARE(glyph("SpeedButton3").pixelColor(7, 7), palette.color(QPalette::ButtonText));
        QCOMPARE(glyph("SpeedButton2"), QImage(QStringLiteral(":/assets/glyph_insert.png"))
                                            .convertToFormat(QImage::Format_ARGB32));
        // The banners' ground stays theirs: white around the prompt's, black by the About one's.
        QCOMPARE(Find(w.prompt, "Panel1")->palette().color(QPalette::Window), QColor(Qt::white));
        QCOMPARE(Find(w.about, "Panel1")->palette().color(QPalette::Window), QColor(Qt::black));
    }

    void centringComputation_data() {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<QPoint>("place");
        const QRect screen(0, 0, 1280, 800);
        QTest::newRow("no frame") << screen << QSize(368, 166) << QMargins() << QPoint(456, 317);
        // openbox: a title bar of 20 and borders of 1; the frame, not the client, is centred.
        QTest::newRow("title bar")
            << screen << QSize(368, 166) << QMargins(1, 20, 1, 1) << QPoint(455, 306);
        QTest::newRow("second screen below a panel")
            << QRect(1280, 32, 1920, 1048) << QSize(454, 318) << QMargins(4, 28, 4, 4)
            << QPoint(1280 + 729, 32 + 349);
        QTest::newRow("larger than the screen: title bar on it")
            << QRect(0, 0, 640, 480) << QSize(800, 600) << QMargins(1, 24, 1, 1) << QPoint(0, 0);
    }

    void centringComputation() {
        QFETCH(QRect, area);
        QFETCH(QSize, client);
        QFETCH(QMargins, frame);
        QFETCH(QPoint, place);
        QCOMPARE(kuv::CentredFramePlace(area, client, frame), place);
    }

    void windowsCentredByTheirFrames() {
        // The offscreen platform frames every window with 2 pixels, known only
        // once the window exists.
        Windows w;
        w.settings.OpenSettingDialog({}, QFont(), 0, nullptr);
        w.about.ShowAbout();
        w.prompt.FormCreate();
        for (QWidget* window : {static_cast<QWidget*>(&w.settings), static_cast<QWidget*>(&w.about),
                                static_cast<QWidget*>(&w.prompt)}) {
            QVERIFY(QTest::qWaitForWindowExposed(window));
            const QMargins frame = window->windowHandle()->frameMargins();
            QVERIFY(!frame.isNull());
            QTRY_COMPARE(window->frameGeometry().topLeft(),
                         kuv::CentredFramePlace(window->screen()->availableGeometry(),
                                                window->size(), frame));
        }
    }

    void styleDrawsQtsOwnIcons_data() {
        QTest::addColumn<int>("which");
        QTest::newRow("toolbar extension") << int(QStyle::SP_ToolBarHorizontalExtensionButton);
        QTest::newRow("vertical extension") << int(QStyle::SP_ToolBarVerticalExtensionButton);
        QTest::newRow("any other") << int(QStyle::SP_ArrowUp);
    }

    void styleDrawsQtsOwnIcons() {
        QFETCH(int, which);
        const auto pixmap = static_cast<QStyle::StandardPixmap>(which);
        const QString key = QApplication::style()->name();
        const TDesktopStyle style(key);
        const std::unique_ptr<QStyle> plain(QStyleFactory::create(key));
        const QImage expected = plain->standardIcon(pixmap).pixmap(16).toImage();
        QVERIFY(!expected.isNull());
        QCOMPARE(style.standardIcon(pixmap).pixmap(16).toImage(), expected);
    }

  private:
    QPalette light_;  // the platform's own
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
