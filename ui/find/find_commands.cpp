#include "ui/find/find_commands.h"

#include <functional>
#include <string>
#include <utility>

#include <QAction>
#include <QDateEdit>
#include <QEvent>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTextCursor>
#include <QTimer>

#include "diary/session.h"
#include "ui/app/application.h"
#include "ui/common/reading_password.h"
#include "ui/find/every_year_window.h"
#include "ui/find/marked_calendar.h"
#include "ui/find/search_window.h"
#include "ui/window/main_actions.h"

namespace {

TEveryYearWindow::Day DayOf(const kuv::DiarySession& session) {
    const kuv::DateParts d = kuv::DecodeDateValue(session.Day());
    return {session.Settings().DataPath, kuv::ReadingPassword(session), d.year, d.month, d.day};
}

// Runs once, when the picker itself is first pressed on (its arrow: the
// text field is a control of its own), before the picker drops its calendar
// down, the only time it needs one. Making the calendar at start-up would
// cost every start.
class TFirstPress final : public QObject {
  public:
    TFirstPress(QWidget* watched, std::function<void()> onPress)
        : QObject(watched), FOnPress(std::move(onPress)) {
        watched->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (FOnPress && event->type() == QEvent::MouseButtonPress) {
            std::exchange(FOnPress, nullptr)();
            watched->removeEventFilter(this);
        }
        return false;
    }

  private:
    std::function<void()> FOnPress;
};

}  // namespace

TFindCommands::TFindCommands(QWidget* window, const kuv::DiarySession& session,
                             const TMainActions& actions, QDateEdit* picker)
    : FWindow(window), FSession(session), FPicker(picker) {
    connect(actions[kuv::MainAction::Search], &QAction::triggered, this,
            [this] { kuv::Guarded([this] { SearchClick(); }); });
    connect(actions[kuv::MainAction::EveryYear], &QAction::triggered, this,
            [this] { kuv::Guarded([this] { EveryYearClick(); }); });
    new TFirstPress(FPicker, [this] { InstallCalendar(); });
}

void TFindCommands::SearchClick() {
    if (FSearchWindow == nullptr) {
        FSearchWindow = new TSearchWindow(FWindow);
        connect(FSearchWindow, &TSearchWindow::daySelected, this, &TFindCommands::daySelected);
        connect(FSearchWindow, &TSearchWindow::matchChosen, this, &TFindCommands::matchChosen);
    }
    FSearchWindow->SetDiary(FSession.Settings().DataPath, kuv::ReadingPassword(FSession));
    FSearchWindow->OpenSearch(FWindow);
}

void TFindCommands::EveryYearClick() {
    if (FEveryYearWindow == nullptr) {
        FEveryYearWindow = new TEveryYearWindow(FWindow);
        connect(FEveryYearWindow, &TEveryYearWindow::daySelected, this,
                &TFindCommands::daySelected);
    }
    FEveryYearWindow->OpenEveryYear(DayOf(FSession), FWindow);
}

void TFindCommands::SelectMatch(QPlainTextEdit* pane, const QString& line, int begin, int end) {
    const QStringList lines = pane->toPlainText().split(QLatin1Char('\n'));
    int start = 0;
    for (const QString& each : lines) {
        if (each == line) {
            QTextCursor cursor(pane->document());
            cursor.setPosition(start + begin);
            cursor.setPosition(start + end, QTextCursor::KeepAnchor);
            pane->setTextCursor(cursor);
            pane->ensureCursorVisible();
            return;
        }
        start += each.size() + 1;
    }
}

void TFindCommands::InstallCalendar() {
    FCalendar = new TMarkedCalendar;
    FCalendar->setLocale(FPicker->locale());
    FPicker->setCalendarWidget(FCalendar);  // the picker's pop-up takes it over
    FCalendar->SetDataPath(FSession.Settings().DataPath);
}

void TFindCommands::FilesChanged(const std::vector<int>& years) {
    const bool every = years.empty() || (FChangedSinceFollow && FChangedYears.empty());
    if (every) {
        FChangedYears.clear();
    } else {
        FChangedYears.insert(FChangedYears.end(), years.begin(), years.end());
    }
    FChangedSinceFollow = true;
    FollowDay();
}

void TFindCommands::FollowDay() {
    if (FFollowPending) return;
    // A step changes the day, saves and loads within one event: the windows
    // follow once, when it has been handled.
    FFollowPending = true;
    QTimer::singleShot(0, this, [this] { Follow(); });
}

void TFindCommands::Follow() {
    FFollowPending = false;
    const bool changed = std::exchange(FChangedSinceFollow, false);
    const std::vector<int> years = std::exchange(FChangedYears, {});
    if (changed && FCalendar != nullptr) FCalendar->Remark();
    if (changed && FSearchWindow != nullptr) FSearchWindow->FilesChanged(years);
    if (FEveryYearWindow != nullptr) FEveryYearWindow->Follow(DayOf(FSession));
}

void TFindCommands::FollowDiary() {
    if (FCalendar != nullptr) FCalendar->SetDataPath(FSession.Settings().DataPath);
    if (FSearchWindow != nullptr) {
        FSearchWindow->SetDiary(FSession.Settings().DataPath, kuv::ReadingPassword(FSession));
    }
    FollowDay();
}
