// The main window beside other writers: an entry replaced on disk, asked
// about at the save, watched while shown, and the day's conflict copies.
#include <cstdio>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "crypt/cryptogram.h"
#include "diary/conflict_copies.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/support_ui.h"
#include "ui/common/messages.h"
#include "ui/window/main_form.h"

using kuv::test::Find;
using kuv::test::ProgramFolder;
using kuv::test::ReadBytes;
using kuv::test::WriteBytes;

namespace {

int gAnswer = 0;
QStringList gQuestions;
int Answer(const QString& text, const QStringList&) {
    gQuestions << text;
    return gAnswer;
}

std::unique_ptr<TMainForm> Start(const ProgramFolder& folder) {
    auto form = std::make_unique<TMainForm>(folder.paths());
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) qWarning("no window");
    return form;
}

void Type(QPlainTextEdit* pane, const QString& text) {
    QTest::mouseClick(pane->viewport(), Qt::LeftButton);
    pane->moveCursor(QTextCursor::End);
    QTest::keyClicks(pane, text);
}

// The other writer replaces the entry through a rename, as sync tools do.
void Replace(const std::string& path, const std::string& bytes) {
    WriteBytes(path + ".incoming", bytes);
    QVERIFY(std::rename((path + ".incoming").c_str(), path.c_str()) == 0);
}

}  // namespace

class TestConflicts : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        kuv::test::RecordBoxes();
        kuv::gAskHook = Answer;
        gQuestions.clear();
    }

    void aSaveAsksAndEachAnswerKeepsBothVersions_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("copy");
        QTest::addColumn<bool>("moved");
        QTest::newRow("keep mine") << 0 << "old mine"
                                   << "theirs" << true;
        QTest::newRow("keep theirs") << 1 << "theirs"
                                     << "old mine" << true;
        QTest::newRow("cancel") << 2 << "theirs"
                                << "" << false;
    }
    void aSaveAsksAndEachAnswerKeepsBothVersions() {
        QFETCH(int, answer);
        QFETCH(QString, entry);
        QFETCH(QString, copy);
        QFETCH(bool, moved);
        ProgramFolder folder;
        const QDate today = QDate::currentDate();
        folder.WriteEntry(today, "old");
        auto form = Start(folder);
        Type(Find<QPlainTextEdit>(*form, "Memo1"), QStringLiteral(" mine"));
        Replace(folder.EntryPath(today), "theirs");
        gAnswer = answer;
        Find<QAction>(*form, "N5")->trigger();

        QCOMPARE(gQuestions.size(), 1);
        QVERIFY(gQuestions.front().contains(QStringLiteral("書き換えられています")));
        QCOMPARE(QString::fromStdString(ReadBytes(folder.EntryPath(today))), entry);
        const auto copies =
            kuv::ListConflictCopies(folder.data(), today.year(), today.month(), today.day());
        QCOMPARE(copies.empty(), copy.isEmpty());
        if (!copy.isEmpty()) QCOMPARE(QString::fromStdString(ReadBytes(copies[0].path)), copy);
        QCOMPARE(Find<QDateEdit>(*form, "DateTimePicker")->date(),
                 moved ? today.addDays(1) : today);
        QVERIFY(kuv::test::Recorded().errors.isEmpty());
    }

    void theShownEntryIsWatched() {
        ProgramFolder folder;
        const QDate today = QDate::currentDate();
        folder.WriteEntry(today, "old");
        auto form = Start(folder);
        auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
        // Untouched: loaded anew, and the status bar says so.
        Replace(folder.EntryPath(today), "from the other machine");
        QTRY_COMPARE(memo1->toPlainText(), QStringLiteral("from the other machine"));
        QVERIFY(!form->Modified());
        QVERIFY(
            Find<QLabel>(*form, "StatusNotice")->text().contains(QStringLiteral("読み込み直し")));
        // The notice hides none of the panels.
        for (const char* panel : {"StatusPanel1", "StatusPanel2", "StatusPanel3"})
            QVERIFY2(Find<QLabel>(*form, panel)->isVisible(), panel);
        // Touched: the text stays and the conflict is marked.
        Type(memo1, QStringLiteral(" and mine"));
        Replace(folder.EntryPath(today), "again from there");
        QTRY_COMPARE(Find<QLabel>(*form, "StatusPanel3")->text(), QStringLiteral("競合"));
        QCOMPARE(memo1->toPlainText(), QStringLiteral("from the other machine and mine"));
    }

    void theDaysCopiesCanBeComparedAppendedAndDeleted() {
        ProgramFolder folder;
        const QDate today = QDate::currentDate();
        folder.WriteEntry(today, "mine");
        const std::string copy = folder.data() + "/" +
                                 today.toString(QStringLiteral("yyyy")).toStdString() + "/" +
                                 today.toString(QStringLiteral("MMdd")).toStdString() +
                                 ".sync-conflict-20260101-101010-ABCDEFG.dia";
        WriteBytes(copy, "written on the laptop");
        auto form = Start(folder);
        QCOMPARE(Find<QLabel>(*form, "StatusPanel3")->text(), QStringLiteral("コピー有"));
        QAction* show = Find<QAction>(*form, "ShowConflicts");
        QVERIFY(show->isEnabled());
        show->trigger();
        QWidget* window = kuv::test::TopLevel<QWidget>("ConflictWindow");
        QVERIFY(window != nullptr && window->isVisible());
        QCOMPARE(Find<QPlainTextEdit>(*window, "ConflictCopyText")->toPlainText(),
                 QStringLiteral("written on the laptop"));

        // Centred over the main window.
        QVERIFY(
            (window->frameGeometry().center() - form->frameGeometry().center()).manhattanLength() <
            4);

        // Added once: the button then stands disabled for that copy.
        auto* append = Find<QPushButton>(*window, "AppendConflictCopy");
        QTest::mouseClick(append, Qt::LeftButton);
        QVERIFY(!append->isEnabled());
        QTest::mouseClick(append, Qt::LeftButton);
        QCOMPARE(Find<QPlainTextEdit>(*form, "Memo1")->toPlainText(),
                 QStringLiteral("mine\n\nwritten on the laptop"));
        QVERIFY(form->Modified());

        gAnswer = 1;  // asked first: cancel keeps the copy
        QTest::mouseClick(Find<QPushButton>(*window, "DeleteConflictCopy"), Qt::LeftButton);
        QVERIFY(kuv::test::Exists(copy));
        gAnswer = 0;
        QTest::mouseClick(Find<QPushButton>(*window, "DeleteConflictCopy"), Qt::LeftButton);
        QVERIFY(!kuv::test::Exists(copy));
        QVERIFY(!show->isEnabled());
    }

    // Why the pane takes no typing outweighs the copies in the status panel;
    // the copies can still be compared.
    void theEntryStatePanelPutsReadOnlyFirst_data() {
        QTest::addColumn<bool>("sealed");
        QTest::addColumn<QString>("copy");  // what follows the entry's name
        QTest::addColumn<QString>("panel");
        const QString syncthing = QStringLiteral(".sync-conflict-20260101-101010-ABCDEFG");
        QTest::newRow("copies") << false << syncthing << QStringLiteral("コピー有");
        QTest::newRow("OneDrive's copy")
            << false << QStringLiteral("-DESKTOP-7QK2M1A") << QStringLiteral("コピー有");
        QTest::newRow("sealed with copies") << true << syncthing << QStringLiteral("ロック中");
    }
    void theEntryStatePanelPutsReadOnlyFirst() {
        QFETCH(bool, sealed);
        QFETCH(QString, copy);
        QFETCH(QString, panel);
        ProgramFolder folder;
        folder.WriteSettings(false, "mine");
        const QDate today = QDate::currentDate();
        folder.WriteEntry(today, "entry");
        if (sealed) {
            QVERIFY(kuv::CryptEncodeFile(folder.EntryPath(today), "other", false));
            QVERIFY(std::rename(folder.EntryPath(today).c_str(),
                                folder.EntryPath(today, ".xda").c_str()) == 0);
        }
        WriteBytes(folder.data() + "/" + today.toString(QStringLiteral("yyyy/MMdd")).toStdString() +
                       copy.toStdString() + ".dia",
                   "written on the laptop");
        auto form = Start(folder);
        QCOMPARE(Find<QLabel>(*form, "StatusPanel3")->text(), panel);
        QVERIFY(Find<QAction>(*form, "ShowConflicts")->isEnabled());
    }
};

QTEST_MAIN(TestConflicts)
#include "test_conflicts.moc"
