// The strong lock from the window: the prompt opens a strong-locked diary on
// the worker, the settings dialog turns the lock on and off, and the
// password's changes go through the ファイル menu.
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

#include "app/settings_file.h"
#include "crypt/cryptogram.h"
#include "dates/qt/locale_loader.h"
#include "lock/lock_convert.h"
#include "tests/ui/support_ui.h"
#include "ui/common/background_work.h"
#include "ui/dialogs/password_dialog.h"
#include "ui/dialogs/setting_dialog.h"
#include "ui/lock/lock_password_dialog.h"
#include "ui/lock/recovery_code_dialog.h"
#include "ui/lock/strong_lock_commands.h"
#include "ui/window/main_form.h"

using kuv::test::Cp932;
using kuv::test::Find;
using kuv::test::ProgramFolder;
using kuv::test::ReadBytes;
namespace lock = kuv::lock;

namespace {

const lock::Argon2Params kFast{1, 8192};

std::string Label(const QDate& day) {
    return lock::DayLabel(day.year(), day.month(), day.day());
}

// A diary with today's entry, turned to the strong lock under "pw" as the
// tool does it (the Windows lock first when windowsKey is given).
struct Diary {
    ProgramFolder folder;
    QDate today = QDate::currentDate();
    std::string code;
    std::unique_ptr<TMainForm> form;

    explicit Diary(bool strong, const std::string& windowsKey = {}, bool recorded = true) {
        folder.WriteEntry(today, Cp932("今日の日記"));
        folder.WriteSettings(!windowsKey.empty(), windowsKey);
        if (!windowsKey.empty()) {
            kuv::CryptEncodeFile(folder.EntryPath(today), windowsKey, false);
            ::rename(folder.EntryPath(today).c_str(), folder.EntryPath(today, ".xda").c_str());
        }
        if (!strong) return;
        if (!lock::TurnOn(folder.data(), "pw", windowsKey, kFast, code).ok()) qFatal("no lock");
        if (recorded) kuv::StoreStrongLockSetting(folder.paths(), {}, true, "", false);
    }

    kuv::TDiarySettings Settings() const {
        kuv::TDiarySettings s = kuv::DefaultSettings(folder.paths());
        kuv::ReadSettingsFile(s, folder.paths(), kuv::SettingsAccess::ReadOnly);
        return s;
    }
    // Today's sealed entry opened with password, or what went wrong.
    std::string Sealed(const std::string& password) const {
        lock::DiaryKey key;
        if (!lock::OpenDiaryKey(folder.data(), password, lock::SlotKind::Password, key).ok()) {
            return "<key not opened>";
        }
        std::string utf8;
        if (lock::ReadStrongEntry(folder.EntryPath(today, ".kvd"), Label(today), key, utf8) !=
            lock::EntryRead::Opened) {
            return "<entry not opened>";
        }
        return utf8;
    }
    // Starts the window; a prompt, when there is one, gets password.
    void Start(const QString& password = QStringLiteral("pw")) {
        form = std::make_unique<TMainForm>(folder.paths());
        if (form->Locked()) emit form->PassWordDialog()->passwordEntered(password);
        QTRY_VERIFY(!form->Locked());
        form->show();
    }
    // The strong lock's question dialog, opened by the settings dialog's
    // button or by a menu command.
    TLockPasswordDialog* Question(const char* action = nullptr) {
        if (action != nullptr) {
            Find<QAction>(*form, action)->trigger();
        } else {
            Find<QAction>(*form, "N3")->trigger();
            auto* settings = kuv::test::TopLevel<TSettingDialog>("SettingDialog");
            QTest::mouseClick(Find<QToolButton>(*settings, "StrongLockButton"), Qt::LeftButton);
        }
        return form->findChild<TLockPasswordDialog*>(QStringLiteral("LockPasswordDialog"));
    }
    TRecoveryCodeDialog* Recovery() const {
        return form->findChild<TRecoveryCodeDialog*>(QStringLiteral("RecoveryCodeDialog"));
    }
};

// What stands between the prompt and the diary.
enum class Trouble { None, DamagedKeyFile, ShortMemory };

// The password slot asks for 1 GiB, and the process may map only a little
// more than it has; the limit is given back when it goes.
struct ShortMemory {
    rlimit before{};
    explicit ShortMemory(const std::string& dataPath) {
        lock::KeyFile file;
        if (!lock::LoadKeyFile(dataPath, file).ok()) qFatal("no key file");
        for (lock::KeySlot& slot : file.keySlots) slot.params.memLimit = lock::kMaxMemLimit;
        if (!lock::StoreKeyFile(dataPath, file).ok()) qFatal("key file not stored");
        std::ifstream status("/proc/self/status");
        std::string word;
        rlim_t mapped = 0;
        while (status >> word) {
            if (word == "VmSize:") {
                status >> mapped;
                break;
            }
        }
        ::getrlimit(RLIMIT_AS, &before);
        rlimit tight = before;
        tight.rlim_cur = mapped * 1024 + (rlim_t{256} << 20);
        ::setrlimit(RLIMIT_AS, &tight);
    }
    ~ShortMemory() { ::setrlimit(RLIMIT_AS, &before); }
};

void Fill(QWidget& dialog, const char* field, const QString& text) {
    if (!text.isNull()) Find<QLineEdit>(dialog, field)->setText(text);
}

}  // namespace

class TestStrongLock : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        kuv::LoadDateLocale();
        TStrongLockCommands::SetArgon2Params(kFast);
    }
    void init() { kuv::test::RecordBoxes(); }
    void promptOpensOnTheWorker_data();
    void promptOpensOnTheWorker();
    void settingsFollowALockTheyNeverHeardOf();
    void turningOnAsksThePasswordTheDiaryNeeds_data();
    void turningOnAsksThePasswordTheDiaryNeeds();
    void cancellingTheLockLeavesTheDiaryAsItWas();
    void turningOffGoesWhereTheUserChose_data();
    void turningOffGoesWhereTheUserChose();
    void anEntryTheWindowsFormatCannotHoldStopsTheWayBack();
    void passwordChanges_data();
    void passwordChanges();
    void recoveryCodeClosesOnlyOnceKept_data();
    void recoveryCodeClosesOnlyOnceKept();
};

void TestStrongLock::promptOpensOnTheWorker_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("trouble");
    QTest::addColumn<QString>("message");  // empty: the diary opens
    const int none = static_cast<int>(Trouble::None);
    QTest::newRow("right") << QStringLiteral("pw") << none << QString();
    QTest::newRow("wrong") << QStringLiteral("px") << none
                           << QString::fromUtf8(lock::LockMessage(lock::LockStatus::WrongPassword));
    QTest::newRow("damaged key file")
        << QStringLiteral("pw") << static_cast<int>(Trouble::DamagedKeyFile)
        << QStringLiteral("壊れています");
    // The sanitizers' allocator ends the process on a refused mapping.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    QTest::newRow("short memory") << QStringLiteral("pw") << static_cast<int>(Trouble::ShortMemory)
                                  << QStringLiteral("1024 MiB のメモリ");
#endif
}

void TestStrongLock::promptOpensOnTheWorker() {
    QFETCH(QString, typed);
    QFETCH(int, trouble);
    QFETCH(QString, message);
    Diary d(true);
    std::unique_ptr<ShortMemory> shortMemory;
    if (trouble == static_cast<int>(Trouble::ShortMemory)) {
        shortMemory = std::make_unique<ShortMemory>(d.folder.data());
    }
    if (trouble == static_cast<int>(Trouble::DamagedKeyFile)) {
        std::string key = ReadBytes(lock::KeyFilePath(d.folder.data()));
        key[key.size() / 2] ^= 0x40;
        kuv::test::WriteBytes(lock::KeyFilePath(d.folder.data()), key);
    }
    d.form = std::make_unique<TMainForm>(d.folder.paths());
    QVERIFY(d.form->Locked());
    TPassWordDialog* prompt = d.form->PassWordDialog();
    QVERIFY(prompt != nullptr);
    // The job is held back until the prompt has been seen busy.
    std::atomic<bool> release{false};
    kuv::gBeforeJobHook = [&release] {
        while (!release) std::this_thread::yield();
    };
    Find<QLineEdit>(*prompt, "Edit1")->setText(typed);
    QTest::mouseClick(Find<QToolButton>(*prompt, "Button"), Qt::LeftButton);
    QVERIFY(!Find<QLineEdit>(*prompt, "Edit1")->isEnabled());
    QVERIFY(!Find<QToolButton>(*prompt, "Button")->isEnabled());
    QVERIFY(!Find<QProgressBar>(*prompt, "BusyBar")->isHidden());
    release = true;
    QTRY_VERIFY(!prompt->Busy());
    kuv::gBeforeJobHook = nullptr;
    shortMemory.reset();
    const QStringList& messages = kuv::test::Recorded().messages;
    if (message.isEmpty()) {
        QVERIFY(!d.form->Locked());
        QCOMPARE(messages, QStringList());
        QCOMPARE(Find<QPlainTextEdit>(*d.form, "Memo1")->toPlainText(),
                 QStringLiteral("今日の日記"));
        QVERIFY(Find<QAction>(*d.form, "RekeyDiary1")->isEnabled());
        // What is typed is saved sealed, as the day is left.
        d.form->show();
        auto* memo = Find<QPlainTextEdit>(*d.form, "Memo1");
        memo->setFocus();
        memo->moveCursor(QTextCursor::End);
        QTest::keyClicks(memo, QStringLiteral(" plus"));
        Find<QAction>(*d.form, "N5")->trigger();
        QCOMPARE(d.Sealed("pw"), std::string("今日の日記 plus"));
        QVERIFY(!QFile::exists(QString::fromStdString(d.folder.EntryPath(d.today))));
    } else {
        QVERIFY(d.form->Locked());
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(message), qPrintable(messages[0]));
        QVERIFY(Find<QLineEdit>(*prompt, "Edit1")->isEnabled());
    }
    lock::ForgetKey(d.folder.data());
}

void TestStrongLock::settingsFollowALockTheyNeverHeardOf() {
    // Locked from the Windows lock, and cut off before the settings were written.
    Diary d(true, "pw", false);
    QVERIFY(d.Settings().UseEncryption);
    d.Start();
    QCOMPARE(Find<QPlainTextEdit>(*d.form, "Memo1")->toPlainText(), QStringLiteral("今日の日記"));
    const kuv::TDiarySettings s = d.Settings();
    QVERIFY(s.StrongLock);
    QVERIFY(!s.UseEncryption);
    QVERIFY(s.Password.empty());
    lock::ForgetKey(d.folder.data());
}

void TestStrongLock::turningOnAsksThePasswordTheDiaryNeeds_data() {
    QTest::addColumn<QString>("windowsKey");  // the Windows lock's password, or none
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<QString>("again");
    QTest::addColumn<QString>("error");  // empty: the lock is on under password
    QTest::addColumn<QString>("password");
    const QString none;
    QTest::newRow("new password twice")
        << none << none << QStringLiteral("新しい鍵") << QStringLiteral("新しい鍵") << none
        << QStringLiteral("新しい鍵");
    QTest::newRow("typed twice unlike")
        << none << none << QStringLiteral("abc") << QStringLiteral("abd")
        << QStringLiteral("一致しません") << none;
    QTest::newRow("windows lock keeps its password")
        << QStringLiteral("pw") << QStringLiteral("pw") << none << none << none
        << QStringLiteral("pw");
    QTest::newRow("windows lock, another password")
        << QStringLiteral("pw") << QStringLiteral("px") << none << none
        << QStringLiteral("起動パスワードが違います") << none;
}

void TestStrongLock::turningOnAsksThePasswordTheDiaryNeeds() {
    QFETCH(QString, windowsKey);
    QFETCH(QString, secret);
    QFETCH(QString, newPassword);
    QFETCH(QString, again);
    QFETCH(QString, error);
    QFETCH(QString, password);
    Diary d(false, windowsKey.toStdString());
    d.Start(windowsKey);
    // A change still in the pane is saved first, and sealed with the rest.
    auto* memo = Find<QPlainTextEdit>(*d.form, "Memo1");
    memo->setFocus();
    memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(memo, QStringLiteral(" plus"));
    const auto before = d.folder.Files();

    TLockPasswordDialog* question = d.Question();
    QVERIFY(question != nullptr);
    Fill(*question, "LockSecret", secret);
    Fill(*question, "LockNewPassword", newPassword);
    Fill(*question, "LockNewPasswordAgain", again);
    QTest::mouseClick(Find<QPushButton>(*question, "LockOk"), Qt::LeftButton);
    if (!error.isEmpty()) {
        QVERIFY(Find<QLabel>(*question, "LockError")->text().contains(error));
        QCOMPARE(d.folder.Files(), before);
        QVERIFY(!lock::HasStrongLock(d.folder.data()));
        return;
    }
    QTRY_VERIFY(d.Recovery() != nullptr);
    QVERIFY(!Find<QLabel>(*d.Recovery(), "RecoveryCode")->text().isEmpty());
    QCOMPARE(d.Sealed(password.toStdString()), std::string("今日の日記 plus"));
    for (const std::string& f : d.folder.Files()) {
        QVERIFY2(f.ends_with(".kvd") || f == "diary.ini" || f.starts_with("kuvandoro.key"),
                 f.c_str());
    }
    const kuv::TDiarySettings s = d.Settings();
    QVERIFY(s.StrongLock);
    QVERIFY(s.Password.empty());
    QVERIFY(!s.UseEncryption);
    // The panes go on reading and writing under the new lock.
    QCOMPARE(memo->toPlainText(), QStringLiteral("今日の日記 plus"));
    QVERIFY(Find<QAction>(*d.form, "ChangeLockPassword1")->isEnabled());
    QCOMPARE(kuv::test::Recorded().messages, QStringList());
    lock::ForgetKey(d.folder.data());
}

void TestStrongLock::cancellingTheLockLeavesTheDiaryAsItWas() {
    Diary d(false, "pw");
    d.Start();
    const auto before = d.folder.Files();
    std::atomic<bool> release{false};
    kuv::gBeforeJobHook = [&release] {
        while (!release) std::this_thread::yield();
    };
    TLockPasswordDialog* question = d.Question();
    Fill(*question, "LockSecret", QStringLiteral("pw"));
    QTest::mouseClick(Find<QPushButton>(*question, "LockOk"), Qt::LeftButton);
    auto* progress = d.form->findChild<QProgressDialog*>(QStringLiteral("JobProgress"));
    QVERIFY(progress != nullptr);
    progress->findChild<QPushButton*>()->click();
    release = true;
    QTRY_VERIFY(!question->Busy());
    kuv::gBeforeJobHook = nullptr;
    QVERIFY(Find<QLabel>(*question, "LockError")
                ->text()
                .contains(QString::fromUtf8(lock::LockMessage(lock::LockStatus::Cancelled))));
    QCOMPARE(d.folder.Files(), before);
    std::string text;
    QCOMPARE(kuv::CryptDecodeBytes(ReadBytes(d.folder.EntryPath(d.today, ".xda")), "pw", text),
             kuv::CryptResult::Decoded);
    QCOMPARE(text, Cp932("今日の日記"));
    const kuv::TDiarySettings s = d.Settings();
    QVERIFY(!s.StrongLock);
    QCOMPARE(s.Password, std::string("pw"));
    QCOMPARE(d.Recovery(), nullptr);
}

void TestStrongLock::turningOffGoesWhereTheUserChose_data() {
    QTest::addColumn<bool>("plain");
    QTest::addColumn<bool>("warningTaken");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("error");  // empty: the lock is off
    QTest::newRow("windows container") << false << false << QStringLiteral("pw") << QString();
    QTest::newRow("plain, warning taken") << true << true << QStringLiteral("pw") << QString();
    QTest::newRow("plain, warning not taken")
        << true << false << QStringLiteral("pw") << QStringLiteral("警告");
    QTest::newRow("wrong password")
        << false << false << QStringLiteral("px")
        << QString::fromUtf8(lock::LockMessage(lock::LockStatus::WrongPassword));
}

void TestStrongLock::turningOffGoesWhereTheUserChose() {
    QFETCH(bool, plain);
    QFETCH(bool, warningTaken);
    QFETCH(QString, typed);
    QFETCH(QString, error);
    Diary d(true);
    d.Start();
    TLockPasswordDialog* question = d.Question();
    QVERIFY(question != nullptr);
    QCOMPARE(question->WhatFor(), TLockPasswordDialog::Kind::TurnOff);
    Fill(*question, "LockSecret", typed);
    if (plain) {
        Find<QRadioButton>(*question, "LockToPlain")->setChecked(true);
        QVERIFY(!Find<QLabel>(*question, "LockPlainWarning")->isHidden());
        Find<QCheckBox>(*question, "LockPlainTaken")->setChecked(warningTaken);
    }
    QTest::mouseClick(Find<QPushButton>(*question, "LockOk"), Qt::LeftButton);
    if (!error.isEmpty()) {
        QTRY_VERIFY(!question->Busy());
        QVERIFY2(Find<QLabel>(*question, "LockError")->text().contains(error),
                 qPrintable(Find<QLabel>(*question, "LockError")->text()));
        QCOMPARE(d.Sealed("pw"), std::string("今日の日記"));
        lock::ForgetKey(d.folder.data());
        return;
    }
    QTRY_VERIFY(!lock::HasStrongLock(d.folder.data()));
    QTRY_VERIFY(d.form->findChild<TLockPasswordDialog*>() == nullptr);
    const kuv::TDiarySettings s = d.Settings();
    QVERIFY(!s.StrongLock);
    QCOMPARE(s.UseEncryption, !plain);
    QCOMPARE(s.Password, plain ? std::string() : std::string("pw"));
    std::string text = ReadBytes(d.folder.EntryPath(d.today, plain ? ".dia" : ".xda"));
    if (!plain) {
        std::string opened;
        QCOMPARE(kuv::CryptDecodeBytes(text, "pw", opened), kuv::CryptResult::Decoded);
        text = opened;
    }
    QCOMPARE(text, Cp932("今日の日記"));
    QCOMPARE(Find<QPlainTextEdit>(*d.form, "Memo1")->toPlainText(), QStringLiteral("今日の日記"));
    QVERIFY(!Find<QAction>(*d.form, "RekeyDiary1")->isEnabled());
}

void TestStrongLock::anEntryTheWindowsFormatCannotHoldStopsTheWayBack() {
    Diary d(true);
    // Yesterday holds a character that code page 932 has not.
    lock::DiaryKey key;
    QVERIFY(lock::OpenDiaryKey(d.folder.data(), "pw", lock::SlotKind::Password, key).ok());
    const QDate yesterday = d.today.addDays(-1);
    ::mkdir((d.folder.data() + "/" + std::to_string(yesterday.year())).c_str(), 0700);
    QVERIFY(lock::WriteStrongEntry(d.folder.EntryPath(yesterday, ".kvd"), Label(yesterday), key,
                                   "花 \xF0\x9F\x8C\xB8"));
    d.Start();
    const auto before = d.folder.Files();
    TLockPasswordDialog* question = d.Question();
    Fill(*question, "LockSecret", QStringLiteral("pw"));
    QTest::mouseClick(Find<QPushButton>(*question, "LockOk"), Qt::LeftButton);
    QTRY_VERIFY(!Find<QLabel>(*question, "LockError")->isHidden());
    const QString error = Find<QLabel>(*question, "LockError")->text();
    QVERIFY2(error.contains(QString::fromStdString(d.folder.EntryPath(yesterday, ".kvd"))),
             qPrintable(error));
    QCOMPARE(d.folder.Files(), before);
    QVERIFY(d.Settings().StrongLock);
    lock::ForgetKey(d.folder.data());
}

void TestStrongLock::passwordChanges_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("withCode");  // the recovery code rather than the password
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QString>("error");  // empty: done
    QTest::addColumn<QString>("opens");  // the password that opens the diary afterwards
    QTest::newRow("change") << "ChangeLockPassword1" << false << "pw" << QString() << "新";
    QTest::newRow("change, wrong old")
        << "ChangeLockPassword1" << false << "px"
        << QString::fromUtf8(lock::LockMessage(lock::LockStatus::WrongPassword)) << "pw";
    QTest::newRow("recovery code")
        << "RecoverLockPassword1" << true << QString() << QString() << "新";
    QTest::newRow("wrong recovery code")
        << "RecoverLockPassword1" << false << "0000-0000" << QStringLiteral("違います") << "pw";
    QTest::newRow("rekey") << "RekeyDiary1" << false << "pw" << QString() << "pw";
}

void TestStrongLock::passwordChanges() {
    QFETCH(QString, action);
    QFETCH(bool, withCode);
    QFETCH(QString, secret);
    QFETCH(QString, error);
    QFETCH(QString, opens);
    Diary d(true);
    d.Start();
    lock::KeyFile before;
    QVERIFY(lock::LoadKeyFile(d.folder.data(), before).ok());
    TLockPasswordDialog* question = d.Question(action.toLatin1().constData());
    QVERIFY(question != nullptr);
    Fill(*question, "LockSecret", withCode ? QString::fromStdString(d.code) : secret);
    if (question->findChild<QLineEdit*>(QStringLiteral("LockNewPassword")) != nullptr) {
        Fill(*question, "LockNewPassword", QStringLiteral("新"));
        Fill(*question, "LockNewPasswordAgain", QStringLiteral("新"));
    }
    QTest::mouseClick(Find<QPushButton>(*question, "LockOk"), Qt::LeftButton);
    if (error.isEmpty()) {
        QTRY_VERIFY(d.form->findChild<TLockPasswordDialog*>() == nullptr);
    } else {
        QTRY_VERIFY(!Find<QLabel>(*question, "LockError")->isHidden());
        QVERIFY2(Find<QLabel>(*question, "LockError")->text().contains(error),
                 qPrintable(Find<QLabel>(*question, "LockError")->text()));
    }
    QCOMPARE(d.Sealed(opens.toStdString()), std::string("今日の日記"));
    lock::KeyFile after;
    QVERIFY(lock::LoadKeyFile(d.folder.data(), after).ok());
    const bool rekeyed = action == QLatin1String("RekeyDiary1");
    // Only a re-key makes a new data key, and with it a new code to keep.
    QCOMPARE(after.keyId != before.keyId, rekeyed);
    QCOMPARE(d.Recovery() != nullptr, rekeyed);
    if (rekeyed) {
        const QString code = Find<QLabel>(*d.Recovery(), "RecoveryCode")->text();
        QVERIFY(code != QString::fromStdString(d.code));
        QVERIFY(lock::RecoverPassword(d.folder.data(), code.toStdString(), "x", kFast).ok());
    }
    lock::ForgetKey(d.folder.data());
}

void TestStrongLock::recoveryCodeClosesOnlyOnceKept_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("closes");
    QTest::newRow("nothing") << QString() << false;
    QTest::newRow("another group") << QStringLiteral("ABCD") << false;
    QTest::newRow("part of the group") << QStringLiteral("Z9") << false;
    QTest::newRow("last group") << QStringLiteral("Z9XY") << true;
    QTest::newRow("lower case, spaced") << QStringLiteral(" z9xy ") << true;
}

void TestStrongLock::recoveryCodeClosesOnlyOnceKept() {
    QFETCH(QString, typed);
    QFETCH(bool, closes);
    const QString code = QStringLiteral("ABCD-EFGH-Z9XY");
    TRecoveryCodeDialog dialog(code, nullptr);
    dialog.show();
    const std::unique_ptr<QTextDocument> page(dialog.PrintDocument());
    QVERIFY(page->toPlainText().contains(code));
    Find<QLineEdit>(dialog, "RecoveryCheck")->setText(typed);
    QCOMPARE(Find<QPushButton>(dialog, "RecoveryDone")->isEnabled(), closes);
    // Esc and the close box count only once the code is kept, as the button does.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(dialog.isVisible(), !closes);
    dialog.show();
    dialog.close();
    QCOMPARE(dialog.isVisible(), !closes);
}

QTEST_MAIN(TestStrongLock)
#include "test_strong_lock.moc"
