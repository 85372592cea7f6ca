#include "ui/transfer/transfer_commands.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QProgressDialog>
#include <QTime>
#include <QTimer>

#include "backup/archive_module.h"
#include "backup/auto_backup.h"
#include "backup/auto_backup_failure.h"
#include "backup/backup.h"
#include "diary/session.h"
#include "export/diary_export.h"
#include "export/qt/diary_document.h"
#include "import/import_folder.h"
#include "platform/fileio.h"
#include "platform/heap.h"
#include "ui/app/application.h"
#include "ui/common/background_work.h"
#include "ui/common/messages.h"
#include "ui/common/qt_date.h"
#include "ui/common/qt_text.h"
#include "ui/common/reading_password.h"
#include "ui/transfer/print_module.h"
#include "ui/transfer/transfer_ask.h"
#include "ui/window/main_actions.h"

namespace {

// The automatic backup waits this long after the window first shows, so
// that the start-up has painted and settled.
constexpr int kAutoBackupDelayMs = 1500;
const QString kFailedText = QStringLiteral("自動バックアップを作れませんでした。");
// Skipped files named one by one in the import's report; the rest are counted.
constexpr int kListedSkips = 20;
// Qt lays out a print on the window's thread; beyond about a year of days
// that takes long enough to ask first.
constexpr std::size_t kDaysPrintedWithoutAsking = 400;
// Beyond this many days (a page or more each) the layout would hold the
// window for minutes and most of a gigabyte: the PDF export does it instead.
constexpr std::size_t kMostDaysPrinted = 1000;

// A path from a file dialog as the diary's code page 932 bytes; nothing when
// the user cancelled, or, after saying why, when a character of it does not fit.
std::optional<std::string> Cp932Path(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    const kuv::Cp932Text bytes = kuv::ToCp932(QDir::toNativeSeparators(path));
    if (bytes.ok) return bytes.bytes;
    kuv::ShowMessage(QStringLiteral("%1 は使えません。文字「%2」はコードページ 932 で書けません。")
                         .arg(path, bytes.badChar));
    return std::nullopt;
}

// The backup and restore code, loaded on first use; nothing, after saying
// why, when it cannot be loaded.
const kuv::ArchiveFunctions* ArchiveModule() {
    std::string error;
    const kuv::ArchiveFunctions* functions = kuv::LoadArchiveModule(error);
    if (functions == nullptr) kuv::ShowMessage(kuv::ToQString(error));
    return functions;
}

const char* Extension(kuv::ExportFormat format) {
    switch (format) {
        case kuv::ExportFormat::Text:
            return "txt";
        case kuv::ExportFormat::Markdown:
            return "md";
        case kuv::ExportFormat::Html:
            return "html";
        case kuv::ExportFormat::Pdf:
            return "pdf";
    }
    return "txt";
}

// The format stored by its file ending; plain text for none or another.
kuv::ExportFormat StoredFormat(const std::string& name) {
    for (const kuv::ExportFormat f : {kuv::ExportFormat::Text, kuv::ExportFormat::Markdown,
                                      kuv::ExportFormat::Html, kuv::ExportFormat::Pdf}) {
        if (name == Extension(f)) return f;
    }
    return kuv::ExportFormat::Text;
}

QString ExportFilter(kuv::ExportFormat format) {
    switch (format) {
        case kuv::ExportFormat::Text:
            return QStringLiteral("テキスト (*.txt)");
        case kuv::ExportFormat::Markdown:
            return QStringLiteral("Markdown (*.md)");
        case kuv::ExportFormat::Html:
            return QStringLiteral("HTML (*.html *.htm)");
        case kuv::ExportFormat::Pdf:
            return QStringLiteral("PDF (*.pdf)");
    }
    return QString();
}

QString Count(std::size_t n) {
    return QString::number(static_cast<qulonglong>(n));
}

// The import's summary, then each file left out with why; the character
// that code page 932 cannot hold is shown as itself as well as by its code.
QString ImportReport(const kuv::ImportResult& result) {
    QString text = kuv::ToQString(result.message);
    QStringList skipped;
    for (const kuv::ImportFileReport& file : result.files) {
        if (file.outcome != kuv::ImportFileReport::Outcome::Skipped) continue;
        QString line = kuv::ToQString(file.message);
        if (file.badChar != 0)
            line += QStringLiteral("「%1」").arg(QString::fromUcs4(&file.badChar, 1));
        skipped << line;
    }
    if (skipped.isEmpty()) return text;
    text += QStringLiteral("\n\n取り込まなかったファイル:");
    for (int i = 0; i < skipped.size() && i < kListedSkips; ++i) text += u'\n' + skipped[i];
    if (skipped.size() > kListedSkips) {
        text += QStringLiteral("\nほか %1 件").arg(skipped.size() - kListedSkips);
    }
    return text;
}

// The pages drawn for the preview or the printer, on the window's thread
// as Qt asks; a long range shows its progress and can be stopped.
void PaintDiary(const std::vector<kuv::ExportedDay>& days, const kuv::DiaryLayout& layout,
                QPagedPaintDevice& printer) {
    QProgressDialog progress(QStringLiteral("ページを組んでいます…"), QStringLiteral("キャンセル"),
                             0, 1000, QApplication::activeWindow());
    progress.setObjectName(QStringLiteral("PageProgress"));
    progress.setWindowTitle(QString::fromLatin1(kuv::kAppTitle));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    kuv::PrintDiary(days, layout, printer, [&progress](std::uint64_t done, std::uint64_t total) {
        if (total > 0) progress.setValue(static_cast<int>(done * 1000 / total));
        return !progress.wasCanceled();
    });
}

// What an export or a print reads: entries as the window reads them, locked
// ones (readable) only while the diary is open, headed in the user's pattern.
kuv::ExportOptions OptionsFor(const kuv::DiarySession& session, const kuv::DayRange& range) {
    kuv::ExportOptions options;
    options.dataPath = session.Settings().DataPath;
    options.password = kuv::ReadingPassword(session);
    options.range = range;
    options.headingPattern = session.Settings().DateFormat;
    return options;
}

struct PrintDays {
    kuv::ExportResult result;
    std::vector<kuv::ExportedDay> days;
};

}  // namespace

TTransferCommands::TTransferCommands(QWidget* window, kuv::DiarySession& session,
                                     const TMainActions& actions)
    : FWindow(window),
      FSession(session),
      FAutoBackupSwitch(actions[kuv::MainAction::AutoBackup]),
      FWork(std::make_unique<TBackgroundWork>(window)) {
    FAutoBackupSwitch->setChecked(FSession.Settings().AutoBackup);
    const auto handle = [this, &actions](kuv::MainAction id, void (TTransferCommands::*handler)()) {
        connect(actions[id], &QAction::triggered, this,
                [this, handler] { kuv::Guarded([this, handler] { (this->*handler)(); }); });
    };
    handle(kuv::MainAction::Export, &TTransferCommands::Export1Click);
    handle(kuv::MainAction::Print, &TTransferCommands::Print1Click);
    handle(kuv::MainAction::Import, &TTransferCommands::Import1Click);
    handle(kuv::MainAction::Backup, &TTransferCommands::Backup1Click);
    handle(kuv::MainAction::Restore, &TTransferCommands::Restore1Click);
    handle(kuv::MainAction::AutoBackup, &TTransferCommands::AutoBackup1Click);
}

TTransferCommands::~TTransferCommands() = default;

bool TTransferCommands::Busy() const {
    return FWork->Busy();
}

void TTransferCommands::Export1Click() {
    const std::optional<kuv::RangeChoice> choice =
        kuv::TransferAsker().Range(FWindow, kuv::RangePurpose::Export, kuv::QDateOf(FSession.Day()),
                                   StoredFormat(FSession.Settings().ExportFormat));
    if (!choice) return;
    RememberFormat(choice->format);
    const QString suggested =
        QDir::home().filePath(QStringLiteral("diary-%1.%2")
                                  .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")),
                                       QString::fromLatin1(Extension(choice->format))));
    const QString path = kuv::TransferAsker().SaveFile(FWindow, QStringLiteral("エクスポート"),
                                                       suggested, ExportFilter(choice->format));
    const std::optional<std::string> output = Cp932Path(path);
    if (!output) return;
    // The export reads the files: the entry being edited goes there first.
    FSession.Save();

    const kuv::ExportOptions options = OptionsFor(FSession, choice->range);
    const kuv::ExportFormat format = choice->format;
    const QString font = kuv::ToQString(FSession.Settings().FontName);

    auto write = [this, options, format, output = *output, font, path] {
        FWork->Run<kuv::ExportResult>(
            QStringLiteral("エクスポートしています…"),
            [options, format, output, font](const kuv::ProgressFn& progress) {
                return format == kuv::ExportFormat::Pdf
                           ? kuv::ExportPdf(options, output, font, progress)
                           : kuv::ExportDiary(options, format, output, progress);
            },
            [path](const kuv::ExportResult& result) {
                QString text = kuv::ToQString(result.message);
                if (result.status == kuv::ExportStatus::Done) text += QStringLiteral("\n\n") + path;
                kuv::ShowMessage(text);
            });
    };
    FWork->Run<kuv::ExportSurvey>(
        QStringLiteral("日記を数えています…"),
        [options](const kuv::ProgressFn&) {
            return kuv::SurveyExport(options.dataPath, options.range);
        },
        [this, write, options](const kuv::ExportSurvey& survey) {
            if (survey.days == 0) {
                kuv::ShowMessage(QStringLiteral("この範囲には日記がありません。"));
                return;
            }
            if (survey.locked > 0 && !options.password.empty() &&
                !kuv::TransferAsker().Confirm(
                    FWindow, QStringLiteral("この範囲には鍵付きの日記が %1 日分あります。"
                                            "エクスポートしたファイルには鍵がかからず、"
                                            "そのファイルを開ける人は誰でも読めます。\n\n"
                                            "エクスポートしますか？")
                                 .arg(Count(survey.locked)))) {
                return;
            }
            write();
        });
}

// The format chosen is offered first at the next export, also after a restart.
// A setting that cannot be stored is no reason to stop the export.
void TTransferCommands::RememberFormat(kuv::ExportFormat format) {
    const std::string name = Extension(format);
    if (FSession.Settings().ExportFormat == name) return;
    if (kuv::StoreExportFormatSetting(FSession.Paths(), FSession.SettingsAtStart(), name).ok())
        FSession.Settings().ExportFormat = name;
}

void TTransferCommands::Print1Click() {
    const std::optional<kuv::RangeChoice> choice = kuv::TransferAsker().Range(
        FWindow, kuv::RangePurpose::Print, kuv::QDateOf(FSession.Day()), kuv::ExportFormat::Text);
    if (!choice) return;
    FSession.Save();
    const kuv::ExportOptions options = OptionsFor(FSession, choice->range);
    FWork->Run<PrintDays>(
        QStringLiteral("印刷する日記を読んでいます…"),
        [options](const kuv::ProgressFn& progress) {
            PrintDays read;
            read.result = kuv::ForEachExportedDay(
                options,
                [&read](const kuv::ExportedDay& day) {
                    read.days.push_back(day);
                    return true;
                },
                progress);
            return read;
        },
        [this, range = choice->range](const PrintDays& read) {
            if (read.result.status != kuv::ExportStatus::Done) return;
            const std::size_t left = read.result.skippedLocked + read.result.skippedUnreadable;
            if (read.days.empty()) {
                kuv::ShowMessage(QStringLiteral("この範囲には印刷する日記がありません。"));
                return;
            }
            if (read.days.size() > kMostDaysPrinted) {
                kuv::ShowMessage(
                    QStringLiteral("%1 日分は一度に印刷できません（%2 日分まで）。範囲を狭めるか、"
                                   "ファイル → エクスポートで PDF にして下さい。")
                        .arg(Count(read.days.size()), Count(kMostDaysPrinted)));
                return;
            }
            if (read.days.size() > kDaysPrintedWithoutAsking &&
                !kuv::TransferAsker().Confirm(
                    FWindow,
                    QStringLiteral("%1 日分を印刷用に組むには時間がかかり、その間ウィンドウは"
                                   "応答しません（PDF へのエクスポートなら、待つ間も"
                                   "ウィンドウを使えます）。\n\n続けますか？")
                        .arg(Count(read.days.size())))) {
                return;
            }
            if (left > 0) {
                kuv::ShowMessage(
                    QStringLiteral("開けない日記・読めない日記 %1 日分は印刷に含まれません。")
                        .arg(Count(left)));
            }
            ShowPrintPreview(read.days, range);
        });
}

void TTransferCommands::ShowPrintPreview(const std::vector<kuv::ExportedDay>& days,
                                         const kuv::DayRange& range) {
    kuv::DiaryLayout layout;
    layout.title = QString::fromUtf8(kuv::ExportTitle(range));
    layout.fontFamily = kuv::DocumentFontFamily(kuv::ToQString(FSession.Settings().FontName));
    QString error;
    const kuv::PrintFunctions* print = kuv::LoadPrintModule(error);
    if (print == nullptr) {
        kuv::ShowMessage(error);
        return;
    }
    print->previewDiary(
        FWindow, layout.title, QString::fromLatin1(kuv::kAppTitle), kuv::TransferAsker(),
        [&days, &layout](QPagedPaintDevice& device) { PaintDiary(days, layout, device); });
    // The preview, its printer and its pages are gone with the call; the days
    // read for it go once this job's result is let go, which the event loop
    // does before it comes to this. The pages were a great many small blocks
    // that the C library would keep: the memory goes back to the system.
    QTimer::singleShot(0, this, [] { kuv::ReturnFreedMemory(); });
}

void TTransferCommands::Backup1Click() {
    const QString suggested = QDir::home().filePath(QDateTime::currentDateTime().toString(
        QStringLiteral("'kuvandoro-'yyyyMMdd-HHmmss'.tar.gz'")));
    const QString path =
        kuv::TransferAsker().SaveFile(FWindow, QStringLiteral("バックアップ"), suggested,
                                      QStringLiteral("バックアップ (*.tar.gz)"));
    const std::optional<std::string> archive = Cp932Path(path);
    if (!archive) return;
    // A save that fails ends the handler here, before any backup.
    const kuv::ArchiveFunctions* archiver = ArchiveModule();
    if (archiver == nullptr) return;
    FSession.Save();
    kuv::BackupSources sources;
    sources.dataPath = FSession.Settings().DataPath;
    sources.settingsPath = FSession.Paths().settingsPath;
    sources.leaveOut = {kuv::AutoBackupFolder()};
    FWork->Run<kuv::BackupResult>(
        QStringLiteral("バックアップしています…"),
        [archiver, sources, archive = *archive](const kuv::ProgressFn& progress) {
            return archiver->createBackup(sources, archive, progress);
        },
        [](const kuv::BackupResult& result) { kuv::ShowMessage(kuv::ToQString(result.message)); });
}

void TTransferCommands::Restore1Click() {
    // The automatic backups are the ones most often restored.
    const std::string autoFolder = kuv::AutoBackupFolder();
    const QString folder =
        kuv::fsio::IsDirectory(autoFolder) ? kuv::ToQString(autoFolder) : QDir::homePath();
    const QString path = kuv::TransferAsker().OpenFile(
        FWindow, QStringLiteral("復元するバックアップ"), folder,
        QStringLiteral("バックアップ (*.tar.gz);;すべてのファイル (*)"));
    const std::optional<std::string> archive = Cp932Path(path);
    if (!archive) return;
    const QString data = kuv::ToQString(FSession.Settings().DataPath);
    const QString settings = kuv::ToQString(FSession.Paths().settingsPath);
    const QString keptSettings =
        settings.startsWith(data + u'/')
            ? QStringLiteral("設定ファイルもそのフォルダの中に残ります。")
            : QStringLiteral("設定ファイル %1 も同じように名前を変えて残します。").arg(settings);
    const QString question =
        QStringLiteral(
            "バックアップ %1 から日記を復元します。\n\n"
            "今のデータフォルダ %2 は「%2.before-restore-日付-時刻」という名前で残し、"
            "削除しません。%3\n\n復元しますか？")
            .arg(path, data, keptSettings);
    const kuv::ArchiveFunctions* archiver = ArchiveModule();
    if (archiver == nullptr) return;
    if (!kuv::TransferAsker().Confirm(FWindow, question)) return;
    // The entry being edited goes into the folder that is kept.
    FSession.Save();
    kuv::RestoreTarget target;
    target.dataPath = FSession.Settings().DataPath;
    target.settingsPath = FSession.Paths().settingsPath;
    target.carryOver = {kuv::AutoBackupFolder()};
    FWork->Run<kuv::RestoreResult>(
        QStringLiteral("復元しています…"),
        [archiver, target, archive = *archive](const kuv::ProgressFn& progress) {
            return archiver->restoreBackup(archive, target, progress);
        },
        [this](const kuv::RestoreResult& result) { RestoreFinished(result); });
}

void TTransferCommands::RestoreFinished(const kuv::RestoreResult& result) {
    const QString notice = kuv::ToQString(result.message);
    if (result.status != kuv::RestoreStatus::Done) {
        kuv::ShowMessage(notice);
        return;
    }
    emit restored(notice);
}

void TTransferCommands::Import1Click() {
    const QString folder = kuv::TransferAsker().Folder(FWindow, QStringLiteral("読み込むフォルダ"));
    const std::optional<std::string> path = Cp932Path(folder);
    if (!path) return;
    // A text added to the day shown goes after what the pane holds now.
    FSession.Save();
    kuv::ImportOptions options;
    options.folder = *path;
    options.dataPath = FSession.Settings().DataPath;
    options.useEncryption = FSession.Settings().UseEncryption;
    options.password = FSession.Settings().Password;
    FWork->Run<kuv::ImportResult>(
        QStringLiteral("読み込んでいます…"),
        [options](const kuv::ProgressFn& progress) { return kuv::ImportFolder(options, progress); },
        [this](const kuv::ImportResult& result) { ImportFinished(result); });
}

void TTransferCommands::ImportFinished(const kuv::ImportResult& result) {
    // The day shown may have got a text.
    kuv::Guarded([this] { FSession.Load(); });
    std::vector<int> years;
    for (const kuv::ImportFileReport& file : result.files) {
        if (file.outcome != kuv::ImportFileReport::Outcome::Skipped) years.push_back(file.day.year);
    }
    if (!years.empty()) emit filesChanged(years);
    kuv::ShowMessage(ImportReport(result));
}

void TTransferCommands::WindowShown() {
    ShowAutoBackupSetting();
    // A failure of an earlier start stays on the menu item until a backup is made.
    if (!FLastFailureRead) {
        FLastFailureRead = true;
        if (const std::optional<kuv::AutoBackupFailure> last = kuv::ReadAutoBackupFailure())
            ShowLastFailure(kuv::ToQString(last->when), kuv::ToQString(last->reason));
    }
    // Never on the start-up path, and never while the diary waits for its
    // password: the window is up and open before the backup begins.
    if (!FAutoBackupEnabled || FAutoBackupScheduled || FSession.Locked()) return;
    FAutoBackupScheduled = true;
    QTimer::singleShot(kAutoBackupDelayMs, this,
                       [this] { kuv::Guarded([this] { StartAutoBackup(); }); });
}

void TTransferCommands::StartAutoBackup() {
    if (!FSession.Settings().AutoBackup || FSession.Locked() || FSession.Ended()) return;
    // A diary that has never been written has nothing to keep, and a start
    // writes nothing.
    if (!kuv::fsio::IsDirectory(FSession.Settings().DataPath)) return;
    const kuv::AutoBackupRequest request =
        kuv::AutoBackupRequestFor(FSession.Settings(), FSession.Paths());
    // Later starts of the day load no archive code.
    if (!kuv::AutoBackupDue(request)) return;
    std::string error;
    const kuv::ArchiveFunctions* archiver = kuv::LoadArchiveModule(error);
    if (archiver == nullptr) {
        AutoBackupFailed(kuv::ToQString(error));
        return;
    }
    FAutoBackupJob = FWork->Run<kuv::AutoBackupResult>(
        QString(),
        [archiver, request](const kuv::ProgressFn& progress) {
            return archiver->runAutoBackup(request, progress);
        },
        [this](const kuv::AutoBackupResult& result) { AutoBackupFinished(result); });
}

void TTransferCommands::AutoBackupFinished(const kuv::AutoBackupResult& result) {
    FAutoBackupJob.reset();
    // A backup made, or one still current, puts an earlier failure behind.
    if (result.outcome == kuv::AutoBackupOutcome::Made ||
        result.outcome == kuv::AutoBackupOutcome::Unchanged) {
        kuv::ClearAutoBackupFailure();
        FAutoBackupSwitch->setToolTip(QString());
    }
    if (result.outcome != kuv::AutoBackupOutcome::Failed) return;
    const std::string folder = kuv::AutoBackupFolder();
    AutoBackupFailed(result.backup.message.empty()
                         ? QStringLiteral("フォルダ %1 を作れません。").arg(kuv::ToQString(folder))
                         : kuv::ToQString(result.backup.message));
}

// Nobody asked for this backup: the status bar says it failed, once a day
// (a module missing fails at every start), and the menu item keeps the reason
// for whoever looks, also at later starts.
void TTransferCommands::AutoBackupFailed(const QString& why) {
    const bool news = kuv::NoteAutoBackupFailure(kuv::ToCp932(why).bytes, std::time(nullptr));
    ShowLastFailure(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")), why);
    if (news) emit notice(kFailedText + why);
}

void TTransferCommands::ShowLastFailure(const QString& when, const QString& why) {
    FAutoBackupSwitch->setToolTip(QStringLiteral("%1 %2%3").arg(when, kFailedText, why));
}

void TTransferCommands::AutoBackup1Click() {
    const bool on = !FSession.Settings().AutoBackup;
    const kuv::SettingsWriteResult written =
        kuv::StoreAutoBackupSetting(FSession.Paths(), FSession.SettingsAtStart(), on);
    if (written.ok()) {
        FSession.Settings().AutoBackup = on;
        if (!on && FAutoBackupJob) FAutoBackupJob->cancel = true;
    }
    // The check mark shows what is stored: a refused write puts it back.
    ShowAutoBackupSetting();
    if (!written.ok()) kuv::ShowMessage(kuv::ToQString(written.message));
}

void TTransferCommands::ShowAutoBackupSetting() {
    FAutoBackupSwitch->setChecked(FSession.Settings().AutoBackup);
}
