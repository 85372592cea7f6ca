// 編集 → 以前の版: an entry typed over comes back byte for byte, and the
// text it replaces becomes a version itself.
#include <cstdio>
#include <memory>
#include <string>

#include <QAction>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "crypt/cryptogram.h"
#include "dates/qt/locale_loader.h"
#include "history/entry_history.h"
#include "tests/ui/support_ui.h"
#include "ui/dialogs/password_dialog.h"
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
    void anOldTextComesBackByteForByte_data();
    void anOldTextComesBackByteForByte();
};

// The entry's text, opened with the password when it is locked.
std::string EntryText(const ProgramFolder& folder, const QDate& day, bool locked) {
    if (!locked) return ReadBytes(folder.EntryPath(day));
    std::string plain;
    if (kuv::CryptDecodeBytes(ReadBytes(folder.EntryPath(day, ".xda")), "pw", plain) !=
        kuv::CryptResult::Decoded) {
        return "<not opened>";
    }
    return plain;
}

void TestHistoryCommands::anOldTextComesBackByteForByte_data() {
    QTest::addColumn<bool>("locked");
    QTest::newRow("plain") << false;
    QTest::newRow("locked") << true;
}

void TestHistoryCommands::anOldTextComesBackByteForByte() {
    QFETCH(bool, locked);
    ProgramFolder folder;
    const QDate today = QDate::currentDate();
    const std::string old = Cp932("古い文章\r\n二行目\r\n三行目");
    folder.WriteEntry(today, old);
    folder.WriteSettings(locked, locked ? "pw" : "");
    if (locked) {
        kuv::CryptEncodeFile(folder.EntryPath(today), "pw", false);
        ::rename(folder.EntryPath(today).c_str(), folder.EntryPath(today, ".xda").c_str());
    }
    auto form = std::make_unique<TMainForm>(folder.paths());
    if (locked) emit form->PassWordDialog()->passwordEntered(QStringLiteral("pw"));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QVERIFY(!form->Locked());
    auto* memo = Find<QPlainTextEdit>(*form, "Memo1");
    memo->setFocus();
    memo->selectAll();
    QTest::keyClicks(memo, QStringLiteral("typed over"));
    // Stepping away saves the new text, and back shows it.
    Find<QAction>(*form, "N5")->trigger();
    Find<QAction>(*form, "N4")->trigger();
    QCOMPARE(EntryText(folder, today, locked), std::string("typed over"));

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
    QCOMPARE(EntryText(folder, today, locked), old);
    QCOMPARE(memo->toPlainText(), QStringLiteral("古い文章\n二行目\n三行目"));
    QVERIFY(!form->Session().Unsaved());
    // The replaced text is the newest version now.
    QTRY_COMPARE(list->count(), 2);
    const std::string history = kuv::DiaryHistoryFolder(*kuv::UserHistoryRoot(), folder.data());
    const std::string year = today.toString(QStringLiteral("yyyy")).toStdString();
    const std::string entry = today.toString(QStringLiteral("MMdd")).toStdString();
    const kuv::VersionList versions = kuv::ListEntryVersions(history, year, entry);
    QCOMPARE(versions.versions.size(), std::size_t{2});
    std::string bytes;
    // A locked entry's version is locked too, and opens with the password.
    bool versionLocked = !locked;
    QVERIFY(kuv::ReadEntryVersion(versions.versions.front().path, bytes, versionLocked));
    QCOMPARE(versionLocked, locked);
    std::string plain = bytes;
    if (locked) {
        QCOMPARE(kuv::CryptDecodeBytes(bytes, "pw", plain), kuv::CryptResult::Decoded);
    }
    QCOMPARE(plain, std::string("typed over"));
    QCOMPARE(kuv::test::Recorded().messages, QStringList());
    QCOMPARE(kuv::test::Recorded().errors, QStringList());
    // The open list follows the day shown.
    Find<QAction>(*form, "N5")->trigger();
    QTRY_COMPARE(list->count(), 0);
    Find<QAction>(*form, "N4")->trigger();
    // Leaving the day saved it again (a locked save writes a new container).
    const std::size_t now = kuv::ListEntryVersions(history, year, entry).versions.size();
    QVERIFY(now >= 2);
    QTRY_COMPARE(list->count(), static_cast<int>(now));
}

QTEST_MAIN(TestHistoryCommands)
#include "test_history_commands.moc"
