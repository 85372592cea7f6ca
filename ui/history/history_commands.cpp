#include "ui/history/history_commands.h"

#include <ctime>
#include <optional>
#include <string>

#include <QAction>
#include <QDateTime>
#include <QMainWindow>
#include <QStatusBar>

#include "dates/date_pattern.h"
#include "diary/diary_book.h"
#include "ui/app/application.h"
#include "ui/common/background_work.h"
#include "ui/common/memo.h"
#include "ui/common/qt_text.h"
#include "ui/history/history_window.h"
#include "ui/window/day_view.h"
#include "ui/window/main_actions.h"
#include "ui/window/status_bar.h"

namespace {

QString VersionLabel(const kuv::EntryVersionFile& v) {
    const QString when =
        QDateTime::fromSecsSinceEpoch(v.time).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    return QStringLiteral("%1  %2 バイト").arg(when).arg(v.size);
}

}  // namespace

THistoryCommands::THistoryCommands(QWidget* window, kuv::DiarySession& session,
                                   const TMainActions& actions, TDayView& view)
    : FWindow(window),
      FSession(session),
      FView(view),
      FWork(std::make_unique<TBackgroundWork>(window)) {
    connect(actions[kuv::MainAction::EarlierVersions], &QAction::triggered, this,
            [this] { kuv::Guarded([this] { Open(); }); });
}

THistoryCommands::~THistoryCommands() = default;

void THistoryCommands::Open() {
    if (FSession.Locked()) return;
    if (!FHistoryWindow) {
        FHistoryWindow = std::make_unique<THistoryWindow>();
        connect(FHistoryWindow.get(), &THistoryWindow::versionChosen, this,
                [this](int index) { kuv::Guarded([this, index] { ShowVersion(index); }); });
        connect(FHistoryWindow.get(), &THistoryWindow::restoreRequested, this,
                [this](int index) { kuv::Guarded([this, index] { Restore(index); }); });
    }
    ListVersions();
    FHistoryWindow->show();
    FHistoryWindow->raise();
    FHistoryWindow->activateWindow();
}

void THistoryCommands::FollowDay() {
    if (FHistoryWindow && FHistoryWindow->isVisible() && FSession.LoadedDay() != FDay) {
        ListVersions();
    }
}

void THistoryCommands::ListVersions() {
    FDay = FSession.LoadedDay();
    FVersions.clear();
    const std::optional<std::string> root = kuv::UserHistoryRoot();
    const QString day = kuv::ToQString(kuv::FormatDatePattern("yyyy/mm/dd", FDay));
    if (!root) {
        FHistoryWindow->ShowVersions(day, {});
        return;
    }
    const std::string folder = kuv::DiaryHistoryFolder(*root, FSession.Settings().DataPath);
    const std::string year = kuv::FormatDatePattern("yyyy", FDay);
    const std::string entry = kuv::EntryName(FDay);
    // Reading every version's header grows with the edits of the day.
    FWork->Run<kuv::VersionList>(
        QString(),
        [folder, year, entry](const kuv::ProgressFn&) {
            return kuv::ListEntryVersions(folder, year, entry);
        },
        [this, day, listed = FDay](const kuv::VersionList& list) {
            // The window moved on to another day meanwhile: that list follows.
            if (!FHistoryWindow || listed != FDay) return;
            FVersions = list.versions;
            std::vector<THistoryWindow::Version> rows;
            for (const kuv::EntryVersionFile& v : FVersions) rows.push_back({VersionLabel(v)});
            FHistoryWindow->ShowVersions(day, rows);
        });
}

bool THistoryCommands::ReadVersion(int index, QString& text) const {
    if (index < 0 || static_cast<std::size_t>(index) >= FVersions.size()) return false;
    kuv::VersionText version;
    const std::string& dataPath = FSession.Settings().DataPath;
    if (kuv::OpenEntryVersion(FVersions[index].path, dataPath, kuv::FormatDatePattern("yyyy", FDay),
                              kuv::EntryName(FDay), FSession.Settings().Password,
                              version) != kuv::VersionOpen::Opened) {
        return false;
    }
    const std::string paneText = kuv::PaneTextFromFile(version.text);
    text = version.utf8 ? kuv::WidgetTextOfPane(std::string(), paneText)
                        : kuv::WidgetTextFromPane(kuv::ToQString(paneText));
    return true;
}

void THistoryCommands::ShowVersion(int index) {
    QString text;
    const bool readable = ReadVersion(index, text);
    if (!readable) {
        text = QStringLiteral("この版は読み込めないか、今のパスワードでは開けません");
    }
    FHistoryWindow->ShowText(text, FView.UpperPane()->toPlainText(), readable);
}

void THistoryCommands::Restore(int index) {
    QString text;
    // The list is of the day it was made for; the window may show another now.
    if (FSession.LoadedDay() != FDay || FSession.UpperReadOnly() || !ReadVersion(index, text)) {
        ListVersions();
        return;
    }
    FView.FinishComposition();
    FView.PutUpper(text);
    FSession.Save();
    // A notice beside the panels, never over them.
    if (auto* main = qobject_cast<QMainWindow*>(FWindow)) {
        if (auto* bar = qobject_cast<TStatusBar*>(main->statusBar())) {
            bar->ShowNotice(QStringLiteral("以前の版に戻しました"), 8000);
        }
    }
    ListVersions();
}
