#pragma once

#include <memory>

#include <QObject>

#include "diary/session.h"
#include "history/entry_history.h"

class QWidget;
class TBackgroundWork;
class TDayView;
class THistoryWindow;
class TMainActions;

// 編集 → 以前の版: the earlier versions of the day shown, listed on the
// worker, one of them read when chosen, and taken back through the
// ordinary save, so that the text it replaces is kept as a version too.
class THistoryCommands final : public QObject {
    Q_OBJECT

  public:
    THistoryCommands(QWidget* window, kuv::DiarySession& session, const TMainActions& actions,
                     TDayView& view);
    ~THistoryCommands() override;
    THistoryCommands(const THistoryCommands&) = delete;
    THistoryCommands& operator=(const THistoryCommands&) = delete;

    // The panes were loaded: an open list follows the day shown.
    void FollowDay();

  private:
    void Open();
    void ListVersions();
    void ShowVersion(int index);
    void Restore(int index);
    // The chosen version's text as the pane shows it; false when it cannot
    // be read or this password does not open it.
    bool ReadVersion(int index, QString& text) const;

    QWidget* FWindow;
    kuv::DiarySession& FSession;
    TDayView& FView;
    std::unique_ptr<TBackgroundWork> FWork;
    std::unique_ptr<THistoryWindow> FHistoryWindow;
    kuv::TDateTime FDay = 0;  // the day the list is of
    std::vector<kuv::EntryVersionFile> FVersions;
};
