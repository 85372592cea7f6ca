#pragma once

#include <memory>

#include <QObject>

#include "diary/session.h"
#include "drafts/draft_store.h"

class QMainWindow;
class QThreadPool;
class QTimer;
class TDayView;

// Keeps the text being typed as a draft, so that a crash loses none of it:
// shortly after typing pauses, and now and then while it goes on. The
// session makes each draft on the window's thread; one worker thread writes
// them in order, so a draft written late never outlives the save that
// removed it. At start it puts back what an earlier run left.
class TDraftKeeper final : public QObject {
    Q_OBJECT

  public:
    TDraftKeeper(kuv::DiarySession& session, TDayView& view, QMainWindow& window);
    ~TDraftKeeper() override;
    TDraftKeeper(const TDraftKeeper&) = delete;
    TDraftKeeper& operator=(const TDraftKeeper&) = delete;

    // The user changed the upper pane.
    void Changed();
    // An entry was written: its draft is gone, and stays gone.
    void Saved();
    // The panes were loaded anew: a change still waiting is in the entry
    // now, and the day shown has nothing to keep (its kept draft, if any, stays).
    void Loaded();
    // The diary is open (after its password): the drafts of an earlier run
    // come back.
    void DiaryOpened();
    // Every draft handed on so far is written (tests, the end of the window).
    void WaitForWrites();

  signals:
    // Drafts came back as conflict copies: the comparison window should open.
    void conflictCopiesMade();

  private:
    void KeepNow();
    void Enqueue(kuv::DraftJob job);
    void RestoreDrafts();
    // A bar above the day that stays until closed: drafts left unread.
    void ShowKeptDrafts(const QString& text);

    kuv::DiarySession& FSession;
    TDayView& FView;
    QMainWindow& FWindow;
    QTimer* FIdle;     // restarted by every change
    QTimer* FLongest;  // runs from the first change not yet kept
    std::unique_ptr<QThreadPool> FWorker;
    bool FOpened = false;
    bool FWriteHandedOn = false;  // since the last save's removal
};
