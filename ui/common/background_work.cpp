#include "ui/common/background_work.h"

#include <algorithm>

#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>
#include <QtConcurrent/QtConcurrentRun>

#include "ui/app/application.h"
#include "ui/common/messages.h"

namespace kuv {

std::function<void()> gBeforeJobHook;

ProgressFn JobState::Progress(const std::shared_ptr<JobState>& self) const {
    return [self](std::uint64_t done, std::uint64_t total) {
        self->done.store(done, std::memory_order_relaxed);
        self->total.store(total, std::memory_order_relaxed);
        return !self->cancel.load();
    };
}

}  // namespace kuv

// The progress of one job. It stays until the job has ended: a cancel only
// asks the job to stop, and the window takes no input before that.
class TJobProgress final : public QProgressDialog {
  public:
    TJobProgress(const QString& label, QWidget* parent)
        : QProgressDialog(label, QStringLiteral("キャンセル"), 0, 0, parent) {
        setObjectName(QStringLiteral("JobProgress"));
        setWindowTitle(QString::fromLatin1(kuv::kAppTitle));
        // Nothing may change the diary meanwhile, the settings dialog included.
        setWindowModality(Qt::ApplicationModal);
        setAutoClose(false);
        setAutoReset(false);
        setMinimumDuration(0);
        // QProgressDialog hides itself on a cancel; that connection is made
        // by name, so it is undone by name.
        disconnect(this, SIGNAL(canceled()), this, SLOT(cancel()));
    }

  protected:
    void reject() override { emit canceled(); }
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        emit canceled();
    }
};

namespace {

constexpr int kProgressTickMs = 100;
// How long the end of the window waits for a job to stop.
constexpr int kEndWaitMs = 2000;
// The dialog's scale: a job's steps may run past what an int holds.
constexpr int kScale = 1000;

// One worker for the whole program: jobs run one after another. It is never
// destroyed, so that a job left running at the end holds nothing up.
QThreadPool* Worker() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(1);
        return p;
    }();
    return pool;
}

}  // namespace

TBackgroundWork::TBackgroundWork(QWidget* window) : FWindow(window), FTimer(new QTimer(this)) {
    FTimer->setInterval(kProgressTickMs);
    connect(FTimer, &QTimer::timeout, this, [this] { ShowProgress(); });
}

TBackgroundWork::~TBackgroundWork() {
    if (!FStopped) Stop(kEndWaitMs);
}

std::shared_ptr<kuv::JobState> TBackgroundWork::Start(const QString& label, Job job) {
    auto state = std::make_shared<kuv::JobState>();
    const kuv::ProgressFn progress = state->Progress(state);
    auto* watcher = new QFutureWatcher<Finish>(this);
    connect(watcher, &QFutureWatcher<Finish>::finished, this, [this, watcher, state] {
        const Finish finish = watcher->result();
        watcher->deleteLater();
        Finished(state, finish);
    });
    QFuture<Finish> future = QtConcurrent::run(Worker(), [state, progress, job = std::move(job)] {
        if (kuv::gBeforeJobHook) kuv::gBeforeJobHook();
        state->started = true;
        return job(progress);
    });
    watcher->setFuture(future);

    Running running{state, future, nullptr, label};
    if (!label.isEmpty()) {
        auto* dialog = new TJobProgress(label, FWindow);
        connect(dialog, &QProgressDialog::canceled, dialog, [state, dialog] {
            state->cancel = true;
            dialog->setLabelText(QStringLiteral("取り消しています…"));
            if (auto* button = dialog->findChild<QPushButton*>()) button->setEnabled(false);
        });
        dialog->show();
        running.dialog = dialog;
    }
    FRunning.push_back(std::move(running));
    if (!FTimer->isActive()) FTimer->start();
    return state;
}

void TBackgroundWork::Finished(const std::shared_ptr<kuv::JobState>& state, const Finish& finish) {
    const auto it = std::find_if(FRunning.begin(), FRunning.end(),
                                 [&state](const Running& r) { return r.state == state; });
    if (it == FRunning.end()) return;
    // A box may stand over the dialog in a loop of its own (the dialog was
    // the active window that owns it): deleting the dialog now would take
    // the box with it.
    if (it->dialog != nullptr) {
        it->dialog->hide();
        it->dialog->deleteLater();
    }
    FRunning.erase(it);
    if (FRunning.empty()) FTimer->stop();
    if (finish && !FStopped) kuv::Guarded(finish);
}

void TBackgroundWork::ShowProgress() {
    for (const Running& r : FRunning) {
        if (r.dialog == nullptr || r.state->cancel) continue;
        if (!r.state->started) {
            r.dialog->setLabelText(QStringLiteral("前の処理が終わるのを待っています…"));
            continue;
        }
        r.dialog->setLabelText(r.label);
        const std::uint64_t total = r.state->total;
        const std::uint64_t done = std::min<std::uint64_t>(r.state->done, total);
        // Until the job knows its size, the bar only shows that it is busy.
        r.dialog->setMaximum(total > 0 ? kScale : 0);
        if (total > 0) r.dialog->setValue(static_cast<int>(done * kScale / total));
    }
}

void TBackgroundWork::Stop(int waitMs) {
    FStopped = true;
    FTimer->stop();
    // No result reaches the window any more.
    const QObjectList watchers = children();
    for (QObject* child : watchers) {
        if (auto* watcher = qobject_cast<QFutureWatcherBase*>(child)) delete watcher;
    }
    for (Running& r : FRunning) {
        r.state->cancel = true;
        delete r.dialog.data();
    }
    // Each job stops at its next step; one that does not within the wait
    // goes on alone, holding only its own state.
    const QDeadlineTimer deadline(waitMs);
    for (const Running& r : FRunning) {
        while (!r.future.isFinished() && !deadline.hasExpired()) QThread::msleep(5);
    }
    FRunning.clear();
}
