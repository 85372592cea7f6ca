// A strong-locked diary in the window: its entries are UTF-8 inside, so the
// panes show every character as it is, and what is typed is sealed as typed,
// characters that code page 932 cannot hold included.
#include <sys/stat.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include "dates/qt/locale_loader.h"
#include "lock/strong_lock.h"
#include "platform/fileio.h"
#include "tests/support/session_rig.h"
#include "tests/ui/support_ui.h"
#include "ui/dialogs/password_dialog.h"
#include "ui/window/main_form.h"

using kuv::test::Find;
using kuv::test::ProgramFolder;
using kuv::test::ShowMainForm;
using kuv::test::WriteBytes;

namespace {

std::string DayLabel(const QDate& day) {
    return day.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

std::string EntryPath(const ProgramFolder& folder, const QDate& day) {
    return folder.EntryPath(day, ".kvd");
}

void Seal(const ProgramFolder& folder, const QDate& day, const QString& text) {
    const auto key = kuv::lock::KeyFor(folder.data());
    ::mkdir(kuv::fsio::ParentOf(EntryPath(folder, day)).c_str(), 0700);
    WriteBytes(EntryPath(folder, day),
               *kuv::lock::SealEntry(text.toStdString(), DayLabel(day), key->id, key->key));
}

QString Opened(const ProgramFolder& folder, const QDate& day) {
    std::string utf8;
    if (kuv::lock::ReadStrongEntry(EntryPath(folder, day), DayLabel(day),
                                   *kuv::lock::KeyFor(folder.data()),
                                   utf8) != kuv::lock::EntryRead::Opened) {
        return QStringLiteral("<not opened>");
    }
    return QString::fromStdString(utf8);
}

}  // namespace

class TestStrongText : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { kuv::LoadDateLocale(); }
    void init() { kuv::test::RecordBoxes(); }
    void anyCharacterShowsAndIsSavedAsTyped_data();
    void anyCharacterShowsAndIsSavedAsTyped();
};

void TestStrongText::anyCharacterShowsAndIsSavedAsTyped_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::newRow("code page 932 only") << QStringLiteral("晴れ") << QStringLiteral("のち雨");
    QTest::newRow("an emoji stored") << QStringLiteral("晴れ😀") << QStringLiteral("のち雨");
    QTest::newRow("an emoji typed") << QStringLiteral("晴れ") << QStringLiteral("☂🌧");
    QTest::newRow("another script") << QStringLiteral("€ 가") << QStringLiteral("Ω");
}

void TestStrongText::anyCharacterShowsAndIsSavedAsTyped() {
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    ProgramFolder folder;
    kuv::test::PutUnderStrongLock(folder.data());
    const QDate today = QDate::currentDate();
    Seal(folder, today, stored);
    Seal(folder, today.addDays(-365), stored + QStringLiteral(" 去年"));

    // The prompt opens the key file with the password the test key has.
    auto form = std::make_unique<TMainForm>(folder.paths());
    QVERIFY(form->Locked());
    emit form->PassWordDialog()->passwordEntered(QStringLiteral("pass"));
    QTRY_VERIFY(!form->Locked());
    form->show();
    auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
    QCOMPARE(memo1->toPlainText(), stored);
    QCOMPARE(Find<QPlainTextEdit>(*form, "Memo2")->toPlainText(), stored + QStringLiteral(" 去年"));
    QVERIFY(!memo1->isReadOnly());

    QTest::mouseClick(memo1->viewport(), Qt::LeftButton);
    memo1->moveCursor(QTextCursor::End);
    QInputMethodEvent commit;
    commit.setCommitString(typed);
    QApplication::sendEvent(memo1, &commit);
    QTest::mouseClick(Find<QToolButton>(*form, "SpeedButton4"), Qt::LeftButton);

    QVERIFY2(kuv::test::Recorded().errors.isEmpty(),
             qPrintable(kuv::test::Recorded().errors.join(QLatin1Char('\n'))));
    QCOMPARE(Opened(folder, today), stored + typed);
    QVERIFY(!kuv::test::Exists(folder.EntryPath(today)));
    form.reset();
    kuv::lock::ForgetKey(folder.data());
}

QTEST_MAIN(TestStrongText)
#include "test_strong_text.moc"
