// The template for new days in the main window's upper pane: the first
// keystroke or input method text of an empty new day puts it in, the typing
// goes to its mark, and a day left holding only the template stays empty.
#include <memory>

#include <QAction>
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QTest>

#include "dates/qt/locale_loader.h"
#include "platform/fileio.h"
#include "tests/ui/support_ui.h"
#include "ui/window/main_form.h"

using kuv::test::Cp932;
using kuv::test::Find;
using kuv::test::ProgramFolder;
using kuv::test::ReadBytes;
using kuv::test::ShowMainForm;

namespace {

enum class Typing { Key, Return, Commit, ComposeThenCommit, Shortcut, Backspace };

void Type(QPlainTextEdit* pane, Typing typing) {
    auto send = [pane](const QString& preedit, const QString& commit) {
        QInputMethodEvent event(preedit, {});
        event.setCommitString(commit);
        QApplication::sendEvent(pane, &event);
    };
    switch (typing) {
        case Typing::Key:
            QTest::keyClick(pane, Qt::Key_X);
            break;
        case Typing::Return:
            QTest::keyClick(pane, Qt::Key_Return);
            break;
        case Typing::Commit:
            send(QString(), QStringLiteral("晴れ"));
            break;
        case Typing::ComposeThenCommit:
            send(QStringLiteral("は"), QString());
            send(QString(), QStringLiteral("葉"));
            break;
        case Typing::Shortcut:
            QTest::keyClick(pane, Qt::Key_A, Qt::ControlModifier);
            break;
        case Typing::Backspace:
            QTest::keyClick(pane, Qt::Key_Backspace);
            break;
    }
}

}  // namespace

class TestNewDayTemplate : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { kuv::LoadDateLocale(); }
    void init() { kuv::test::RecordBoxes(); }

    void firstTypingPutsTheTemplateIn_data();
    void firstTypingPutsTheTemplateIn();
    void anUntouchedTemplateIsNotSaved();
    void aDayWithAnEntryGetsNoTemplate();
};

void TestNewDayTemplate::firstTypingPutsTheTemplateIn_data() {
    QTest::addColumn<int>("typing");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cursor");
    const auto row = [](const char* name, Typing typing, const char* text, int cursor) {
        QTest::newRow(name) << static_cast<int>(typing) << QString::fromUtf8(text) << cursor;
    };
    row("key", Typing::Key, "天気：\nx\n以上", 5);
    row("return", Typing::Return, "天気：\n\n\n以上", 5);
    row("commit", Typing::Commit, "天気：\n晴れ\n以上", 6);
    row("composition", Typing::ComposeThenCommit, "天気：\n葉\n以上", 5);
    // Neither a shortcut nor a deletion begins the typing.
    row("shortcut", Typing::Shortcut, "", 0);
    row("backspace", Typing::Backspace, "", 0);
}

void TestNewDayTemplate::firstTypingPutsTheTemplateIn() {
    QFETCH(int, typing);
    QFETCH(QString, text);
    QFETCH(int, cursor);
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    form->Settings().NewDayTemplate = Cp932("天気：\r\n|\r\n以上");
    auto* pane = Find<QPlainTextEdit>(*form, "Memo1");
    pane->setFocus();
    Type(pane, static_cast<Typing>(typing));
    QCOMPARE(pane->toPlainText(), text);
    QCOMPARE(pane->textCursor().position(), cursor);
    // Once a day: emptied again, the pane takes typing as it is.
    pane->clear();
    QTest::keyClick(pane, Qt::Key_Y);
    // A row that began no typing has the template still to come.
    QCOMPARE(pane->toPlainText(),
             text.isEmpty() ? QStringLiteral("天気：\ny\n以上") : QStringLiteral("y"));
}

void TestNewDayTemplate::anUntouchedTemplateIsNotSaved() {
    ProgramFolder folder;
    const QDate today = QDate::currentDate();
    auto form = ShowMainForm(folder);
    form->Settings().NewDayTemplate = Cp932("'天気：'\r\n|");
    auto* pane = Find<QPlainTextEdit>(*form, "Memo1");
    pane->setFocus();
    QTest::keyClick(pane, Qt::Key_X);
    QTest::keyClick(pane, Qt::Key_Backspace);
    QCOMPARE(pane->toPlainText(), QStringLiteral("天気：\n"));
    Find<QAction>(*form, "N4")->trigger();  // a day back saves the day left
    QVERIFY(!kuv::fsio::IsFile(folder.EntryPath(today)));

    // The next empty day takes it too; typed into, it is saved with the text.
    pane->setFocus();
    QTest::keyClick(pane, Qt::Key_Z);
    Find<QAction>(*form, "N5")->trigger();
    QCOMPARE(ReadBytes(folder.EntryPath(today.addDays(-1))), Cp932("天気：\r\nz"));
}

void TestNewDayTemplate::aDayWithAnEntryGetsNoTemplate() {
    ProgramFolder folder;
    folder.WriteEntry(QDate::currentDate(), Cp932("書いた"));
    auto form = ShowMainForm(folder);
    form->Settings().NewDayTemplate = Cp932("天気：");
    auto* pane = Find<QPlainTextEdit>(*form, "Memo1");
    pane->setFocus();
    pane->clear();  // emptied by hand: the day still has its entry
    QTest::keyClick(pane, Qt::Key_X);
    QCOMPARE(pane->toPlainText(), QStringLiteral("x"));
}

QTEST_MAIN(TestNewDayTemplate)
#include "test_new_day_template.moc"
