// Typing kept as a draft while the window runs, and put back by the next
// window after one that ended without a save; in a locked diary never plain.
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>

#include "app/recovery.h"
#include "dates/qt/locale_loader.h"
#include "drafts/draft_store.h"
#include "history/entry_history.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/support_ui.h"
#include "ui/dialogs/password_dialog.h"
#include "ui/window/main_form.h"

using kuv::test::Find;
using kuv::test::ProgramFolder;
using kuv::test::ReadBytes;

namespace {

// What is typed: ASCII, and words an input method commits.
const QString kAscii = QStringLiteral("zqxkeptword");
const QString kWords = QStringLiteral("秘密の言葉");

std::unique_ptr<TMainForm> Start(const ProgramFolder& folder, const QString& password) {
    auto form = std::make_unique<TMainForm>(folder.paths());
    if (form->Locked()) emit form->PassWordDialog()->passwordEntered(password);
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) qWarning("no window");
    return form;
}

void TypeInto(QPlainTextEdit* pane) {
    pane->setFocus();
    pane->moveCursor(QTextCursor::End);
    QTest::keyClicks(pane, kAscii);
    QInputMethodEvent commit;
    commit.setCommitString(kWords);
    QApplication::sendEvent(pane, &commit);
    // Words still being composed are no part of the text yet.
    QInputMethodEvent composing(QStringLiteral("みかくてい"), {});
    QApplication::sendEvent(pane, &composing);
}

// Every file below folder whose bytes hold needle.
QStringList FilesHolding(const std::string& folder, const std::string& needle) {
    QStringList found;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
        if (!entry.is_regular_file()) continue;
        if (ReadBytes(entry.path().string()).find(needle) != std::string::npos) {
            found << QString::fromStdString(entry.path().string());
        }
    }
    return found;
}

}  // namespace

class TestDraftKeeper : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { kuv::LoadDateLocale(); }
    void init() {
        kuv::test::RecordBoxes();
        state = std::make_unique<kuv::test::TempDir>();
        ::setenv("XDG_STATE_HOME", state->path().c_str(), 1);
    }
    void cleanup() { state.reset(); }

    void aDraftOfAnEntryChangedMeanwhileIsCompared();
    void aDraftThatCannotBeReadIsNamedAndKept();
    void typingComesBackAfterAnEndWithoutSave_data();
    void typingComesBackAfterAnEndWithoutSave();

  private:
    std::unique_ptr<kuv::test::TempDir> state;
};

void TestDraftKeeper::typingComesBackAfterAnEndWithoutSave_data() {
    QTest::addColumn<bool>("locked");
    QTest::newRow("plain") << false;
    QTest::newRow("locked") << true;
}

void TestDraftKeeper::typingComesBackAfterAnEndWithoutSave() {
    QFETCH(bool, locked);
    ProgramFolder folder;
    folder.WriteSettings(locked, locked ? "pw" : "");
    const QString password = QStringLiteral("pw");
    const std::string stateFolder = *kuv::UserStateFolder();
    {
        auto form = Start(folder, password);
        QVERIFY(!form->Locked());
        TypeInto(Find<QPlainTextEdit>(*form, "Memo1"));
        QVERIFY(form->Modified());
        QTRY_VERIFY_WITH_TIMEOUT(!kuv::ListDraftFiles(stateFolder, folder.data()).empty(), 10000);
        // The window goes without closing, as a killed program would.
    }
    const QDate today = QDate::currentDate();
    const char* ext = locked ? ".xda" : ".dia";
    QVERIFY(!kuv::test::Exists(folder.EntryPath(today, ext)));
    if (locked) {
        // The typed words are nowhere plain: not in the draft, the diary or its history.
        const std::string history = kuv::DiaryHistoryFolder(*kuv::UserHistoryRoot(), folder.data());
        for (const std::string& needle :
             {kAscii.toStdString(), kWords.toStdString(), kuv::test::Cp932("秘密の言葉")}) {
            for (const std::string& place : {state->path(), folder.paths().appDir, history}) {
                QCOMPARE(FilesHolding(place, needle), QStringList());
            }
        }
    }

    auto form = Start(folder, password);
    QVERIFY(!form->Locked());
    QCOMPARE(Find<QPlainTextEdit>(*form, "Memo1")->toPlainText(), kAscii + kWords);
    QVERIFY(form->Modified());
    QCOMPARE(Find<QLabel>(*form, "StatusNotice")->text(),
             QStringLiteral("前回保存されなかった文章を戻しました"));
    QCOMPARE(kuv::test::Recorded().messages, QStringList());
    // Closing saves it as the entry and the draft is gone.
    QVERIFY(form->close());
    QVERIFY(kuv::test::Exists(folder.EntryPath(today, ext)));
    QTRY_VERIFY(kuv::ListDraftFiles(stateFolder, folder.data()).empty());
}

void TestDraftKeeper::aDraftOfAnEntryChangedMeanwhileIsCompared() {
    ProgramFolder folder;
    const QDate today = QDate::currentDate();
    {
        auto form = Start(folder, QString());
        TypeInto(Find<QPlainTextEdit>(*form, "Memo1"));
        QTRY_VERIFY_WITH_TIMEOUT(
            !kuv::ListDraftFiles(*kuv::UserStateFolder(), folder.data()).empty(), 10000);
    }
    // Another machine wrote the day before the next start.
    folder.WriteEntry(today, "written elsewhere");
    auto form = Start(folder, QString());
    QCOMPARE(Find<QPlainTextEdit>(*form, "Memo1")->toPlainText(),
             QStringLiteral("written elsewhere"));
    QVERIFY(!form->Modified());
    QCOMPARE(ReadBytes(folder.EntryPath(today)), std::string("written elsewhere"));
    QTRY_VERIFY(kuv::test::TopLevel<QWidget>("ConflictWindow") != nullptr &&
                kuv::test::TopLevel<QWidget>("ConflictWindow")->isVisible());
    QCOMPARE(kuv::test::Recorded().errors, QStringList());
}

void TestDraftKeeper::aDraftThatCannotBeReadIsNamedAndKept() {
    ProgramFolder folder;
    const QDate today = QDate::currentDate();
    const std::string path = kuv::DraftPath(*kuv::UserStateFolder(), folder.data(), today.year(),
                                            today.month(), today.day());
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    kuv::test::WriteBytes(path, "not a draft");
    auto form = Start(folder, QString());
    QCOMPARE(Find<QPlainTextEdit>(*form, "Memo1")->toPlainText(), QString());
    QVERIFY(Find<QLabel>(*form, "DraftNotice")->isVisible());
    QVERIFY(!Find<QLabel>(*form, "DraftNotice")->text().isEmpty());
    QCOMPARE(kuv::test::Recorded().messages, QStringList());
    QCOMPARE(kuv::test::Recorded().errors, QStringList());
    QCOMPARE(ReadBytes(path), std::string("not a draft"));
    Find<QAction>(*form, "CloseDraftNotice")->trigger();
    QTRY_VERIFY(form->findChild<QLabel*>(QStringLiteral("DraftNotice")) == nullptr);
}

QTEST_MAIN(TestDraftKeeper)
#include "test_draft_keeper.moc"
