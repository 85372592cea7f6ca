#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QFuture>
#include <QObject>
#include <QPointer>
#include <QString>

#include "platform/progress.h"

class QTimer;
class QWidget;
class TJobProgress;

namespace kuv {

// What a job on the worker thread and the window share: the job writes how
// far it has come, the window reads that and may ask it to stop. Both hold
// it, so a job that outlives the window touches nothing of it.
struct JobState {
    std::atomic<std::uint64_t> done{0};
    std::atomic<std::uint64_t> total{0};
    std::atomic<bool> started{false};
    std::atomic<bool> cancel{false};
    ProgressFn Progress(const std::shared_ptr<JobState>& self) const;
};

// Called on the worker before each job; tests hold a job back with it.
extern std::function<void()> gBeforeJobHook;

}  // namespace kuv

// The window's long operations (export, backups, restore, import), run one
// after another on a worker thread that the whole program shares, so that a
// command waits for the automatic backup instead of reading the diary beside
// it. A job gets a progress function and returns what the window's thread
// then runs with its result; with a label, a modal progress dialog with a
// cancel button keeps the windows still meanwhile.
class TBackgroundWork final : public QObject {
    Q_OBJECT

  public:
    using Finish = std::function<void()>;
    using Job = std::function<Finish(const kuv::ProgressFn&)>;

    explicit TBackgroundWork(QWidget* window);
    ~TBackgroundWork() override;
    TBackgroundWork(const TBackgroundWork&) = delete;
    TBackgroundWork& operator=(const TBackgroundWork&) = delete;

    // Starts job on the worker; its Finish runs on the window's thread once
    // it is done, unless the work was stopped. The state lets the caller
    // cancel the job later.
    std::shared_ptr<kuv::JobState> Start(const QString& label, Job job);

    // The same with a result: done(result) on the window's thread.
    template <class R>
    std::shared_ptr<kuv::JobState> Run(const QString& label,
                                       std::function<R(const kuv::ProgressFn&)> job,
                                       std::function<void(const R&)> done) {
        return Start(label,
                     [job = std::move(job),
                      done = std::move(done)](const kuv::ProgressFn& progress) -> Finish {
                         auto result = std::make_shared<R>(job(progress));
                         return [done, result] { done(*result); };
                     });
    }

    bool Busy() const { return !FRunning.empty(); }

    // The end of the window (the destructor does it too): every job is
    // asked to stop and none of their results is taken any more; waits up to
    // waitMs for them to end, then leaves a job that has not ended to end on
    // its own.
    void Stop(int waitMs);

  private:
    struct Running {
        std::shared_ptr<kuv::JobState> state;
        QFuture<Finish> future;
        QPointer<TJobProgress> dialog;
        QString label;
    };
    void Finished(const std::shared_ptr<kuv::JobState>& state, const Finish& finish);
    void ShowProgress();

    QWidget* FWindow;
    QTimer* FTimer;
    std::vector<Running> FRunning;
    bool FStopped = false;
};
