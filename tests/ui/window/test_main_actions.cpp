// The main window's action table: what each menu holds, in order, with its
// separators, and the commands that start out of reach or keyed.
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QTest>

#include "ui/window/main_actions.h"

using kuv::MainAction;
using kuv::MainMenu;

namespace {

// A menu's items by object name; a separator without one as "-".
QStringList Names(const QMenu& menu) {
    QStringList names;
    for (const QAction* a : menu.actions()) {
        names << (a->objectName().isEmpty() && a->isSeparator() ? QStringLiteral("-")
                                                                : a->objectName());
    }
    return names;
}

QStringList Words(const char* text) {
    return QString::fromLatin1(text).split(u' ');
}

}  // namespace

class TestMainActions : public QObject {
    Q_OBJECT

  private slots:
    void menusHoldTheirCommandsInOrder_data();
    void menusHoldTheirCommandsInOrder();
    void startingState_data();
    void startingState();
};

void TestMainActions::menusHoldTheirCommandsInOrder_data() {
    QTest::addColumn<int>("menu");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("file") << static_cast<int>(MainMenu::File)
                          << Words(
                                 "Export1 Print1 Import1 N8 Backup1 Restore1 AutoBackup1 "
                                 "StrongLockSeparator ChangeLockPassword1 RecoverLockPassword1 "
                                 "RekeyDiary1 N9 Exit1");
    QTest::newRow("edit") << static_cast<int>(MainMenu::Edit)
                          << Words(
                                 "N1 N4 N5 N6 N7 N2 N3 FindSeparator1 Search1 EveryYear1 - "
                                 "ShowConflicts EarlierVersions1");
    QTest::newRow("view") << static_cast<int>(MainMenu::View) << Words("Stats1");
    QTest::newRow("help") << static_cast<int>(MainMenu::Help) << Words("Help2 About1");
    // The lower pane's toggle is a toolbar button only.
    QTest::newRow("none") << static_cast<int>(MainMenu::None) << Words("ShowOldDiary");
}

void TestMainActions::menusHoldTheirCommandsInOrder() {
    QFETCH(int, menu);
    QFETCH(QStringList, names);
    QObject owner;
    const TMainActions actions(&owner);
    QMenu filled;
    actions.FillMenu(filled, static_cast<MainMenu>(menu));
    QCOMPARE(Names(filled), names);
}

void TestMainActions::startingState_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<bool>("glyph");
    QTest::newRow("search") << static_cast<int>(MainAction::Search) << true << false
                            << QKeySequence(QStringLiteral("Ctrl+F")) << false;
    QTest::newRow("conflicts") << static_cast<int>(MainAction::ShowConflicts) << false << false
                               << QKeySequence() << false;
    QTest::newRow("help") << static_cast<int>(MainAction::Help) << false << false << QKeySequence()
                          << false;
    QTest::newRow("auto backup") << static_cast<int>(MainAction::AutoBackup) << true << true
                                 << QKeySequence() << false;
    QTest::newRow("lower pane") << static_cast<int>(MainAction::ShowOldDiary) << true << true
                                << QKeySequence() << false;
    QTest::newRow("day back") << static_cast<int>(MainAction::DayBack) << true << false
                              << QKeySequence() << true;
    QTest::newRow("rekey") << static_cast<int>(MainAction::RekeyDiary) << false << false
                           << QKeySequence() << false;
    QTest::newRow("exit") << static_cast<int>(MainAction::Exit) << true << false << QKeySequence()
                          << false;
}

void TestMainActions::startingState() {
    QFETCH(int, id);
    QFETCH(bool, enabled);
    QFETCH(bool, checkable);
    QFETCH(QKeySequence, shortcut);
    QFETCH(bool, glyph);
    QObject owner;
    const TMainActions actions(&owner);
    const QAction* a = actions[static_cast<MainAction>(id)];
    QCOMPARE(a->isEnabled(), enabled);
    QCOMPARE(a->isCheckable(), checkable);
    QCOMPARE(a->shortcut(), shortcut);
    QCOMPARE(!a->icon().isNull(), glyph);
    // Menus show no glyphs, and every action belongs to the window.
    QVERIFY(!a->isIconVisibleInMenu());
    QCOMPARE(a->parent(), &owner);
}

QTEST_MAIN(TestMainActions)
#include "test_main_actions.moc"
