#pragma once

#include <QObject>

class QWidget;
class TMainActions;
class TStatsWindow;

namespace kuv {
class DiarySession;
}

// The 記録 command: its window, made on first use, counted anew after a
// save or when the diary changes while it is open.
class TStatsCommands final : public QObject {
    Q_OBJECT

  public:
    TStatsCommands(QWidget* window, const kuv::DiarySession& session, const TMainActions& actions);
    TStatsCommands(const TStatsCommands&) = delete;
    TStatsCommands& operator=(const TStatsCommands&) = delete;

    // An entry was saved, or another data folder or password is in use.
    void FollowDiary();

  signals:
    // The user clicked a day's cell.
    void daySelected(int year, int month, int day);

  private:
    void StatsClick();

    QWidget* FWindow;
    const kuv::DiarySession& FSession;
    TStatsWindow* FStatsWindow = nullptr;
    bool FFollowPending = false;
};
