// 編集 → 以前の版: an entry typed over comes back byte for byte, and the
// text it replaces becomes a version itself.
#include <memory>
#include <string>

#include <QAction>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "dates/qt/locale_loader.h"
#include "history/entry_history.h"
#include "tests/ui/support_ui.h"
#include "ui/history/history_window.h"
#include "ui/window/main_form.h"

using kuv::test::Cp932;
using kuv::test::Find;
using kuv::test::ProgramFolder;
using kuv::test::ReadBytes;

class TestHistoryCommands : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { kuv::LoadDateLocale(); }
    void init() { kuv::test::RecordBoxes(); }
    void anOldTextComesBackByteForByte();
};

void TestHistoryCommands::anOldTextComesBackByteForByte() {
    ProgramFolder folder;
    const QDate today = QDate::currentDate();
    const std::string old = Cp932("古い文章\r\n二行目\r\n三行目");
    folder.WriteEntry(today, old);
    auto form = kuv::test::ShowMainForm(folder);
    auto* memo = Find<QPlainTextEdit>(*form, "Memo1");
    memo->setFocus();
    memo->selectAll();
    QTest::keyClicks(memo, QStringLiteral("typed over"));
    // Stepping away saves the new text, and back shows it.
    Find<QAction>(*form, "N5")->trigger();
    Find<QAction>(*form, "N4")->trigger();
    QCOMPARE(ReadBytes(folder.EntryPath(today)), std::string("typed over"));

    Find<QAction>(*form, "EarlierVersions1")->trigger();
    auto* window = kuv::test::TopLevel<THistoryWindow>("HistoryWindow");
    QVERIFY(window != nullptr);
    auto* list = Find<QListWidget>(*window, "HistoryVersions");
    QTRY_COMPARE(list->count(), 1);
    QCOMPARE(list->currentRow(), 0);
    QCOMPARE(Find<QPlainTextEdit>(*window, "HistoryVersionText")->toPlainText(),
             QStringLiteral("古い文章\n二行目\n三行目"));
    QCOMPARE(Find<QPlainTextEdit>(*window, "HistoryCurrentText")->toPlainText(),
             QStringLiteral("typed over"));

    QTest::mouseClick(Find<QPushButton>(*window, "RestoreVersion"), Qt::LeftButton);
    QCOMPARE(ReadBytes(folder.EntryPath(today)), old);
    QCOMPARE(memo->toPlainText(), QStringLiteral("古い文章\n二行目\n三行目"));
    QVERIFY(!form->Session().Unsaved());
    // The replaced text is the newest version now.
    QTRY_COMPARE(list->count(), 2);
    const kuv::VersionList versions =
        kuv::ListEntryVersions(kuv::DiaryHistoryFolder(*kuv::UserHistoryRoot(), folder.data()),
                               today.toString(QStringLiteral("yyyy")).toStdString(),
                               today.toString(QStringLiteral("MMdd")).toStdString());
    QCOMPARE(versions.versions.size(), std::size_t{2});
    std::string bytes;
    bool locked = true;
    QVERIFY(kuv::ReadEntryVersion(versions.versions.front().path, bytes, locked));
    QCOMPARE(bytes, std::string("typed over"));
    QVERIFY(!locked);
    QCOMPARE(kuv::test::Recorded().messages, QStringList());
    QCOMPARE(kuv::test::Recorded().errors, QStringList());
}

QTEST_MAIN(TestHistoryCommands)
#include "test_history_commands.moc"
