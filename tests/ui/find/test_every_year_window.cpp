// This day in every year and the marks of the picker's calendar: both follow
// the main window's day and its saves; a chosen year moves the main window.
#include <memory>

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QInputMethodEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCharFormat>
#include <QToolButton>

#include "dates/qt/locale_loader.h"
#include "tests/ui/support_ui.h"
#include "ui/find/every_year_window.h"
#include "ui/find/marked_calendar.h"
#include "ui/window/main_form.h"

using kuv::test::Cp932;
using kuv::test::Find;
using kuv::test::ProgramFolder;
using kuv::test::ReadBytes;
using kuv::test::ShowMainForm;

namespace {

// Typing at the start of a pane, as an input method commits it.
void TypeAtStart(QPlainTextEdit* pane, const QString& text) {
    pane->setFocus();
    pane->moveCursor(QTextCursor::Start);
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(pane, &commit);
}

QList<int> Years(const QListWidget& list) {
    QList<int> years;
    for (int row = 0; row < list.count(); ++row)
        years << list.item(row)->data(Qt::UserRole).toInt();
    return years;
}

enum class Mark { None, Written, Locked };

Mark MarkOf(const QCalendarWidget& calendar, const QDate& day) {
    const QTextCharFormat f = calendar.dateTextFormat(day);
    if (f.fontWeight() != QFont::Bold) return Mark::None;
    if (f.background().style() == Qt::NoBrush) return Mark::None;
    return f.fontItalic() ? Mark::Locked : Mark::Written;
}

}  // namespace

class TestThisDay : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { kuv::LoadDateLocale(); }
    void init() { kuv::test::RecordBoxes(); }

    void followsTheMainWindowsDay();
    void aChosenYearMovesTheMainWindow();
    void calendarMarksTheMonthShown();
};

void TestThisDay::followsTheMainWindowsDay() {
    ProgramFolder folder;
    folder.WriteEntry(QDate(2023, 3, 1), Cp932("一行目\r\n二行目\r\n三行目\r\n四行目"));
    folder.WriteEntry(QDate(2020, 3, 1), Cp932("二〇二〇年"));
    folder.WriteEntry(QDate(2022, 3, 1), kuv::test::HandContainer(Cp932("鍵"), "other", 0x50C10000),
                      ".xda");
    folder.WriteEntry(QDate(2021, 3, 2), Cp932("翌日"));
    auto form = ShowMainForm(folder);
    auto* picker = Find<QDateEdit>(*form, "DateTimePicker");
    picker->setDate(QDate(2023, 3, 1));

    Find<QAction>(*form, "EveryYear1")->trigger();
    auto* window = kuv::test::TopLevel<TEveryYearWindow>("EveryYearWindow");
    QVERIFY(window != nullptr);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("毎年の今日"));
    auto* list = Find<QListWidget>(*window, "EveryYearList");
    auto* title = Find<QLabel>(*window, "EveryYearTitle");
    auto* count = Find<QLabel>(*window, "EveryYearCount");
    auto* text = Find<QPlainTextEdit>(*window, "EveryYearText");
    // Newest first; the locked one that does not open is counted, not shown.
    QTRY_COMPARE(Years(*list), (QList<int>{2023, 2020}));
    QCOMPARE(title->text(), QStringLiteral("3月1日"));
    QCOMPARE(count->text(), QStringLiteral("2 年分　開けない日記 1 件"));
    // The main window's year is chosen; a row holds the first three lines,
    // the text below the whole entry, read-only.
    QCOMPARE(list->currentRow(), 0);
    QVERIFY(list->item(0)->text().endsWith(QStringLiteral("\n一行目\n二行目\n三行目")));
    QCOMPARE(text->toPlainText(), QStringLiteral("一行目\n二行目\n三行目\n四行目"));
    QVERIFY(text->isReadOnly());
    list->setCurrentRow(1);
    QCOMPARE(text->toPlainText(), QStringLiteral("二〇二〇年"));

    // Every move of the main window's day is followed.
    Find<QToolButton>(*form, "SpeedButton4")->click();
    QTRY_COMPARE(title->text(), QStringLiteral("3月2日"));
    QCOMPARE(Years(*list), QList<int>{2021});
    // 2023 has no entry that day: no other year is highlighted for it.
    QCOMPARE(list->currentRow(), -1);
    QVERIFY(text->toPlainText().isEmpty());
    picker->setDate(QDate(2021, 3, 5));
    QTRY_COMPARE(title->text(), QStringLiteral("3月5日"));
    QCOMPARE(list->count(), 0);
    QCOMPARE(count->text(), QStringLiteral("この日の日記はありません"));
    QVERIFY(text->toPlainText().isEmpty());

    // A hidden window is brought up to date when it is opened again.
    window->hide();
    picker->setDate(QDate(2020, 3, 1));
    Find<QAction>(*form, "EveryYear1")->trigger();
    QCOMPARE(kuv::test::TopLevel<TEveryYearWindow>("EveryYearWindow"), window);
    QTRY_COMPARE(Years(*list), (QList<int>{2023, 2020}));
    QCOMPARE(list->currentRow(), 1);
    // A year without this day's entry: no year stands for it.
    picker->setDate(QDate(2019, 3, 1));
    QTRY_COMPARE(list->currentRow(), -1);
    QVERIFY(text->toPlainText().isEmpty());
}

void TestThisDay::aChosenYearMovesTheMainWindow() {
    ProgramFolder folder;
    folder.WriteEntry(QDate(2023, 3, 1), Cp932("二〇二三年"));
    folder.WriteEntry(QDate(2020, 3, 1), Cp932("二〇二〇年"));
    auto form = ShowMainForm(folder);
    auto* picker = Find<QDateEdit>(*form, "DateTimePicker");
    picker->setDate(QDate(2023, 3, 1));
    Find<QAction>(*form, "EveryYear1")->trigger();
    auto* window = kuv::test::TopLevel<TEveryYearWindow>("EveryYearWindow");
    auto* list = Find<QListWidget>(*window, "EveryYearList");
    QTRY_COMPARE(Years(*list), (QList<int>{2023, 2020}));

    // A change in the main window, then Enter on 2020: the change is saved,
    // the main window shows 2020 and the list its new first line.
    auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
    TypeAtStart(memo1, QStringLiteral("晴れ　"));
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(picker->date(), QDate(2020, 3, 1));
    QCOMPARE(memo1->toPlainText(), QStringLiteral("二〇二〇年"));
    QCOMPARE(ReadBytes(folder.EntryPath(QDate(2023, 3, 1))), Cp932("晴れ　二〇二三年"));
    QTRY_VERIFY(list->item(0)->text().endsWith(QStringLiteral("晴れ　二〇二三年")));
    QCOMPARE(list->currentRow(), 1);

    // A double click on a year does the same.
    kuv::test::DoubleClick(list, list->visualItemRect(list->item(0)).center());
    QCOMPARE(picker->date(), QDate(2023, 3, 1));
    QTRY_COMPARE(list->currentRow(), 0);
}

void TestThisDay::calendarMarksTheMonthShown() {
    ProgramFolder folder;
    folder.WriteEntry(QDate(2021, 5, 1), "plain");
    folder.WriteEntry(QDate(2021, 5, 2), "not even a container", ".xda");
    folder.WriteEntry(QDate(2021, 5, 3), "plain");
    folder.WriteEntry(QDate(2021, 5, 3), "locked", ".xda");  // the plain file is what opens
    folder.WriteEntry(QDate(2021, 4, 30), "april");
    folder.WriteEntry(QDate(2021, 5, 31), "may");
    auto form = ShowMainForm(folder);
    auto* picker = Find<QDateEdit>(*form, "DateTimePicker");
    picker->setDate(QDate(2021, 5, 10));

    // The calendar drops down from the picker's arrow, at its right end.
    QTest::mouseClick(picker, Qt::LeftButton, {},
                      QPoint(picker->width() - 6, picker->height() / 2));
    auto* calendar = qobject_cast<TMarkedCalendar*>(picker->calendarWidget());
    QVERIFY(calendar != nullptr);
    QCOMPARE(calendar->objectName(), QStringLiteral("PickerCalendar"));
    QVERIFY(calendar->isVisible());
    QCOMPARE(calendar->monthShown(), 5);

    struct Day {
        QDate day;
        Mark mark;
    };
    const Day may[] = {{QDate(2021, 5, 1), Mark::Written}, {QDate(2021, 5, 2), Mark::Locked},
                       {QDate(2021, 5, 3), Mark::Written}, {QDate(2021, 5, 4), Mark::None},
                       {QDate(2021, 5, 10), Mark::None},   {QDate(2021, 5, 31), Mark::Written},
                       {QDate(2021, 4, 30), Mark::None},  // another month, though on the page
                       {QDate(2020, 5, 1), Mark::None}};
    for (const Day& d : may) QCOMPARE(MarkOf(*calendar, d.day), d.mark);
    QVERIFY(calendar->dateTextFormat(QDate(2021, 5, 1)).background() !=
            calendar->dateTextFormat(QDate(2021, 5, 2)).background());

    // Another page: only that month is marked.
    calendar->setCurrentPage(2021, 4);
    QCOMPARE(MarkOf(*calendar, QDate(2021, 4, 30)), Mark::Written);
    QCOMPARE(MarkOf(*calendar, QDate(2021, 5, 1)), Mark::None);
    calendar->setCurrentPage(2021, 5);
    QCOMPARE(MarkOf(*calendar, QDate(2021, 5, 1)), Mark::Written);

    // The tint follows the palette: a red highlight on white gives a pink.
    QPalette palette = calendar->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Highlight, Qt::red);
    calendar->setPalette(palette);
    const QColor tint = calendar->dateTextFormat(QDate(2021, 5, 1)).background().color();
    QCOMPARE(tint.red(), 255);
    QVERIFY(tint.green() < 255);
    QCOMPARE(tint.blue(), tint.green());
    calendar->window()->hide();

    // A save marks its day.
    TypeAtStart(Find<QPlainTextEdit>(*form, "Memo1"), QStringLiteral("書いた"));
    Find<QToolButton>(*form, "SpeedButton4")->click();
    QTRY_COMPARE(MarkOf(*calendar, QDate(2021, 5, 10)), Mark::Written);
}

QTEST_MAIN(TestThisDay)
#include "test_every_year_window.moc"
