// The windows on a Linux desktop: Japanese typed through an input method,
// names for screen readers, a dark palette, and placement by the frame.
#include <memory>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include "dates/qt/locale_loader.h"
#include "tests/ui/support_ui.h"
#include "ui/about_dialog.h"
#include "ui/centring.h"
#include "ui/desktop_look.h"
#include "ui/main_form.h"
#include "ui/memo.h"
#include "ui/password_dialog.h"
#include "ui/setting_dialog.h"

using kuv::test::Cp932;
using kuv::test::ProgramFolder;
using kuv::test::ReadBytes;

namespace {

template <class T = QWidget>
T* Find(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) qFatal("no control %s", name);
    return child;
}

std::unique_ptr<TMainForm> Start(const ProgramFolder& folder) {
    auto form = std::make_unique<TMainForm>(folder.paths());
    form->show();
    if (!QTest::qWaitForWindowActive(form.get())) qWarning("the main window did not activate");
    return form;
}

void Compose(QWidget* pane, const QString& preedit) {
    QInputMethodEvent event(preedit, {});
    QApplication::sendEvent(pane, &event);
}

QPalette DarkPalette() {
    QPalette p;
    const QColor window(42, 46, 50), text(252, 252, 252);
    for (auto [role, color] : {std::pair{QPalette::Window, window},
                               {QPalette::Button, window},
                               {QPalette::Base, QColor(27, 30, 32)},
                               {QPalette::WindowText, text},
                               {QPalette::Text, text},
                               {QPalette::ButtonText, text},
                               {QPalette::Link, QColor(29, 153, 243)}}) {
        p.setColor(role, color);
    }
    return p;
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
    void cleanup() { QApplication::setPalette(light_); }

    void compositionIsNoChangeUntilCommitted_data();
    void compositionIsNoChangeUntilCommitted();
    void inputMethodsInTheFields();
    void screenReadersNameEveryControl();
    void colorsFollowAPalette_data();
    void colorsFollowAPalette();
    void centringComputation_data();
    void centringComputation();
    void windowsCentredByTheirFrames();

  private:
    QPalette light_;  // the platform's own
};

void TestDesktop::compositionIsNoChangeUntilCommitted_data() {
    QTest::addColumn<QString>("leaveBy");
    for (const char* how : {"SpeedButton4", "DateTimePicker", "Exit1", "close"}) {
        QTest::newRow(how) << QString::fromLatin1(how);
    }
}

void TestDesktop::compositionIsNoChangeUntilCommitted() {
    QFETCH(QString, leaveBy);
    ProgramFolder folder;
    auto form = Start(folder);
    const QDate today = QDate::currentDate();
    auto* memo1 = Find<TMemo>(*form, "Memo1");
    memo1->setFocus();
    Compose(memo1, QStringLiteral("にっき"));
    Compose(memo1, QStringLiteral(""));  // the composition dropped with Esc
    QVERIFY(!form->Modified());
    Compose(memo1, QStringLiteral("にっき"));
    // Shown, yet no change: nothing would be saved now.
    QVERIFY(!form->Modified());
    QVERIFY(memo1->toPlainText().isEmpty());

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("日記"));
    QApplication::sendEvent(memo1, &commit);
    QVERIFY(form->Modified());
    Compose(memo1, QStringLiteral("をかく"));

    // Leaving the day commits the composition whole into the day left.
    if (leaveBy == QLatin1String("close")) {
        QVERIFY(form->close());
    } else if (leaveBy == QLatin1String("Exit1")) {
        form->findChild<QAction*>(leaveBy)->trigger();
    } else if (leaveBy == QLatin1String("DateTimePicker")) {
        QTest::mouseClick(Find<QDateEdit>(*form, "DateTimePicker")->findChild<QLineEdit*>(),
                          Qt::LeftButton);
    } else {
        QTest::mouseClick(Find(*form, "SpeedButton4"), Qt::LeftButton);
        QVERIFY(memo1->toPlainText().isEmpty());
    }
    QCOMPARE(ReadBytes(folder.EntryPath(today)), Cp932("日記をかく"));
    QVERIFY(memo1->Composition().isEmpty());
}

void TestDesktop::inputMethodsInTheFields() {
    ProgramFolder folder;
    auto form = Start(folder);
    TSettingDialog settings;
    TPassWordDialog prompt(nullptr);
    struct Field {
        QWidget* widget;
        bool hidden;  // a password: the input method is told, and decides
    } const fields[] = {
        {Find(*form, "Memo1"), false},    {Find(*form, "Memo2"), false},
        {Find(settings, "Edit1"), false}, {Find(settings, "Edit3"), false},
        {Find(settings, "Edit2"), true},  {Find(prompt, "Edit1"), true},
    };
    for (const Field& f : fields) {
        QInputMethodQueryEvent query(Qt::ImEnabled | Qt::ImHints);
        QApplication::sendEvent(f.widget, &query);
        QVERIFY2(query.value(Qt::ImEnabled).toBool(), qPrintable(f.widget->objectName()));
        const auto hints = Qt::InputMethodHints(query.value(Qt::ImHints).toInt());
        QCOMPARE(hints.testFlag(Qt::ImhHiddenText), f.hidden);
        QCOMPARE(hints.testFlag(Qt::ImhSensitiveData), f.hidden);
    }
}

void TestDesktop::screenReadersNameEveryControl() {
    ProgramFolder folder;
    auto form = Start(folder);
    const struct {
        const char* button;
        const char16_t* name;
        const char16_t* description;
    } arrows[] = {{"SpeedButton5", u"一年先の日記へ", u"一年先の日記"},
                  {"SpeedButton7", u"昨年の日記へ", u"一年前の日記"},
                  {"SpeedButton3", u"昨日の日記へ", u"一日戻す"},
                  {"SpeedButton4", u"一日先の日記へ", u"一日進める"}};
    for (const auto& a : arrows) {
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(Find(*form, a.button));
        QCOMPARE(access->text(QAccessible::Name), QString::fromUtf16(a.name));
        QCOMPARE(access->text(QAccessible::Description), QString::fromUtf16(a.description));
    }
    // Every button, picture and field of every window has a name.
    TSettingDialog settings;
    TAboutDialog about;
    TPassWordDialog prompt(nullptr);
    for (QWidget* window : {static_cast<QWidget*>(form.get()), static_cast<QWidget*>(&settings),
                            static_cast<QWidget*>(&about), static_cast<QWidget*>(&prompt)}) {
        for (QWidget* w : window->findChildren<QWidget*>()) {
            const auto* label = qobject_cast<QLabel*>(w);
            const bool named = qobject_cast<QAbstractButton*>(w) != nullptr ||
                               qobject_cast<QLineEdit*>(w) != nullptr ||
                               qobject_cast<QPlainTextEdit*>(w) != nullptr ||
                               (label != nullptr && !label->pixmap().isNull());
            if (!named || w->objectName().startsWith(QLatin1String("qt_"))) continue;
            const QString name = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), qPrintable(window->objectName() + u'.' + w->objectName()));
        }
    }
}

void TestDesktop::colorsFollowAPalette_data() {
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void TestDesktop::colorsFollowAPalette() {
    QFETCH(bool, dark);
    ProgramFolder folder;
    auto form = Start(folder);
    TSettingDialog settings;
    TAboutDialog about;
    TPassWordDialog prompt(nullptr);
    for (QWidget* w : {static_cast<QWidget*>(&settings), static_cast<QWidget*>(&about),
                       static_cast<QWidget*>(&prompt)}) {
        w->show();
    }
    // A change of the desktop's palette while the windows are open.
    const QPalette palette = dark ? DarkPalette() : light_;
    QApplication::setPalette(palette);
    QCoreApplication::processEvents();  // the windows hear of it through the event loop
    const QColor text = palette.color(QPalette::WindowText);

    // Every control shows the palette's colours but these (and what lies on them).
    const QHash<QString, QPalette::ColorRole> own = {
        {QStringLiteral("Memo1"), QPalette::Text},  // the stored pane colour: window text
        {QStringLiteral("Memo2"), QPalette::Text},
        {QStringLiteral("Label5"), QPalette::WindowText},  // the warning
        {QStringLiteral("Panel1"), QPalette::Window},      // the banners' ground
    };
    for (QWidget* window : {static_cast<QWidget*>(form.get()), static_cast<QWidget*>(&settings),
                            static_cast<QWidget*>(&about), static_cast<QWidget*>(&prompt)}) {
        for (QWidget* w : window->findChildren<QWidget*>()) {
            for (const auto role : {QPalette::Window, QPalette::WindowText, QPalette::Base,
                                    QPalette::Text, QPalette::ButtonText}) {
                bool mine = false;
                for (QWidget* up = w; up != window; up = up->parentWidget()) {
                    mine = mine || own.value(up->objectName(), QPalette::NColorRoles) == role;
                }
                if (mine) continue;
                QVERIFY2(w->palette().color(QPalette::Active, role) ==
                             palette.color(QPalette::Active, role),
                         qPrintable(window->objectName() + u'.' + w->objectName() + u' ' +
                                    QString::number(role)));
            }
        }
    }
    QTRY_COMPARE(Find(*form, "Memo1")->palette().color(QPalette::Text), text);
    auto* link = Find(about, "Label7");
    QCOMPARE(link->palette().color(link->foregroundRole()), palette.color(QPalette::Link));

    // The warning: pure red when light, readable red when dark.
    const QColor warning = Find(settings, "Label5")->palette().color(QPalette::WindowText);
    QCOMPARE(warning.hslHue(), 0);
    QCOMPARE(warning == QColor(255, 0, 0), !dark);
    QVERIFY(warning.lightnessF() > (dark ? 0.6 : 0.49));

    // The arrows are drawn in the buttons' text colour, black when light.
    const QImage arrow = Find<QToolButton>(*form, "SpeedButton3")
                             ->icon()
                             .pixmap(16, 16)
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32);
    const QColor ink = arrow.pixelColor(7, 7);  // the middle of the shaft
    QCOMPARE(ink, palette.color(QPalette::ButtonText));
    // A coloured glyph stays as drawn: the calendar sheet keeps its black "1".
    const QImage sheet = Find<QToolButton>(*form, "SpeedButton2")->icon().pixmap(16, 16).toImage();
    QCOMPARE(
        sheet.convertToFormat(QImage::Format_ARGB32),
        QImage(QStringLiteral(":/assets/glyph_insert.png")).convertToFormat(QImage::Format_ARGB32));

    // The banners' ground stays theirs: white around the prompt's, black by the About one's.
    QCOMPARE(Find(prompt, "Panel1")->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(Find(about, "Panel1")->palette().color(QPalette::Window), QColor(Qt::black));
}

void TestDesktop::centringComputation_data() {
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<QPoint>("place");
    const QRect screen(0, 0, 1280, 800);
    QTest::newRow("no frame") << screen << QSize(368, 166) << QMargins() << QPoint(456, 317);
    // A title bar of 24 and borders of 1: the frame, not the client, is centred.
    QTest::newRow("title bar") << screen << QSize(368, 166) << QMargins(1, 24, 1, 1)
                               << QPoint(455, 304);
    QTest::newRow("second screen below a panel")
        << QRect(1280, 32, 1920, 1048) << QSize(454, 318) << QMargins(4, 28, 4, 4)
        << QPoint(1280 + 729, 32 + 349);
    QTest::newRow("larger than the screen: title bar on it")
        << QRect(0, 0, 640, 480) << QSize(800, 600) << QMargins(1, 24, 1, 1) << QPoint(0, 0);
}

void TestDesktop::centringComputation() {
    QFETCH(QRect, area);
    QFETCH(QSize, client);
    QFETCH(QMargins, frame);
    QFETCH(QPoint, place);
    QCOMPARE(kuv::CentredFramePlace(area, client, frame), place);
}

void TestDesktop::windowsCentredByTheirFrames() {
    // The offscreen platform gives every window a frame of 2 pixels, known
    // only once the window exists.
    TSettingDialog settings;
    TAboutDialog about;
    TPassWordDialog prompt(nullptr);
    settings.OpenSettingDialog({}, QFont(), 0, nullptr);
    about.ShowAbout();
    prompt.FormCreate();
    for (QWidget* w : {static_cast<QWidget*>(&settings), static_cast<QWidget*>(&about),
                       static_cast<QWidget*>(&prompt)}) {
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QMargins margins = w->windowHandle()->frameMargins();
        QVERIFY(!margins.isNull());
        const QRect screenArea = w->screen()->availableGeometry();
        QCOMPARE(w->frameGeometry().topLeft(),
                 kuv::CentredFramePlace(screenArea, w->size(), margins));
    }
}

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
