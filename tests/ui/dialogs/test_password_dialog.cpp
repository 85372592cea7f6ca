// A start with encryption on: the prompt alone, wrong and right passwords,
// and the end by closing the prompt.
#include <cstdio>
#include <memory>

#include <QApplication>
#include <QDateEdit>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTest>
#include <QToolButton>

#include "crypt/cryptogram.h"
#include "dates/qt/locale_loader.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/support_ui.h"
#include "ui/common/bevel.h"
#include "ui/dialogs/password_dialog.h"
#include "ui/window/main_form.h"

using kuv::test::Cp932;
using kuv::test::Find;
using kuv::test::ProgramFolder;
using kuv::test::ReadBytes;

namespace {

const QString kWrong = QStringLiteral("パスワードが間違っています");

// A program folder whose diary is locked under password (UTF-8 here, code
// page 932 on disk), with today's entry locked and last year's plain.
struct LockedDiary {
    explicit LockedDiary(const char* utf8Password) {
        const std::string password = Cp932(utf8Password);
        folder.WriteSettings(true, password);
        folder.WriteEntry(today, Cp932("鍵のかかった今日"));
        if (!password.empty()) {
            kuv::CryptEncodeFile(folder.EntryPath(today), password, false);
            ::rename(folder.EntryPath(today).c_str(), folder.EntryPath(today, ".xda").c_str());
        }
        folder.WriteEntry(today.addDays(-365), "last year");
    }

    // The prompt, shown and holding the keyboard.
    TPassWordDialog& Prompt() {
        TPassWordDialog* prompt = form->PassWordDialog();
        if (prompt == nullptr) qFatal("no password prompt");
        return *prompt;
    }

    void Start() {
        form = std::make_unique<TMainForm>(folder.paths());
        // Reading the settings at start-up decodes and encodes the file;
        // from here on nothing may change.
        before = folder.Files();
        settingsBytes = ReadBytes(folder.paths().settingsPath);
        if (form->Locked() && !QTest::qWaitForWindowActive(&Prompt())) {
            qWarning("the prompt did not activate");
        }
    }

    // Nothing written, nothing removed since the start.
    bool Untouched() const {
        return folder.Files() == before && ReadBytes(folder.paths().settingsPath) == settingsBytes;
    }

    ProgramFolder folder;
    QDate today = QDate::currentDate();
    std::vector<std::string> before;
    std::string settingsBytes;
    std::unique_ptr<TMainForm> form;
};

void Type(QLineEdit* edit, const QString& text) {
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(edit, &commit);
}

}  // namespace

class TestPassWordDialog : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { kuv::LoadDateLocale(); }
    void init() { kuv::test::RecordBoxes(); }

    void promptAloneAtAStartWithEncryption();
    void layoutOfThePrompt();
    void wrongPasswordKeepsThePromptAndTheText();
    void enterAndOkUnlock_data();
    void enterAndOkUnlock();
    void emptyPasswordOpensWithAnEmptyField();
    void textCodePage932CannotHoldIsAWrongPassword();
    void escapeDoesNothing();
    void closingThePromptEndsWithoutWriting();
    void endOfSessionWhileLockedWritesNothing();
};

void TestPassWordDialog::promptAloneAtAStartWithEncryption() {
    LockedDiary diary("pass");
    diary.Start();
    TMainForm& form = *diary.form;
    TPassWordDialog& prompt = diary.Prompt();
    QVERIFY(form.Locked());
    QVERIFY(!form.isVisible());
    QVERIFY(prompt.isVisible());
    QCOMPARE(prompt.objectName(), QStringLiteral("PassWordDialog"));
    QCOMPARE(prompt.parent(), &form);
    // No entry has been loaded.
    QVERIFY(Find<QPlainTextEdit>(form, "Memo1")->toPlainText().isEmpty());
    QVERIFY(Find<QLabel>(form, "StatusPanel1")->text().isEmpty());
    QCOMPARE(QApplication::focusWidget(), Find<QLineEdit>(prompt, "Edit1"));
    QVERIFY(diary.Untouched());
}

void TestPassWordDialog::layoutOfThePrompt() {
    LockedDiary diary("pass");
    diary.Start();
    TPassWordDialog& prompt = diary.Prompt();
    QCOMPARE(prompt.windowTitle(), QStringLiteral("パスワードチェック"));
    QCOMPARE(prompt.size(), QSize(368, 166));
    QCOMPARE(prompt.minimumSize(), prompt.maximumSize());
    const Qt::WindowFlags flags = prompt.windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    const QPoint centre = prompt.screen()->availableGeometry().center();
    QVERIFY((prompt.geometry().center() - centre).manhattanLength() <= 2);

    QCOMPARE(Find<QWidget>(prompt, "Panel1")->geometry(), QRect(0, 0, 368, 65));
    QCOMPARE(Find<QLabel>(prompt, "Image1")->geometry(), QRect(47, 1, 320, 63));
    QVERIFY(!Find<QLabel>(prompt, "Image1")->hasScaledContents());
    QCOMPARE(Find<QLabel>(prompt, "Label1")->pos(), QPoint(24, 80));
    QCOMPARE(Find<QLabel>(prompt, "Label1")->text(),
             QStringLiteral("パスワードを入力して下さい："));
    auto* edit = Find<QLineEdit>(prompt, "Edit1");
    QCOMPARE(edit->geometry(), QRect(32, 96, 305, 20));
    QCOMPARE(edit->echoMode(), QLineEdit::Password);
    QCOMPARE(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, edit),
             int(u'*'));
    QCOMPARE(Find<TBevel>(prompt, "Bevel1")->geometry(), QRect(8, 128, 353, 9));
    auto* ok = Find<QToolButton>(prompt, "Button");
    QCOMPARE(ok->geometry(), QRect(152, 136, 57, 22));
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QCOMPARE(ok->focusPolicy(), Qt::NoFocus);
    QVERIFY(ok->autoRaise());
    auto* notice = Find<QLabel>(prompt, "Label2");
    QCOMPARE(notice->pos(), QPoint(256, 152));
    QCOMPARE(notice->font().pixelSize(), 11);
    QVERIFY(!notice->text().isEmpty());
}

void TestPassWordDialog::wrongPasswordKeepsThePromptAndTheText() {
    LockedDiary diary("pass");
    diary.Start();
    TPassWordDialog& prompt = diary.Prompt();
    auto* edit = Find<QLineEdit>(prompt, "Edit1");
    QTest::keyClicks(edit, QStringLiteral("Pass"));  // letter case counts
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(kuv::test::Recorded().messages, QStringList{kWrong});
    QVERIFY(prompt.isVisible());
    QVERIFY(!diary.form->isVisible());
    QVERIFY(diary.form->Locked());
    QCOMPARE(edit->text(), QStringLiteral("Pass"));
    QVERIFY(diary.Untouched());

    // There is no limit on the tries: correcting the text opens the diary.
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("pass"));
    QTest::mouseClick(Find<QToolButton>(prompt, "Button"), Qt::LeftButton);
    QCOMPARE(kuv::test::Recorded().messages.size(), 1);
    QVERIFY(!diary.form->Locked());
}

void TestPassWordDialog::enterAndOkUnlock_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    QTest::newRow("Shift+Return") << int(Qt::Key_Return) << int(Qt::ShiftModifier);
    QTest::newRow("Ctrl+Return") << int(Qt::Key_Return) << int(Qt::ControlModifier);
    QTest::newRow("OK button") << 0 << 0;
}

void TestPassWordDialog::enterAndOkUnlock() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    LockedDiary diary("鍵");
    diary.Start();
    TPassWordDialog& prompt = diary.Prompt();
    auto* edit = Find<QLineEdit>(prompt, "Edit1");
    Type(edit, QStringLiteral("鍵"));
    if (key == 0) {
        QTest::mouseClick(Find<QToolButton>(prompt, "Button"), Qt::LeftButton);
    } else {
        QTest::keyClick(edit, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    }
    TMainForm& form = *diary.form;
    QVERIFY(kuv::test::Recorded().messages.isEmpty());
    QVERIFY(!form.Locked());
    QVERIFY(form.isVisible());
    QVERIFY(!prompt.isVisible());
    QCOMPARE(diary.form->PassWordDialog(), &prompt);  // hidden, not destroyed
    QCOMPARE(Find<QDateEdit>(form, "DateTimePicker")->date(), diary.today);
    QCOMPARE(Find<QPlainTextEdit>(form, "Memo1")->toPlainText(),
             QStringLiteral("鍵のかかった今日"));
    QCOMPARE(Find<QPlainTextEdit>(form, "Memo2")->toPlainText(), QStringLiteral("last year"));
    QVERIFY(!form.Modified());
    QVERIFY(diary.Untouched());
}

void TestPassWordDialog::emptyPasswordOpensWithAnEmptyField() {
    LockedDiary diary("");
    diary.Start();
    QTest::keyClick(Find<QLineEdit>(diary.Prompt(), "Edit1"), Qt::Key_Return);
    QVERIFY(!diary.form->Locked());
    QCOMPARE(Find<QPlainTextEdit>(*diary.form, "Memo1")->toPlainText(),
             QStringLiteral("鍵のかかった今日"));
}

void TestPassWordDialog::textCodePage932CannotHoldIsAWrongPassword() {
    LockedDiary diary("pass");
    diary.Start();
    auto* edit = Find<QLineEdit>(diary.Prompt(), "Edit1");
    Type(edit, QStringLiteral("pass😀"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(kuv::test::Recorded().messages, QStringList{kWrong});
    QVERIFY(kuv::test::Recorded().errors.isEmpty());
    QVERIFY(diary.form->Locked());
    QCOMPARE(edit->text(), QStringLiteral("pass😀"));
}

void TestPassWordDialog::escapeDoesNothing() {
    LockedDiary diary("pass");
    diary.Start();
    TPassWordDialog& prompt = diary.Prompt();
    auto* edit = Find<QLineEdit>(prompt, "Edit1");
    QTest::keyClicks(edit, QStringLiteral("pa"));
    QTest::keyClick(edit, Qt::Key_Escape);
    QTest::keyClick(&prompt, Qt::Key_Escape);
    QVERIFY(prompt.isVisible());
    QVERIFY(!diary.form->Ended());
    QCOMPARE(edit->text(), QStringLiteral("pa"));
    QVERIFY(kuv::test::Recorded().messages.isEmpty());
}

void TestPassWordDialog::closingThePromptEndsWithoutWriting() {
    LockedDiary diary("pass");
    diary.Start();
    TPassWordDialog& prompt = diary.Prompt();
    QTest::keyClicks(Find<QLineEdit>(prompt, "Edit1"), QStringLiteral("typed"));
    QVERIFY(prompt.close());
    QVERIFY(diary.form->Ended());
    QVERIFY(!diary.form->isVisible());
    QVERIFY(kuv::test::Recorded().messages.isEmpty());
    QVERIFY(diary.Untouched());
    // The main window, closed in its turn as the program ends, writes nothing either.
    diary.form->close();
    QVERIFY(diary.Untouched());
}

void TestPassWordDialog::endOfSessionWhileLockedWritesNothing() {
    LockedDiary diary("pass");
    diary.Start();
    diary.form->EndSession();
    QVERIFY(diary.form->Ended());
    QVERIFY(diary.Untouched());
}

QTEST_MAIN(TestPassWordDialog)
#include "test_password_dialog.moc"
