#pragma once

#include <memory>
#include <vector>

#include <QObject>

#include "diary/conflict_copies.h"
#include "diary/session.h"

class QAction;
class QDateEdit;
class QFileSystemWatcher;
class QTimer;
class TConflictWindow;
class TMainActions;
class TMemo;

// The main window beside other writers: it watches the folders of the
// entries shown, asks what to keep when a save finds an entry changed on
// disk, and offers the day's conflict copies.
class TConflictWatch final : public QObject {
    Q_OBJECT

  public:
    enum class State { None, Pending, Copies };

    // upper is the pane the copies' texts can be added to; picker shows the day.
    TConflictWatch(kuv::DiarySession& session, const TMainActions& actions, TMemo* upper,
                   QDateEdit* picker);
    ~TConflictWatch() override;
    TConflictWatch(const TConflictWatch&) = delete;
    TConflictWatch& operator=(const TConflictWatch&) = delete;

    // A day was loaded: its folders are watched and its copies looked up.
    void DayLoaded();
    // While the window itself rewrites every entry (a lock turned on or
    // off), what the folders show is its own doing and no other writer's.
    void SetPaused(bool paused) { FPaused = paused; }
    // The shown entry changed on disk since it was loaded, or has copies.
    State EntryState() const { return FState; }

    // Asks which version of an entry changed on disk to keep.
    static kuv::ConflictChoice Resolve(const kuv::DiskConflict& conflict);

  signals:
    // EntryState() may have changed; reloadedFromDisk after a reload.
    void stateChanged();
    void reloadedFromDisk();
    // Files of these years changed on disk: the shown folders, as watched.
    void filesChanged(const std::vector<int>& years);

  private:
    void WatchShownFolders();
    void OnDiskChanged();
    void LookUpCopies();
    std::vector<kuv::ConflictCopy> ShownDayCopies() const;
    void OpenConflictWindow();
    void AppendConflictCopy(const QString& copyText);
    void DeleteConflictCopy(const QString& path);

    kuv::DiarySession& FSession;
    QAction* FShowConflicts;
    TMemo* FUpper;
    QDateEdit* FPicker;
    QFileSystemWatcher* FWatcher;
    QTimer* FDiskSettle;
    bool FPaused = false;
    State FState = State::None;
    std::unique_ptr<TConflictWindow> FConflictWindow;
};
