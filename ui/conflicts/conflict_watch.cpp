#include "ui/conflicts/conflict_watch.h"

#include <QAction>
#include <QDate>
#include <QDateEdit>
#include <QFileSystemWatcher>
#include <QLocale>
#include <QTextCursor>
#include <QTimer>

#include "diary/conflict_copies.h"
#include "platform/cp932.h"
#include "platform/fileio.h"
#include "ui/app/application.h"
#include "ui/common/memo.h"
#include "ui/common/messages.h"
#include "ui/common/qt_text.h"
#include "ui/conflicts/conflict_window.h"
#include "ui/window/main_actions.h"

namespace {

// How long the folders must stay quiet before the entries are looked at: a
// sync tool writes a file and renames it in several steps.
constexpr int kSettleMs = 300;

QString KindName(kuv::ConflictKind kind) {
    switch (kind) {
        case kuv::ConflictKind::Own:
            return QStringLiteral("この日記の競合コピー");
        case kuv::ConflictKind::Syncthing:
            return QStringLiteral("Syncthing の競合コピー");
        case kuv::ConflictKind::Nextcloud:
            return QStringLiteral("Nextcloud/ownCloud の競合コピー");
        case kuv::ConflictKind::Dropbox:
            return QStringLiteral("Dropbox の競合コピー");
        case kuv::ConflictKind::OneDrive:
            return QStringLiteral("OneDrive の競合コピー");
    }
    return QString();
}

}  // namespace

TConflictWatch::TConflictWatch(kuv::DiarySession& session, const TMainActions& actions,
                               TMemo* upper, QDateEdit* picker)
    : FSession(session),
      FShowConflicts(actions[kuv::MainAction::ShowConflicts]),
      FUpper(upper),
      FPicker(picker),
      FWatcher(new QFileSystemWatcher(this)),
      FDiskSettle(new QTimer(this)) {
    connect(FShowConflicts, &QAction::triggered, this,
            [this] { kuv::Guarded([this] { OpenConflictWindow(); }); });
    FDiskSettle->setSingleShot(true);
    FDiskSettle->setInterval(kSettleMs);
    connect(FWatcher, &QFileSystemWatcher::directoryChanged, FDiskSettle,
            qOverload<>(&QTimer::start));
    connect(FDiskSettle, &QTimer::timeout, this,
            [this] { kuv::Guarded([this] { OnDiskChanged(); }); });
}

TConflictWatch::~TConflictWatch() = default;

void TConflictWatch::DayLoaded() {
    WatchShownFolders();
    LookUpCopies();
}

void TConflictWatch::WatchShownFolders() {
    const QStringList watched = FWatcher->directories();
    if (!watched.isEmpty()) FWatcher->removePaths(watched);
    QStringList wanted;
    for (const std::string& folder : {FSession.YearDir(), FSession.LastYearDir()}) {
        // A year without a folder yet: its data folder shows the folder coming.
        const std::string existing =
            kuv::fsio::IsDirectory(folder) ? folder : kuv::fsio::ParentOf(folder);
        const QString path = QString::fromStdString(kuv::cp932::ToUtf8(existing));
        if (!existing.empty() && !wanted.contains(path)) wanted << path;
    }
    if (!wanted.isEmpty()) FWatcher->addPaths(wanted);
}

void TConflictWatch::OnDiskChanged() {
    if (FPaused) return;
    const kuv::DiarySession::DiskCheck check = FSession.CheckDisk();
    if (check.reloaded) emit reloadedFromDisk();
    // The watched folders are the shown day's year and the year before.
    const int year = kuv::DecodeDateValue(FSession.LoadedDay()).year;
    emit filesChanged({year, year - 1});
    LookUpCopies();
    if (FConflictWindow && FConflictWindow->isVisible()) OpenConflictWindow();
}

std::vector<kuv::ConflictCopy> TConflictWatch::ShownDayCopies() const {
    const kuv::DateParts d = kuv::DecodeDateValue(FSession.LoadedDay());
    return kuv::ListConflictCopies(FSession.Settings().DataPath, d.year, d.month, d.day);
}

void TConflictWatch::LookUpCopies() {
    const bool copies = !ShownDayCopies().empty();
    FShowConflicts->setEnabled(copies);
    FState = FSession.ConflictPending() ? State::Pending : copies ? State::Copies : State::None;
    emit stateChanged();
}

kuv::ConflictChoice TConflictWatch::Resolve(const kuv::DiskConflict& conflict) {
    const QString path = kuv::ToQString(conflict.path);
    const QString what = conflict.change == kuv::EntryChange::Removed
                             ? QStringLiteral("%1 は、読み込んだ後に削除されています。").arg(path)
                             : QStringLiteral(
                                   "%1 は、読み込んだ後に別のプログラム（同期ツール、もう一台の"
                                   "パソコンなど）で書き換えられています。")
                                   .arg(path);
    const int answer = kuv::Ask(
        what + QStringLiteral("\n\nどちらを日記として残しますか。残さない方は、競合コピーとして"
                              "日記のそばに保存します。"),
        {QStringLiteral("編集中の文章を残す"), QStringLiteral("ディスク上の版を残す"),
         QStringLiteral("キャンセル")});
    switch (answer) {
        case 0:
            return kuv::ConflictChoice::KeepMine;
        case 1:
            return kuv::ConflictChoice::TakeTheirs;
        default:
            return kuv::ConflictChoice::Cancel;
    }
}

void TConflictWatch::OpenConflictWindow() {
    if (!FConflictWindow) {
        FConflictWindow = std::make_unique<TConflictWindow>();
        connect(FConflictWindow.get(), &TConflictWindow::appendRequested, this,
                [this](const QString& text) { kuv::Guarded([&] { AppendConflictCopy(text); }); });
        connect(FConflictWindow.get(), &TConflictWindow::deleteRequested, this,
                [this](const QString& path) { kuv::Guarded([&] { DeleteConflictCopy(path); }); });
    }
    std::vector<TConflictWindow::Copy> copies;
    for (const kuv::ConflictCopy& c : ShownDayCopies()) {
        kuv::PaneContent pane;
        TConflictWindow::Copy copy;
        copy.path = kuv::ToQString(c.path);
        copy.label = KindName(c.kind) + QStringLiteral("（") + QString::fromStdString(c.when) +
                     QStringLiteral("）");
        copy.readable = kuv::ReadConflictCopy(c.path, FSession.Settings().Password, pane) &&
                        pane.source != kuv::PaneSource::Sealed;
        copy.text = kuv::WidgetTextOfPane(pane.text, pane.utf8);
        copies.push_back(copy);
    }
    const QDate day = FPicker->date();
    FConflictWindow->ShowVersions(QLocale().toString(day, QLocale::LongFormat),
                                  FUpper->toPlainText(), copies, FUpper->window());
}

void TConflictWatch::AppendConflictCopy(const QString& copyText) {
    if (FUpper->isReadOnly()) return;
    // The copy's text goes after an empty line, as a change of the pane that
    // is saved by the usual rules.
    // Joined as UTF-8, which holds any character a strong-locked copy may;
    // only the line breaks matter to the joining.
    const QByteArray entry = kuv::PaneTextFromWidget(FUpper->toPlainText()).toUtf8();
    const QByteArray copy = kuv::PaneTextFromWidget(copyText).toUtf8();
    const std::string joined = kuv::AppendConflictText(entry.toStdString(), copy.toStdString());
    QTextCursor cursor(FUpper->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(kuv::WidgetTextOfPane(std::string(), joined.substr(entry.size())));
    FUpper->setTextCursor(cursor);
    OpenConflictWindow();
}

void TConflictWatch::DeleteConflictCopy(const QString& path) {
    const int answer =
        kuv::Ask(QStringLiteral("この競合コピーを削除します。よろしいですか。\n%1").arg(path),
                 {QStringLiteral("削除する"), QStringLiteral("キャンセル")});
    if (answer != 0) return;
    const std::string bytes = kuv::ToCp932(path).bytes;
    if (!kuv::DeleteConflictCopy(bytes)) {
        kuv::ShowMessage(QStringLiteral("競合コピー %1 を削除できません").arg(path));
        return;
    }
    LookUpCopies();
    if (!ShownDayCopies().empty()) {
        OpenConflictWindow();
    } else if (FConflictWindow) {
        FConflictWindow->close();
    }
}
