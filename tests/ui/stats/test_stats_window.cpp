// The 記録 window opened from the main window's 表示 menu: its count, a
// click on a day's cell and the count again after the save that click made.
#include <memory>

#include <QAction>
#include <QDateEdit>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>

#include "dates/qt/locale_loader.h"
#include "tests/ui/support_ui.h"
#include "ui/stats/stats_view.h"
#include "ui/stats/stats_window.h"
#include "ui/stats/year_heatmap.h"
#include "ui/window/main_form.h"

using kuv::test::Cp932;
using kuv::test::Find;
using kuv::test::ProgramFolder;
using kuv::test::ReadBytes;
using kuv::test::ShowMainForm;

class TestStatsWindow : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { kuv::LoadDateLocale(); }
    void init() { kuv::test::RecordBoxes(); }

    void opensFromTheViewMenuAndGoesToTheClickedDay();
};

void TestStatsWindow::opensFromTheViewMenuAndGoesToTheClickedDay() {
    ProgramFolder folder;
    const QDate today = QDate::currentDate();
    const QDate older(2019, 4, 2);
    folder.WriteEntry(older, Cp932("朝\r\n公園"));
    folder.WriteEntry(QDate(2020, 1, 1), Cp932("雪"));
    auto form = ShowMainForm(folder);
    auto* memo = Find<QPlainTextEdit>(*form, "Memo1");
    memo->setFocus();
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("今日も"));
    QApplication::sendEvent(memo, &commit);

    // 表示 sits between 編集 and ヘルプ.
    QStringList menus;
    for (QAction* a : Find<QMenuBar>(*form, "MainMenu1")->actions()) menus << a->text();
    QCOMPARE(menus, (QStringList{QStringLiteral("ファイル"), QStringLiteral("編集"),
                                 QStringLiteral("表示"), QStringLiteral("ヘルプ")}));
    QVERIFY(Find<QMenu>(*form, "View1")->actions().contains(Find<QAction>(*form, "Stats1")));

    Find<QAction>(*form, "Stats1")->trigger();
    auto* window = kuv::test::TopLevel<TStatsWindow>("StatsWindow");
    QVERIFY(window != nullptr);
    QVERIFY(window->isVisible());
    QVERIFY(!window->isModal());
    QCOMPARE(window->windowTitle(), QStringLiteral("記録"));
    TStatsView* view = window->View();
    // Today's text is not saved yet: the two entries on disk, read.
    QTRY_COMPARE(view->Stats().days, 2);
    QTRY_COMPARE(view->Stats().characters, 4);
    QCOMPARE(view->Heatmap()->Years().back(), 2019);

    // A click on a cell: the main window goes there and today's text is saved.
    TYearHeatmap* map = view->Heatmap();
    QTest::mouseClick(map, Qt::LeftButton, {}, map->CellCentre(2019, 4, 2));
    QCOMPARE(Find<QDateEdit>(*form, "DateTimePicker")->date(), older);
    QCOMPARE(memo->toPlainText(), QStringLiteral("朝\n公園"));
    QCOMPARE(ReadBytes(folder.EntryPath(today)), Cp932("今日も"));
    // The open window counts that save.
    QTRY_COMPARE(view->Stats().days, 3);
    QTRY_COMPARE(view->Stats().characters, 7);

    // Opening it again brings the one window to the front.
    Find<QAction>(*form, "Stats1")->trigger();
    QCOMPARE(kuv::test::TopLevel<TStatsWindow>("StatsWindow"), window);
}

QTEST_MAIN(TestStatsWindow)
#include "test_stats_window.moc"
