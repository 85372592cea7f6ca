#include <functional>
#include <string>
#include <utility>

#include <QAction>
#include <QDateEdit>
#include <QEvent>
#include <QKeySequence>
#include <QMenu>
#include <QTimer>

#include "ui/app/application.h"
#include "ui/find/every_year_window.h"
#include "ui/find/marked_calendar.h"
#include "ui/find/search_window.h"
#include "ui/window/main_form.h"

// The main window's side of finding days: the search and this day in every
// year (windows of their own), and the marks of the picker's calendar.

namespace {

// The password entries are decoded with, as loading the panes does: none
// while the diary is locked.
std::string PasswordOf(const kuv::DiarySession& session) {
    return session.Locked() ? std::string() : session.Settings().Password;
}

TEveryYearWindow::Day DayOf(const kuv::DiarySession& session) {
    const kuv::DateParts d = kuv::DecodeDateValue(session.Day());
    return {session.Settings().DataPath, PasswordOf(session), d.year, d.month, d.day};
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

void TMainForm::CreateFindCommands() {
    Search1 = new QAction(QStringLiteral("検索..."), this);
    Search1->setObjectName(QStringLiteral("Search1"));
    Search1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    EveryYear1 = new QAction(QStringLiteral("毎年の今日"), this);
    EveryYear1->setObjectName(QStringLiteral("EveryYear1"));
    Edit1->addSeparator()->setObjectName(QStringLiteral("FindSeparator1"));
    Edit1->addActions({Search1, EveryYear1});

    connect(Search1, &QAction::triggered, this,
            [this] { kuv::Guarded([this] { SearchClick(); }); });
    connect(EveryYear1, &QAction::triggered, this,
            [this] { kuv::Guarded([this] { EveryYearClick(); }); });
    new TFirstPress(DateTimePicker, [this] { InstallCalendar(); });
}

void TMainForm::SearchClick() {
    if (FSearchWindow == nullptr) {
        FSearchWindow = new TSearchWindow(this);
        connect(FSearchWindow, &TSearchWindow::daySelected, this,
                [this](int year, int month, int day) { GoToDay(year, month, day); });
    }
    FSearchWindow->SetDiary(FSession.Settings().DataPath, PasswordOf(FSession));
    FSearchWindow->OpenSearch(this);
}

void TMainForm::EveryYearClick() {
    if (FEveryYearWindow == nullptr) {
        FEveryYearWindow = new TEveryYearWindow(this);
        connect(FEveryYearWindow, &TEveryYearWindow::daySelected, this,
                [this](int year, int month, int day) { GoToDay(year, month, day); });
    }
    FEveryYearWindow->OpenEveryYear(DayOf(FSession), this);
}

void TMainForm::InstallCalendar() {
    FCalendar = new TMarkedCalendar;
    FCalendar->setLocale(DateTimePicker->locale());
    DateTimePicker->setCalendarWidget(FCalendar);  // the picker's pop-up takes it over
    FCalendar->SetDataPath(FSession.Settings().DataPath);
}

void TMainForm::EntrySaved() {
    FollowDay(true);
}

void TMainForm::FollowDay(bool saved) {
    FSavedSinceFollow = FSavedSinceFollow || saved;
    if (FFollowPending) return;
    // A step changes the day, saves and loads within one event: the windows
    // follow once, when it has been handled.
    FFollowPending = true;
    QTimer::singleShot(0, this, [this] { Follow(); });
}

void TMainForm::Follow() {
    FFollowPending = false;
    const bool saved = std::exchange(FSavedSinceFollow, false);
    if (saved && FCalendar != nullptr) FCalendar->Remark();
    if (saved && FSearchWindow != nullptr) FSearchWindow->EntrySaved();
    if (FEveryYearWindow != nullptr) FEveryYearWindow->Follow(DayOf(FSession));
}

void TMainForm::FollowDiary() {
    if (FCalendar != nullptr) FCalendar->SetDataPath(FSession.Settings().DataPath);
    if (FSearchWindow != nullptr) {
        FSearchWindow->SetDiary(FSession.Settings().DataPath, PasswordOf(FSession));
    }
    FollowDay();
}
