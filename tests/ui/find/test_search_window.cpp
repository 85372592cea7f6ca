// The search window driven from the main window: Ctrl+F, typing terms,
// choosing a result; the main window's day and the files are checked after.
#include <memory>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QFontMetrics>
#include <QImage>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include "dates/qt/locale_loader.h"
#include "tests/ui/support_ui.h"
#include "ui/dialogs/setting_dialog.h"
#include "ui/find/search_results.h"
#include "ui/find/search_window.h"
#include "ui/find/tag_list.h"
#include "ui/window/main_form.h"

using kuv::test::Cp932;
using kuv::test::Find;
using kuv::test::HandContainer;
using kuv::test::ProgramFolder;
using kuv::test::ReadBytes;
using kuv::test::ShowMainForm;

namespace {

// Typing as an input method commits it: the whole text at once.
void Type(QWidget* widget, const QString& text) {
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(widget, &commit);
}

void TypeInto(QPlainTextEdit* pane, const QString& text) {
    pane->setFocus();
    pane->moveCursor(QTextCursor::End);
    Type(pane, text);
}

// The search window as Ctrl+F in the main window opens it.
TSearchWindow* OpenSearch(TMainForm& form) {
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    auto* window = kuv::test::TopLevel<TSearchWindow>("SearchWindow");
    if (window == nullptr) qFatal("no search window");
    return window;
}

// Replaces the query as a user does: select all, type.
void Query(TSearchWindow& window, const QString& text) {
    auto* edit = Find<QLineEdit>(window, "SearchEdit");
    edit->selectAll();
    edit->del();
    Type(edit, text);
}

QList<QDate> Days(TSearchWindow& window) {
    const QAbstractItemModel* model = Find<QListView>(window, "SearchResults")->model();
    QList<QDate> days;
    for (int row = 0; row < model->rowCount(); ++row) {
        days << model->index(row, 0).data(TSearchResultModel::DayRole).toDate();
    }
    return days;
}

QString Count(TSearchWindow& window) {
    return Find<QLabel>(window, "SearchCount")->text();
}

}  // namespace

class TestSearchWindow : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { kuv::LoadDateLocale(); }
    void init() { kuv::test::RecordBoxes(); }

    void searchesAndLandsOnTheChosenDay();
    void matchesAreHighlightedInThePalettesColours();
    void followsThePasswordAndTheFolder();
    void tagsAreListedMostUsedFirstAndSearched();
    void followsFilesWrittenFromOutside();
    void cutRowsEndInAnEllipsis();
};

void TestSearchWindow::searchesAndLandsOnTheChosenDay() {
    ProgramFolder folder;
    const QDate today = QDate::currentDate();
    const QDate older(2019, 4, 2), newer(2021, 4, 5);
    folder.WriteEntry(older, Cp932("朝\r\n公園で桜を見た"));
    folder.WriteEntry(newer, Cp932("夜桜"));
    folder.WriteEntry(QDate(2020, 1, 1), Cp932("雪"));
    auto form = ShowMainForm(folder);
    TypeInto(Find<QPlainTextEdit>(*form, "Memo1"), QStringLiteral("今日も桜"));

    QCOMPARE(Find<QAction>(*form, "Search1")->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
    TSearchWindow* window = OpenSearch(*form);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("日記の検索"));
    QVERIFY(!window->isModal());
    // Opening it again brings the one window to the front.
    Find<QAction>(*form, "Search1")->trigger();
    QCOMPARE(kuv::test::TopLevel<TSearchWindow>("SearchWindow"), window);

    // Every term, split at full-width or ASCII spaces, must appear.
    Query(*window, QStringLiteral("桜　公園"));
    QTRY_COMPARE(Days(*window), QList<QDate>{older});
    Query(*window, QStringLiteral("桜"));
    // Newest first; today's text is not saved yet, so not found.
    QTRY_COMPARE(Days(*window), (QList<QDate>{newer, older}));
    QCOMPARE(Count(*window), QStringLiteral("2 件"));
    auto* list = Find<QListView>(*window, "SearchResults");
    const QModelIndex second = list->model()->index(1, 0);
    QCOMPARE(second.data(TSearchResultModel::LineRole).toString(),
             QStringLiteral("公園で桜を見た"));
    QCOMPARE(second.data(TSearchResultModel::SpansRole).value<QList<int>>(), (QList<int>{3, 4}));

    // Enter on a result: the main window goes there and today's text is saved.
    list->setCurrentIndex(second);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(Find<QDateEdit>(*form, "DateTimePicker")->date(), older);
    auto* memo = Find<QPlainTextEdit>(*form, "Memo1");
    QCOMPARE(memo->toPlainText(), QStringLiteral("朝\n公園で桜を見た"));
    // The first match is selected in the entry.
    QCOMPARE(memo->textCursor().selectedText(), QStringLiteral("桜"));
    QCOMPARE(memo->textCursor().selectionStart(), 5);
    QCOMPARE(ReadBytes(folder.EntryPath(today)), Cp932("今日も桜"));
    // The save is read again: the open window finds today's entry too.
    QTRY_COMPARE(Days(*window), (QList<QDate>{today, newer, older}));

    // A double click does the same.
    const QRect rect = list->visualRect(list->model()->index(1, 0));
    kuv::test::DoubleClick(list, rect.center());
    QCOMPARE(Find<QDateEdit>(*form, "DateTimePicker")->date(), newer);
    // Ctrl+F from the list goes back to the query, selected whole.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(Find<QLineEdit>(*window, "SearchEdit")->hasFocus());
    QCOMPARE(Find<QLineEdit>(*window, "SearchEdit")->selectedText(), QStringLiteral("桜"));
    // Esc closes the window; the main window goes on.
    QTest::keyClick(list, Qt::Key_Escape);
    QVERIFY(!window->isVisible());
}

void TestSearchWindow::matchesAreHighlightedInThePalettesColours() {
    ProgramFolder folder;
    folder.WriteEntry(QDate(2020, 6, 1), Cp932("ここに目印がある"));
    folder.WriteEntry(QDate(2020, 6, 2), Cp932("ここにも目印"));
    auto form = ShowMainForm(folder);
    TSearchWindow* window = OpenSearch(*form);
    auto* list = Find<QListView>(*window, "SearchResults");
    // Colours of the test's own, so that they can be told from the style's.
    QPalette palette = list->palette();
    const QColor highlight(12, 200, 34), highlighted(250, 240, 5);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(g, QPalette::Highlight, highlight);
        palette.setColor(g, QPalette::HighlightedText, highlighted);
    }
    list->setPalette(palette);
    Query(*window, QStringLiteral("目印"));
    QTRY_COMPARE(Days(*window).size(), 2);

    // The first row is the chosen one: its match is drawn inverted; the
    // second row's match in the highlight colour.
    const QImage shot = list->viewport()->grab().toImage();
    auto count = [&shot, list](int row, const QColor& colour) {
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        int n = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) {
                if (shot.pixelColor(x, y) == colour) ++n;
            }
        }
        return n;
    };
    const QRect second = list->visualRect(list->model()->index(1, 0));
    QVERIFY(count(1, highlight) > 0);
    QVERIFY(count(1, highlight) < second.width() * second.height() / 4);  // the match alone
    QVERIFY(count(0, highlighted) > 0);
}

void TestSearchWindow::followsThePasswordAndTheFolder() {
    ProgramFolder folder, other;
    folder.WriteSettings(false, "mine");
    folder.WriteEntry(QDate(2020, 6, 1), Cp932("鍵なしの秘密"));
    folder.WriteEntry(QDate(2020, 6, 2), HandContainer(Cp932("鍵ありの秘密"), "mine", 0), ".xda");
    folder.WriteEntry(QDate(2020, 6, 3), HandContainer(Cp932("別の鍵の秘密"), "other", 0), ".xda");
    other.WriteEntry(QDate(2018, 2, 3), Cp932("別の日記の秘密"));
    auto form = ShowMainForm(folder);
    TSearchWindow* window = OpenSearch(*form);
    Query(*window, QStringLiteral("秘密"));
    QTRY_COMPARE(Days(*window), (QList<QDate>{QDate(2020, 6, 2), QDate(2020, 6, 1)}));
    QCOMPARE(Count(*window), QStringLiteral("2 件　開けない日記 1 件"));

    // The settings dialog's apply: the search decodes with the new password
    // at once, then reads the new data folder.
    Find<QAction>(*form, "N3")->trigger();
    auto* dialog = kuv::test::TopLevel<TSettingDialog>("SettingDialog");
    QVERIFY(dialog != nullptr);
    kuv::DialogValues values;
    values.dataPath = form->Settings().DataPath;
    values.password = "other";
    values.dateFormat = form->Settings().DateFormat;
    emit dialog->settingsApplied(values, dialog->ChosenFont(), dialog->ChosenFontColor());
    QTRY_COMPARE(Days(*window), (QList<QDate>{QDate(2020, 6, 3), QDate(2020, 6, 1)}));
    QTRY_COMPARE(Count(*window), QStringLiteral("2 件　開けない日記 1 件"));
    values.dataPath = other.data();
    emit dialog->settingsApplied(values, dialog->ChosenFont(), dialog->ChosenFontColor());
    QTRY_COMPARE(Days(*window), QList<QDate>{QDate(2018, 2, 3)});
    QTRY_COMPARE(Count(*window), QStringLiteral("1 件"));
}

void TestSearchWindow::tagsAreListedMostUsedFirstAndSearched() {
    ProgramFolder folder;
    folder.WriteEntry(QDate(2020, 6, 1), Cp932("#旅行 と #家族"));
    folder.WriteEntry(QDate(2020, 6, 2), Cp932("＃旅行、二日目 #旅行"));
    folder.WriteEntry(QDate(2020, 6, 3), Cp932("#家族"));
    folder.WriteEntry(QDate(2020, 6, 4), Cp932("C# と page#top は違う #旅行。"));
    auto form = ShowMainForm(folder);
    TSearchWindow* window = OpenSearch(*form);
    auto* tags = Find<QListWidget>(*window, "SearchTags");
    const auto listed = [tags] {
        QStringList texts;
        for (int row = 0; row < tags->count(); ++row) texts << tags->item(row)->text();
        return texts;
    };
    QTRY_COMPARE(listed(), (QStringList{QStringLiteral("#旅行 (3)"), QStringLiteral("#家族 (2)")}));

    // A click on a tag searches for it.
    QListWidgetItem* family = tags->item(1);
    QTest::mouseClick(tags->viewport(), Qt::LeftButton, {}, tags->visualItemRect(family).center());
    QCOMPARE(Find<QLineEdit>(*window, "SearchEdit")->text(), QStringLiteral("#家族"));
    QTRY_COMPARE(Days(*window), (QList<QDate>{QDate(2020, 6, 3), QDate(2020, 6, 1)}));
}

void TestSearchWindow::followsFilesWrittenFromOutside() {
    ProgramFolder folder;
    const QDate today = QDate::currentDate();
    // Another day of the shown year, whose folder the window watches.
    const QDate other = today.dayOfYear() == 1 ? today.addDays(1) : QDate(today.year(), 1, 1);
    auto form = ShowMainForm(folder);
    TSearchWindow* window = OpenSearch(*form);
    Query(*window, QStringLiteral("梅"));
    QTRY_VERIFY(Count(*window).startsWith(QStringLiteral("0")));
    // A sync tool puts a day in: the open window finds it without a reopen.
    folder.WriteEntry(other, Cp932("梅の花"));
    QTRY_COMPARE_WITH_TIMEOUT(Days(*window), QList<QDate>{other}, 10000);
}

void TestSearchWindow::cutRowsEndInAnEllipsis() {
    const QFontMetrics fm(QApplication::font());
    const QString longLine = QString(200, QChar(u'あ'));
    const int room = fm.horizontalAdvance(QString(20, QChar(u'あ')));
    struct Case {
        const char* name;
        QString line;
        QList<int> spans;
        bool cutStart, cutEnd;
    };
    const Case cases[] = {
        {"fits", QStringLiteral("桜"), {0, 1}, false, false},
        {"match at the start", QStringLiteral("桜") + longLine, {0, 1}, false, true},
        {"match far right", longLine + QStringLiteral("桜") + longLine, {200, 201}, true, true},
    };
    for (const Case& c : cases) {
        const TFittedLine fitted = FitResultLine(fm, c.line, c.spans, room);
        QVERIFY2(fm.horizontalAdvance(fitted.line) <= room || !c.cutEnd, c.name);
        QCOMPARE(fitted.line.startsWith(QChar(0x2026)), c.cutStart);
        QCOMPARE(fitted.line.endsWith(QChar(0x2026)), c.cutEnd);
        // The match still covers the term.
        QCOMPARE(fitted.line.mid(fitted.spans[0], fitted.spans[1] - fitted.spans[0]),
                 QStringLiteral("桜"));
    }
}

QTEST_MAIN(TestSearchWindow)
#include "test_search_window.moc"
