#include <string>
#include <utility>

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QTimer>

#include "ui/application.h"
#include "ui/main_form.h"
#include "ui/search_window.h"

// The main window's side of finding days: the search, a window of its own.

namespace {

// The password entries are decoded with, as loading the panes does: none
// while the diary is locked.
std::string PasswordOf(const kuv::DiarySession& session) {
    return session.Locked() ? std::string() : session.Settings().Password;
}

}  // namespace

void TMainForm::CreateFindCommands() {
    Search1 = new QAction(QStringLiteral("検索..."), this);
    Search1->setObjectName(QStringLiteral("Search1"));
    Search1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    Edit1->addSeparator()->setObjectName(QStringLiteral("FindSeparator1"));
    Edit1->addAction(Search1);

    connect(Search1, &QAction::triggered, this,
            [this] { kuv::Guarded([this] { SearchClick(); }); });
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
    if (saved && FSearchWindow != nullptr) FSearchWindow->EntrySaved();
}

void TMainForm::FollowDiary() {
    if (FSearchWindow != nullptr) {
        FSearchWindow->SetDiary(FSession.Settings().DataPath, PasswordOf(FSession));
    }
    FollowDay();
}
