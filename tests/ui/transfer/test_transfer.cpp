// The ファイル menu's commands that take the diary out and bring it back,
// driven through the window with the answers a user would give; the files
// are checked afterwards.
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSemaphore>
#include <QTest>
#include <QTimer>

#include "app/instance_lock.h"
#include "app/settings_file.h"
#include "backup/auto_backup.h"
#include "backup/auto_backup_failure.h"
#include "crypt/cryptogram.h"
#include "dates/qt/locale_loader.h"
#include "lock/lock_convert.h"
#include "platform/fileio.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/support_ui.h"
#include "ui/common/background_work.h"
#include "ui/common/date_format.h"
#include "ui/dialogs/password_dialog.h"
#include "ui/transfer/print_module.h"
#include "ui/transfer/range_dialog.h"
#include "ui/transfer/transfer_ask.h"
#include "ui/window/main_form.h"

using kuv::test::Cp932;
using kuv::test::Exists;
using kuv::test::ProgramFolder;
using kuv::test::ReadBytes;
using kuv::test::TempDir;

namespace {

// The user's answers, given in place of the dialogs.
struct Answers final : kuv::TransferAsk {
    kuv::RangeChoice range;
    std::optional<kuv::ExportFormat> offeredFormat;
    QString file, folder, previewPdf, openedIn;
    bool yes = true;
    QStringList asked;
    // Qt's own preview, closed as soon as it shows its pages.
    bool realPreview = false;
    QPointer<QWidget> preview;
    int previewPages = 0;

    void ShowRealPreview(QWidget* parent, QPrinter& printer,
                         const std::function<void(QPrinter*)>& paint) {
        QString error;
        const kuv::PrintFunctions* print = kuv::LoadPrintModule(error);
        QVERIFY2(print != nullptr, qPrintable(error));
        QTimer closer;
        closer.setInterval(20);
        QObject::connect(&closer, &QTimer::timeout, [this] {
            auto* dialog = kuv::test::TopLevel<QDialog>("PrintPreview");
            auto* pages = dialog != nullptr ? dialog->findChild<QPrintPreviewWidget*>() : nullptr;
            if (pages == nullptr || pages->pageCount() == 0) return;
            preview = dialog;
            previewPages = pages->pageCount();
            dialog->reject();
        });
        closer.start();
        print->previewDialog(parent, printer, paint);
    }

    std::optional<kuv::RangeChoice> Range(QWidget*, kuv::RangePurpose, const QDate&,
                                          kuv::ExportFormat offered) override {
        offeredFormat = offered;
        return range;
    }
    QString SaveFile(QWidget*, const QString&, const QString&, const QString&) override {
        return file;
    }
    QString OpenFile(QWidget*, const QString&, const QString& in, const QString&) override {
        openedIn = in;
        return file;
    }
    QString Folder(QWidget*, const QString&) override { return folder; }
    bool Confirm(QWidget*, const QString& text) override {
        asked << text;
        return yes;
    }
    void Preview(QWidget* parent, QPrinter& printer,
                 const std::function<void(QPrinter*)>& paint) override {
        if (realPreview) {
            ShowRealPreview(parent, printer, paint);
            return;
        }
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(previewPdf);
        paint(&printer);
    }
};

std::unique_ptr<TMainForm> Start(const ProgramFolder& folder, bool autoBackup = false) {
    auto form = std::make_unique<TMainForm>(folder.paths());
    if (autoBackup) form->EnableAutoBackup();
    form->show();
    return form;
}

void Trigger(TMainForm& form, const char* action) {
    form.findChild<QAction*>(QString::fromLatin1(action))->trigger();
}

// Waits for the nth message box of the test and gives its text.
QString NthMessage(int n) {
    const QStringList& m = kuv::test::Recorded().messages;
    return QTest::qWaitFor([&m, n] { return m.size() >= n; }, 30000) ? m[n - 1] : QString();
}

// Counts the jobs the worker starts and holds the nth until released.
struct JobGate {
    explicit JobGate(int held) {
        kuv::gBeforeJobHook = [this, held] {
            if (++jobs == held) gate.tryAcquire(1, 20000);
        };
    }
    QSemaphore gate;
    std::atomic<int> jobs{0};
};

// The open search window's count of the days that hold text.
QLabel* SearchFor(TMainForm& form, const QString& text) {
    Trigger(form, "Search1");
    auto* window = kuv::test::TopLevel<QWidget>("SearchWindow");
    window->findChild<QLineEdit*>(QStringLiteral("SearchEdit"))->setText(text);
    return window->findChild<QLabel*>(QStringLiteral("SearchCount"));
}

QString Upper(TMainForm& form) {
    return form.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText();
}

std::vector<std::string> Names(const std::string& folder, const std::string& part) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (name.find(part) != std::string::npos) names.push_back(name);
    }
    return names;
}

std::string PdfText(const std::string& pdf) {
    std::string out;
    if (FILE* pipe = ::popen(("pdftotext '" + pdf + "' -").c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
        ::pclose(pipe);
    }
    return out;
}

kuv::DateParts Parts(const QDate& d) {
    return {static_cast<std::uint16_t>(d.year()), static_cast<std::uint16_t>(d.month()),
            static_cast<std::uint16_t>(d.day())};
}

}  // namespace

class TestTransfer : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        kuv::LoadDateLocale();
        // The automatic backups go into a folder of the test's own.
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(xdg_.path()));
        // So is the record of a failed one.
        qputenv("XDG_STATE_HOME", QByteArray::fromStdString(xdg_ / "state"));
    }
    void init() {
        kuv::test::RecordBoxes();
        answers_ = Answers{};
        kuv::gTransferAsk = &answers_;
        std::filesystem::remove_all(kuv::AutoBackupFolder());
        kuv::ClearAutoBackupFailure();
    }
    void cleanup() {
        kuv::gTransferAsk = nullptr;
        kuv::gBeforeJobHook = nullptr;
    }

    void menuItemsStandAboveExit();
    void rangeDialogChoices();
    void exportsEachFormatWhole();
    void exportFormatIsOfferedAgainAfterARestart();
    void cancelledExportLeavesNoFile();
    void printsTheShownDayAsThePdf();
    void backupThenRestoreShowsTheRestoredDiary();
    void restoreMovesTheLockWithTheDataFolder();
    void aRestoredStrongLockAsksItsPassword();
    void importAppendsAndReloadsTheShownDay();
    void autoBackupRunsAfterStartOnceADay();
    void lockedDiaryBacksUpOnlyAfterUnlock();
    void autoBackupSwitchWritesItsKey();
    void failedAutoBackupIsANoticeNotABox();
    void previewLeavesNothingBehind();
    void hugePrintIsRefusedForThePdfExport();

  private:
    TempDir xdg_, out_;
    Answers answers_;
};

void TestTransfer::menuItemsStandAboveExit() {
    ProgramFolder folder;
    auto form = Start(folder);
    QString names;
    for (QAction* a : form->findChild<QMenu*>(QStringLiteral("File1"))->actions()) {
        names += a->objectName() + u':' + a->text() + u' ';
    }
    QCOMPARE(names, QStringLiteral("Export1:エクスポート... Print1:印刷... Import1:読み込み... N8: "
                                   "Backup1:バックアップ... Restore1:復元... "
                                   "AutoBackup1:自動バックアップ StrongLockSeparator: "
                                   "ChangeLockPassword1:パスワードの変更... "
                                   "RecoverLockPassword1:回復コードでパスワードを設定... "
                                   "RekeyDiary1:すべてを新しい鍵で暗号化し直す... "
                                   "N9: Exit1:終了 "));
}

void TestTransfer::rangeDialogChoices() {
    TRangeDialog exporting(kuv::RangePurpose::Export, QDate(2004, 2, 29));
    auto date = [&exporting](const char* name) {
        return exporting.findChild<QDateEdit*>(QString::fromLatin1(name));
    };
    auto choose = [&exporting](const char* name) {
        exporting.findChild<QRadioButton*>(QString::fromLatin1(name))->setChecked(true);
        const kuv::DayRange r = exporting.Choice().range;
        return QStringLiteral("%1-%2-%3 %4-%5-%6")
            .arg(r.from.year)
            .arg(r.from.month)
            .arg(r.from.day)
            .arg(r.to.year)
            .arg(r.to.month)
            .arg(r.to.day);
    };
    QPushButton* ok = exporting.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    QCOMPARE(choose("AllDays"), QStringLiteral("1-1-1 9999-12-31"));  // the default
    QCOMPARE(choose("ShownDay"), QStringLiteral("2004-2-29 2004-2-29"));
    date("FromDate")->setDate(QDate(2004, 3, 1));
    QCOMPARE(choose("SomeDays"), QStringLiteral("2004-3-1 2004-12-31"));
    date("ToDate")->setDate(QDate(2004, 1, 1));
    QVERIFY(!ok->isEnabled());
    exporting.findChild<QComboBox*>()->setCurrentIndex(3);
    QCOMPARE(exporting.Choice().format, kuv::ExportFormat::Pdf);
    // Dates as the main window's picker shows them.
    QCOMPARE(date("FromDate")->displayFormat(), kuv::PickerFormat(kuv::UserDateLocale()));
    // The format offered stands first.
    for (const kuv::ExportFormat offered : {kuv::ExportFormat::Html, kuv::ExportFormat::Markdown}) {
        TRangeDialog again(kuv::RangePurpose::Export, QDate(2004, 2, 29), offered);
        QCOMPARE(again.Choice().format, offered);
    }

    TRangeDialog printing(kuv::RangePurpose::Print, QDate(2004, 2, 29));
    QVERIFY(printing.findChild<QRadioButton*>(QStringLiteral("ShownDay"))->isChecked());
    QCOMPARE(printing.findChild<QComboBox*>(), nullptr);
}

void TestTransfer::exportsEachFormatWhole() {
    ProgramFolder folder;
    folder.WriteSettings(false, "pw");
    folder.WriteEntry(QDate(2001, 1, 17), Cp932("一日目\r\n<b>二行目</b>"));
    folder.WriteEntry(QDate(2001, 1, 18), Cp932("鍵付きの日記"), ".xda");
    QVERIFY(kuv::CryptEncodeFile(folder.EntryPath(QDate(2001, 1, 18), ".xda"), "pw", false));
    folder.WriteEntry(QDate(2002, 5, 5), Cp932("翌年"));
    auto form = Start(folder);
    // Locked entries would go out readable: a no writes nothing.
    answers_.file = QString::fromStdString(out_ / "d.txt");
    answers_.yes = false;
    Trigger(*form, "Export1");
    QTRY_VERIFY(answers_.asked.size() == 1 && !form->BackgroundBusy());
    QVERIFY(answers_.asked[0].contains(QStringLiteral("鍵付きの日記が 1 日分")));
    QVERIFY(!Exists(out_ / "d.txt"));

    answers_.yes = true;
    const struct {
        kuv::ExportFormat format;
        const char* name;
        const char* holds;  // UTF-8; the PDF is checked for its ends
    } cases[] = {
        {kuv::ExportFormat::Text, "d.txt", "<b>二行目</b>"},
        {kuv::ExportFormat::Markdown, "d.md", "鍵付きの日記"},
        {kuv::ExportFormat::Html, "d.html", "&lt;b&gt;二行目&lt;/b&gt;"},
        {kuv::ExportFormat::Pdf, "d.pdf", "%PDF-"},
    };
    int messages = 0;
    for (const auto& c : cases) {
        answers_.range.format = c.format;
        answers_.file = QString::fromStdString(out_ / c.name);
        Trigger(*form, "Export1");
        const QString message = NthMessage(++messages);
        QVERIFY2(message.contains(QStringLiteral("3 日分")), qPrintable(message));
        const std::string bytes = ReadBytes(out_ / c.name);
        QVERIFY2(bytes.find(c.holds) != std::string::npos, c.name);
        QVERIFY(c.format == kuv::ExportFormat::Pdf
                    ? bytes.find("%%EOF", bytes.size() - 16) != std::string::npos
                    : bytes.find("翌年") != std::string::npos);
    }
    QVERIFY(Names(out_.path(), ".$$$").empty());
}

void TestTransfer::exportFormatIsOfferedAgainAfterARestart() {
    ProgramFolder folder;
    folder.WriteSettings(false, "");
    folder.WriteEntry(QDate(2001, 1, 17), Cp932("日記"));
    auto form = Start(folder);
    Trigger(*form, "Export1");
    QCOMPARE(answers_.offeredFormat, kuv::ExportFormat::Text);
    answers_.range.format = kuv::ExportFormat::Html;
    answers_.file = QString::fromStdString(out_ / "d.html");
    Trigger(*form, "Export1");
    QTRY_VERIFY(Exists(out_ / "d.html") && !form->BackgroundBusy());
    form.reset();

    form = Start(folder);
    answers_.file.clear();
    Trigger(*form, "Export1");
    QCOMPARE(answers_.offeredFormat, kuv::ExportFormat::Html);
    // Kept in the settings file.
    kuv::TDiarySettings read = kuv::DefaultSettings(folder.paths());
    kuv::ReadSettings(read, folder.paths());
    QCOMPARE(read.ExportFormat, std::string("html"));
}

void TestTransfer::cancelledExportLeavesNoFile() {
    ProgramFolder folder;
    folder.WriteEntry(QDate(2001, 1, 17), Cp932("日記"));
    auto form = Start(folder);
    // The export itself (after the count of the days) waits until the cancel.
    JobGate held(2);
    answers_.range.format = kuv::ExportFormat::Pdf;
    const std::string output = out_ / "cancelled.pdf";
    answers_.file = QString::fromStdString(output);
    Trigger(*form, "Export1");
    QTRY_COMPARE(held.jobs.load(), 2);
    auto* progress = form->findChild<QProgressDialog*>(QStringLiteral("JobProgress"));
    QVERIFY(progress != nullptr && progress->isVisible());
    progress->findChild<QPushButton*>()->click();
    // It stays, keeping the window still, until the job has stopped.
    QVERIFY(progress->isVisible());
    QCOMPARE(progress->labelText(), QStringLiteral("取り消しています…"));
    held.gate.release();
    QCOMPARE(NthMessage(1), QStringLiteral("書き出しを取り消しました。ファイルは作っていません。"));
    QVERIFY(!Exists(output));
    QVERIFY(Names(out_.path(), ".$$$").empty());
}

void TestTransfer::printsTheShownDayAsThePdf() {
    ProgramFolder folder;
    const QDate today = QDate::currentDate();
    folder.WriteEntry(today, Cp932("今日の日記"));
    folder.WriteEntry(today.addDays(1), Cp932("明日の日記"));
    auto form = Start(folder);
    answers_.range.range.from = answers_.range.range.to = Parts(today);
    answers_.previewPdf = QString::fromStdString(out_ / "preview.pdf");
    Trigger(*form, "Print1");
    QTRY_VERIFY(Exists(out_ / "preview.pdf") && !form->BackgroundBusy());
    const std::string text = PdfText(out_ / "preview.pdf");
    QVERIFY2(text.find("今日の日記") != std::string::npos, text.c_str());
    QVERIFY(text.find("明日の日記") == std::string::npos);
    QVERIFY(text.find("1/1") != std::string::npos);
    // Titled with that day alone.
    const std::string title = "日記 " + today.toString(Qt::ISODate).toStdString();
    QVERIFY2(
        text.find(title + "\n") != std::string::npos || text.find(title + " ") != std::string::npos,
        text.c_str());
    QVERIFY(text.find("–") == std::string::npos);
}

void TestTransfer::backupThenRestoreShowsTheRestoredDiary() {
    ProgramFolder folder;
    folder.WriteSettings(false, "");
    const QDate today = QDate::currentDate();
    folder.WriteEntry(today, Cp932("元の日記"));
    folder.WriteEntry(QDate(2001, 1, 17), Cp932("昔の日記"));
    auto form = Start(folder);
    const std::string archive = out_ / "b.tar.gz";
    answers_.file = QString::fromStdString(archive);
    // A save that fails stops the backup before it begins.
    auto* memo = form->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    memo->setPlainText(QStringLiteral("元の日記"));
    kuv::fsio::fault::FailNth(kuv::fsio::fault::Op::Create, 1);
    Trigger(*form, "Backup1");
    kuv::fsio::fault::Reset();
    QCOMPARE(kuv::test::Recorded().errors.size(), 1);
    QTRY_VERIFY(!form->BackgroundBusy());
    QVERIFY(!Exists(archive));
    Trigger(*form, "Backup1");
    int messages = 1;
    QVERIFY2(NthMessage(1).contains(QStringLiteral("作りました")), qPrintable(NthMessage(1)));

    // Afterwards the entry is changed (not yet saved) and so is a setting.
    Trigger(*form, "AutoBackup1");
    QVERIFY(!form->Settings().AutoBackup);
    memo->setPlainText(QStringLiteral("変更"));
    QLabel* found = SearchFor(*form, QStringLiteral("変更"));
    ::remove(folder.EntryPath(QDate(2001, 1, 17)).c_str());
    const std::string parent = std::filesystem::path(folder.data()).parent_path();
    // A damaged archive is refused and changes nothing.
    for (const char* bytes : {"", "not an archive at all"}) {
        kuv::test::WriteBytes(out_ / "bad.tar.gz", bytes);
        answers_.file = QString::fromStdString(out_ / "bad.tar.gz");
        Trigger(*form, "Restore1");
        QVERIFY(NthMessage(++messages).contains(QStringLiteral("何も変えていません")));
        QCOMPARE(Names(parent, "data").size(), std::size_t{1});
        QCOMPARE(Upper(*form), QStringLiteral("変更"));
    }
    QCOMPARE(answers_.openedIn, QDir::homePath());
    // The restore opens in the automatic backups' folder once there is one.
    std::filesystem::create_directories(kuv::AutoBackupFolder());
    answers_.file = QString::fromStdString(archive);
    Trigger(*form, "Restore1");
    QCOMPARE(answers_.openedIn, QString::fromStdString(kuv::AutoBackupFolder()));
    QVERIFY(NthMessage(++messages).contains(QStringLiteral(".before-restore-")));
    QCOMPARE(answers_.asked.size(), 3);
    QVERIFY(answers_.asked[0].contains(QString::fromStdString(folder.data())));

    QCOMPARE(Upper(*form), QStringLiteral("元の日記"));
    QCOMPARE(ReadBytes(folder.EntryPath(QDate(2001, 1, 17))), Cp932("昔の日記"));
    QVERIFY(form->Settings().AutoBackup);
    QVERIFY(form->findChild<QAction*>(QStringLiteral("AutoBackup1"))->isChecked());
    // The change was saved first and lies in the folder that was kept.
    const auto kept = Names(parent, "data.before-restore-");
    QCOMPARE(kept.size(), std::size_t{1});
    const std::string keptEntry =
        parent + "/" + kept[0] + folder.EntryPath(today).substr(folder.data().size());
    QCOMPARE(ReadBytes(keptEntry), Cp932("変更"));
    // The open search follows the restored diary.
    QTRY_COMPARE(found->text(), QStringLiteral("0 件"));
}

void TestTransfer::restoreMovesTheLockWithTheDataFolder() {
    TempDir runtime, other;
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path()));
    ProgramFolder folder;
    const auto settingsNaming = [&folder](const std::string& data) {
        kuv::DialogValues v;
        v.dataPath = data;
        v.dateFormat = kuv::kDefaultDateFormat;
        v.fontName = kuv::kDefaultFontName;
        kuv::WriteDialogSettings(folder.paths(), v);
    };
    // A backup whose settings name another data folder...
    settingsNaming(other.path());
    auto form = Start(folder);
    answers_.file = QString::fromStdString(out_ / "other.tar.gz");
    Trigger(*form, "Backup1");
    QVERIFY(!NthMessage(1).isEmpty());
    // ... restored by the window that has the program folder's diary open.
    settingsNaming(folder.data());
    form = Start(folder);
    kuv::DiaryLock lock;
    QCOMPARE(lock.Acquire(folder.data(), folder.paths().settingsFolder, "window"),
             kuv::LockResult::Acquired);
    form->SetDiaryLock(&lock);
    Trigger(*form, "Restore1");
    QVERIFY(NthMessage(2).contains(QStringLiteral(".before-restore-")));
    QCOMPARE(form->Settings().DataPath, other.path());
    QVERIFY(kuv::DiaryFolderInUse(other.path()));
    form.reset();
    qunsetenv("XDG_RUNTIME_DIR");
}

// A backup of a strong-locked diary restored over a plain one: the window
// hides its panes behind the password prompt until the key opens.
void TestTransfer::aRestoredStrongLockAsksItsPassword() {
    ProgramFolder folder;
    const QDate today = QDate::currentDate();
    folder.WriteEntry(today, Cp932("鍵の中の日記"));
    std::string code;
    QVERIFY(
        kuv::lock::TurnOn(folder.data(), "pw", "", kuv::lock::Argon2Params{1, 8192}, code).ok());
    kuv::lock::ForgetKey(folder.data());
    auto form = std::make_unique<TMainForm>(folder.paths());
    emit form->PassWordDialog()->passwordEntered(QStringLiteral("pw"));
    QTRY_VERIFY(!form->Locked());
    answers_.file = QString::fromStdString(out_ / "strong.tar.gz");
    Trigger(*form, "Backup1");
    QVERIFY(NthMessage(1).contains(QStringLiteral("作りました")));
    form.reset();
    QVERIFY(kuv::lock::TurnOff(folder.data(), "pw", kuv::lock::UnlockTarget::Plain).ok());
    kuv::lock::ForgetKey(folder.data());
    folder.WriteEntry(today, Cp932("鍵のない日記"));

    form = Start(folder);
    QCOMPARE(Upper(*form), QStringLiteral("鍵のない日記"));
    Trigger(*form, "Restore1");
    QVERIFY(NthMessage(2).contains(QStringLiteral(".before-restore-")));
    QVERIFY(form->Locked());
    QTRY_VERIFY(!form->isVisible());
    TPassWordDialog* prompt = form->PassWordDialog();
    QVERIFY(prompt != nullptr && prompt->isVisible());
    emit prompt->passwordEntered(QStringLiteral("pw"));
    QTRY_VERIFY(!form->Locked());
    QTRY_VERIFY(form->isVisible());
    QCOMPARE(Upper(*form), QStringLiteral("鍵の中の日記"));
    form.reset();
    kuv::lock::ForgetKey(folder.data());
}

void TestTransfer::importAppendsAndReloadsTheShownDay() {
    ProgramFolder folder;
    const QDate today = QDate::currentDate();
    folder.WriteEntry(today, Cp932("今日の日記"));
    auto form = Start(folder);
    QLabel* found = SearchFor(*form, QStringLiteral("古い日記"));
    QTRY_COMPARE(found->text(), QStringLiteral("0 件"));
    TempDir texts;
    kuv::test::WriteBytes(texts / (today.toString(Qt::ISODate).toStdString() + ".txt"),
                          "読み込んだ行");
    kuv::test::WriteBytes(texts / "2001-01-17-memo.md", "古い日記");
    kuv::test::WriteBytes(texts / "2001-01-18.txt", "絵文字 😀");
    answers_.folder = QString::fromStdString(texts.path());
    Trigger(*form, "Import1");
    const QString report = NthMessage(1);
    QCOMPARE(Upper(*form), QStringLiteral("今日の日記\n\n読み込んだ行"));
    QCOMPARE(ReadBytes(folder.EntryPath(QDate(2001, 1, 17))), Cp932("古い日記"));
    QVERIFY(!Exists(folder.EntryPath(QDate(2001, 1, 18))));
    for (const QString& part :
         {QStringLiteral("新しい日記 1 件、追記 1 件、取り込まなかったファイル 1 件"),
          QStringLiteral("2001-01-18.txt"), QStringLiteral("「😀」")}) {
        QVERIFY2(report.contains(part), qPrintable(report));
    }
    // The open search finds what the import wrote.
    QTRY_COMPARE(found->text(), QStringLiteral("1 件"));
}

void TestTransfer::autoBackupRunsAfterStartOnceADay() {
    ProgramFolder folder;
    folder.WriteEntry(QDate(2001, 1, 17), Cp932("日記"));
    const auto archives = [] { return kuv::ListAutoBackups(kuv::AutoBackupFolder()).size(); };
    JobGate held(1);
    auto form = Start(folder, true);
    QCOMPARE(archives(), std::size_t{0});
    // Held on the worker, the backup keeps nothing of the window waiting, nor its end.
    QTRY_COMPARE_WITH_TIMEOUT(held.jobs.load(), 1, 10000);
    auto* picker = form->findChild<QDateEdit*>(QStringLiteral("DateTimePicker"));
    const QDate day = picker->date();
    Trigger(*form, "N5");
    QCOMPARE(picker->date(), day.addDays(1));
    QElapsedTimer clock;
    clock.start();
    form.reset();
    QVERIFY2(clock.elapsed() < 5000, "the end waited on the backup");
    held.gate.release();

    // The next start runs after the abandoned job has stopped, and backs up.
    form = Start(folder, true);
    QTRY_COMPARE_WITH_TIMEOUT(held.jobs.load(), 2, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!form->BackgroundBusy(), 20000);
    QCOMPARE(archives(), std::size_t{1});
    QVERIFY(Names(kuv::AutoBackupFolder(), ".$$$").empty());
    // Once a day: a later start of the day runs no job at all.
    form = Start(folder, true);
    QTest::qWait(2500);
    QCOMPARE(held.jobs.load(), 2);
    QVERIFY(!form->BackgroundBusy());
    QCOMPARE(archives(), std::size_t{1});
    QVERIFY(kuv::test::Recorded().messages.isEmpty());
}

void TestTransfer::lockedDiaryBacksUpOnlyAfterUnlock() {
    ProgramFolder folder;
    folder.WriteSettings(true, "pw");
    folder.WriteEntry(QDate(2001, 1, 17), Cp932("日記"));
    std::atomic<int> jobs{0};
    kuv::gBeforeJobHook = [&] { ++jobs; };
    // As the program starts it: hidden behind the password prompt.
    TMainForm form(folder.paths());
    form.EnableAutoBackup();
    QVERIFY(form.Locked());
    QTest::qWait(2000);
    QCOMPARE(jobs.load(), 0);
    auto* edit = form.PassWordDialog()->findChild<QLineEdit*>(QStringLiteral("Edit1"));
    QTest::keyClicks(edit, QStringLiteral("pw"));
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY(!form.Locked());
    QTRY_VERIFY_WITH_TIMEOUT(jobs.load() == 1 && !form.BackgroundBusy(), 20000);
    QCOMPARE(kuv::ListAutoBackups(kuv::AutoBackupFolder()).size(), std::size_t{1});
}

void TestTransfer::autoBackupSwitchWritesItsKey() {
    ProgramFolder folder;
    folder.WriteSettings(false, "");
    auto form = Start(folder);
    QAction* toggle = form->findChild<QAction*>(QStringLiteral("AutoBackup1"));
    QVERIFY(toggle->isCheckable() && toggle->isChecked());
    auto stored = [&folder] {
        kuv::TDiarySettings s = kuv::DefaultSettings(folder.paths());
        kuv::ReadSettings(s, folder.paths());
        return s.AutoBackup;
    };
    toggle->trigger();
    QVERIFY(!toggle->isChecked());
    QVERIFY(!stored());
    // A write that fails says why, and the mark goes back.
    ::chmod(folder.paths().settingsPath.c_str(), 0400);
    toggle->trigger();
    ::chmod(folder.paths().settingsPath.c_str(), 0600);
    QVERIFY(NthMessage(1).contains(QStringLiteral("書き込めません")));
    QVERIFY(!toggle->isChecked());
    QVERIFY(!form->Settings().AutoBackup && !stored());
    toggle->trigger();
    QVERIFY(toggle->isChecked() && stored());
}

void TestTransfer::failedAutoBackupIsANoticeNotABox() {
    ProgramFolder folder;
    folder.WriteEntry(QDate(2001, 1, 17), Cp932("日記"));
    // A file where the backups' folder should be: no backup can be made.
    std::filesystem::create_directories(
        std::filesystem::path(kuv::AutoBackupFolder()).parent_path());
    kuv::test::WriteBytes(kuv::AutoBackupFolder(), "x");
    auto form = Start(folder, true);
    auto* notice = form->findChild<QLabel*>(QStringLiteral("StatusNotice"));
    const QString failed = QStringLiteral("自動バックアップを作れませんでした");
    QTRY_VERIFY_WITH_TIMEOUT(notice->text().contains(failed), 20000);
    QVERIFY(kuv::test::Recorded().messages.isEmpty());
    // The notice stands beside the panels, never in their place.
    for (const char* panel : {"StatusPanel1", "StatusPanel2", "StatusPanel3"})
        QVERIFY2(form->findChild<QLabel*>(QString::fromLatin1(panel))->isVisibleTo(form.get()),
                 panel);
    QVERIFY(form->findChild<QAction*>(QStringLiteral("AutoBackup1"))->toolTip().contains(failed));

    // A later start of the day fails again in silence; the menu item still
    // names the failure.
    form = Start(folder, true);
    notice = form->findChild<QLabel*>(QStringLiteral("StatusNotice"));
    QTRY_VERIFY_WITH_TIMEOUT(!form->BackgroundBusy(), 20000);
    QTest::qWait(2500);
    QVERIFY2(!notice->text().contains(failed), qPrintable(notice->text()));
    QVERIFY(form->findChild<QAction*>(QStringLiteral("AutoBackup1"))->toolTip().contains(failed));

    // A backup made clears it.
    std::filesystem::remove(kuv::AutoBackupFolder());
    form = Start(folder, true);
    QTRY_VERIFY_WITH_TIMEOUT(kuv::ListAutoBackups(kuv::AutoBackupFolder()).size() == 1, 20000);
    QTRY_VERIFY(
        !form->findChild<QAction*>(QStringLiteral("AutoBackup1"))->toolTip().contains(failed));
    QVERIFY(!kuv::ReadAutoBackupFailure());
}

void TestTransfer::previewLeavesNothingBehind() {
    ProgramFolder folder;
    for (QDate day(2001, 12, 20); day <= QDate(2002, 1, 10); day = day.addDays(1))
        folder.WriteEntry(day, Cp932("日記の一行\r\n二行目"));
    auto form = Start(folder);
    answers_.realPreview = true;
    Trigger(*form, "Print1");
    QTRY_VERIFY_WITH_TIMEOUT(answers_.previewPages > 0 && !form->BackgroundBusy(), 20000);
    // The preview window, with its printer and pages, and the progress of the
    // layout are gone once the preview closes.
    QTRY_VERIFY(answers_.preview.isNull());
    for (QWidget* w : QApplication::topLevelWidgets()) {
        QVERIFY2(qobject_cast<QDialog*>(w) == nullptr || !w->isVisible(),
                 qPrintable(w->objectName()));
        QVERIFY(w->findChildren<QPrintPreviewWidget*>().isEmpty());
        QVERIFY(w->findChildren<QProgressDialog*>().isEmpty());
    }
    QVERIFY(kuv::test::Recorded().messages.isEmpty());
}

void TestTransfer::hugePrintIsRefusedForThePdfExport() {
    ProgramFolder folder;
    for (QDate day(2001, 1, 1); day < QDate(2001, 1, 1).addDays(1001); day = day.addDays(1))
        folder.WriteEntry(day, Cp932("日記"));
    auto form = Start(folder);
    answers_.previewPdf = QString::fromStdString(out_ / "huge.pdf");
    Trigger(*form, "Print1");
    const QString message = NthMessage(1);
    QVERIFY2(message.contains(QStringLiteral("PDF")), qPrintable(message));
    QVERIFY(answers_.asked.isEmpty());
    QVERIFY(!Exists(out_ / "huge.pdf"));
}

QTEST_MAIN(TestTransfer)
#include "test_transfer.moc"
