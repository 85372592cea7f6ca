#pragma once

#include <vector>

#include <QObject>
#include <QString>

class QDateEdit;
class QPlainTextEdit;
class QWidget;
class TEveryYearWindow;
class TMainActions;
class TMarkedCalendar;
class TSearchWindow;

namespace kuv {
class DiarySession;
}

// Finding days: the search and this day in every year (windows of their own,
// made on first use) and the marks of the picker's calendar (made when it
// first drops down). The open ones follow the day and the diary shown.
class TFindCommands final : public QObject {
    Q_OBJECT

  public:
    // window holds the finding windows; picker is the main window's date picker.
    TFindCommands(QWidget* window, const kuv::DiarySession& session, const TMainActions& actions,
                  QDateEdit* picker);
    TFindCommands(const TFindCommands&) = delete;
    TFindCommands& operator=(const TFindCommands&) = delete;

    // The session's day changed or was loaded: the open finding windows
    // follow once the event has been handled.
    void FollowDay();
    // Files of the diary changed: those of years, or of every year when
    // years is empty. The search, the marks and this day in every year read
    // them again once the event has been handled.
    void FilesChanged(const std::vector<int>& years);
    // Another data folder or password, or the diary was unlocked.
    void FollowDiary();

    // Scrolls pane to the first line equal to line and selects its units
    // begin to end there; nothing when the pane holds no such line.
    static void SelectMatch(QPlainTextEdit* pane, const QString& line, int begin, int end);

  signals:
    // The user chose a day in a finding window.
    void daySelected(int year, int month, int day);
    // ... a search result, whose first match is line's units begin to end.
    void matchChosen(const QString& line, int begin, int end);

  private:
    void SearchClick();
    void EveryYearClick();
    void Follow();
    void InstallCalendar();

    QWidget* FWindow;
    const kuv::DiarySession& FSession;
    QDateEdit* FPicker;
    TSearchWindow* FSearchWindow = nullptr;
    TEveryYearWindow* FEveryYearWindow = nullptr;
    TMarkedCalendar* FCalendar = nullptr;
    bool FFollowPending = false;  // a follow is queued
    bool FChangedSinceFollow = false;
    std::vector<int> FChangedYears;  // empty with FChangedSinceFollow: every year
};
