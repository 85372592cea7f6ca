#include "ui/stats/stats_commands.h"

#include <QAction>
#include <QTimer>

#include "diary/session.h"
#include "ui/app/application.h"
#include "ui/common/reading_password.h"
#include "ui/stats/stats_window.h"
#include "ui/window/main_actions.h"

TStatsCommands::TStatsCommands(QWidget* window, const kuv::DiarySession& session,
                               const TMainActions& actions)
    : FWindow(window), FSession(session) {
    connect(actions[kuv::MainAction::Stats], &QAction::triggered, this,
            [this] { kuv::Guarded([this] { StatsClick(); }); });
}

void TStatsCommands::StatsClick() {
    if (FStatsWindow == nullptr) {
        FStatsWindow = new TStatsWindow(FWindow);
        connect(FStatsWindow, &TStatsWindow::daySelected, this, &TStatsCommands::daySelected);
    }
    FStatsWindow->OpenStats(FSession.Settings().DataPath, kuv::ReadingPassword(FSession), FWindow);
}

void TStatsCommands::FollowDiary() {
    if (FStatsWindow == nullptr || FFollowPending) return;
    // A step saves and loads within one event: the window counts once, when
    // it has been handled.
    FFollowPending = true;
    QTimer::singleShot(0, this, [this] {
        FFollowPending = false;
        FStatsWindow->Recount(FSession.Settings().DataPath, kuv::ReadingPassword(FSession));
    });
}
