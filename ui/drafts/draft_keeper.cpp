#include "ui/drafts/draft_keeper.h"

#include <ctime>
#include <optional>
#include <string>

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QThreadPool>
#include <QTimer>
#include <QToolBar>

#include "app/recovery.h"
#include "dates/calendar.h"
#include "diary/conflict_copies.h"
#include "drafts/draft_restore.h"
#include "ui/app/application.h"
#include "ui/common/qt_text.h"
#include "ui/window/day_view.h"
#include "ui/window/status_bar.h"

namespace {

// A pause in typing this long keeps the text...
constexpr int kIdleMs = 2000;
// ... and typing that never pauses is kept this often.
constexpr int kLongestMs = 30000;

// The day of a conflict copy, from its year folder and its name.
std::optional<kuv::TDateTime> CopyDay(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash < 5) return std::nullopt;
    const std::optional<kuv::ConflictName> name = kuv::ParseConflictName(path.substr(slash + 1));
    const std::string year = path.substr(slash - 4, 4);
    if (!name || path[slash - 5] != '/' ||
        year.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return kuv::EncodeDateValue(static_cast<std::uint16_t>(std::stoi(year)),
                                static_cast<std::uint16_t>(name->month),
                                static_cast<std::uint16_t>(name->day));
}

}  // namespace

TDraftKeeper::TDraftKeeper(kuv::DiarySession& session, TDayView& view, QMainWindow& window)
    : FSession(session),
      FView(view),
      FWindow(window),
      FIdle(new QTimer(this)),
      FLongest(new QTimer(this)),
      FWorker(std::make_unique<QThreadPool>()) {
    FIdle->setSingleShot(true);
    FIdle->setInterval(kIdleMs);
    FLongest->setSingleShot(true);
    FLongest->setInterval(kLongestMs);
    connect(FIdle, &QTimer::timeout, this, &TDraftKeeper::KeepNow);
    connect(FLongest, &QTimer::timeout, this, &TDraftKeeper::KeepNow);
    // One thread: the jobs run in the order they were handed on.
    FWorker->setMaxThreadCount(1);
    FWorker->setExpiryTimeout(-1);
}

TDraftKeeper::~TDraftKeeper() {
    // A draft handed on is the only copy of its text once the window is gone.
    WaitForWrites();
}

void TDraftKeeper::Changed() {
    FIdle->start();
    if (!FLongest->isActive()) FLongest->start();
}

void TDraftKeeper::KeepNow() {
    FIdle->stop();
    FLongest->stop();
    std::optional<kuv::DraftJob> job;
    kuv::Guarded([&] { job = FSession.DraftNow(); });
    if (job) Enqueue(std::move(*job));
}

void TDraftKeeper::Saved() {
    // The session removed the draft of the day it saved; a write still
    // waiting for the worker must not bring it back, so the removal follows it.
    const std::optional<std::string> state = kuv::UserStateFolder();
    if (!state || !FWriteHandedOn) return;
    FWriteHandedOn = false;
    const kuv::DateParts d = kuv::DecodeDateValue(FSession.LoadedDay());
    kuv::DraftJob job;
    job.stateFolder = *state;
    job.draft.dataPath = FSession.Settings().DataPath;
    job.draft.year = d.year;
    job.draft.month = d.month;
    job.draft.day = d.day;
    job.remove = true;
    Enqueue(std::move(job));
}

void TDraftKeeper::Loaded() {
    if (FSession.Unsaved()) return;
    FIdle->stop();
    FLongest->stop();
}

void TDraftKeeper::Enqueue(kuv::DraftJob job) {
    if (!job.remove) FWriteHandedOn = true;
    FWorker->start([job = std::move(job)] { kuv::RunDraftJob(job); });
}

void TDraftKeeper::WaitForWrites() {
    FWorker->waitForDone();
}

void TDraftKeeper::DiaryOpened() {
    if (FOpened) return;
    FOpened = true;
    kuv::Guarded([this] { RestoreDrafts(); });
}

void TDraftKeeper::RestoreDrafts() {
    const std::optional<std::string> state = kuv::UserStateFolder();
    if (!state) return;
    const kuv::TDiarySettings& s = FSession.Settings();
    // Only the drafts an earlier run left: one per day, read once at start.
    const kuv::DraftRestore restore =
        kuv::RestoreDrafts(*state, s.DataPath, s.UseEncryption, s.Password, std::time(nullptr));
    // Oldest day first: moving on saves the day before by the usual rules,
    // and the newest stays in the pane as a change not yet saved.
    for (const kuv::RestoredDraft& draft : restore.putBack) {
        FView.FinishComposition();
        FSession.GoTo(kuv::EncodeDateValue(static_cast<std::uint16_t>(draft.year),
                                           static_cast<std::uint16_t>(draft.month),
                                           static_cast<std::uint16_t>(draft.day)));
        if (FSession.UpperReadOnly()) continue;
        FView.PutUpper(kuv::WidgetTextFromPane(QString::fromUtf8(draft.utf8)));
    }
    const QString notice = kuv::ToQString(restore.StatusText());
    // A notice beside the panels, never over them.
    if (auto* bar = qobject_cast<TStatusBar*>(FWindow.statusBar()); bar && !notice.isEmpty()) {
        bar->ShowNotice(notice, 8000);
    }
    QStringList kept;
    for (const std::string& message : restore.KeptMessages()) kept << kuv::ToQString(message);
    if (!kept.isEmpty()) ShowKeptDrafts(kept.join(QLatin1Char('\n')));
    if (restore.conflictCopies.empty()) return;
    // With no text put back, the window may show the day of the first copy.
    if (restore.putBack.empty()) {
        if (const std::optional<kuv::TDateTime> day = CopyDay(restore.conflictCopies.front())) {
            FSession.GoTo(*day);
        }
    }
    // Once the window is up, beside it.
    QTimer::singleShot(0, this, [this] { emit conflictCopiesMade(); });
}

void TDraftKeeper::ShowKeptDrafts(const QString& text) {
    auto* bar = new QToolBar(&FWindow);
    bar->setObjectName(QStringLiteral("DraftNoticeBar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    auto* label = new QLabel(text, bar);
    label->setObjectName(QStringLiteral("DraftNotice"));
    label->setWordWrap(true);
    bar->addWidget(label);
    QAction* close = bar->addAction(QStringLiteral("閉じる"));
    close->setObjectName(QStringLiteral("CloseDraftNotice"));
    connect(close, &QAction::triggered, bar, &QObject::deleteLater);
    FWindow.addToolBar(Qt::TopToolBarArea, bar);
}
