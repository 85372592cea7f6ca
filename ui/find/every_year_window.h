#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QWidget>

#include "diary/every_year.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class TBackgroundWork;

// "This day in every year": the entries of the main window's month and day
// in every year that has one, newest first, with their first lines; the
// chosen one's whole text below, read-only. The entries are listed on a
// worker thread, so that following the main window's day never waits on the
// disk. It knows nothing of the main window: it is told the day and says
// which year the user chose.
class TEveryYearWindow final : public QWidget {
    Q_OBJECT

  public:
    // The day to follow and the diary to read it from.
    struct Day {
        std::string dataPath;
        std::string password;  // the session's, empty while the diary is locked
        int year = 0, month = 0, day = 0;
    };

    explicit TEveryYearWindow(QWidget* parent = nullptr);
    ~TEveryYearWindow() override;
    TEveryYearWindow(const TEveryYearWindow&) = delete;
    TEveryYearWindow& operator=(const TEveryYearWindow&) = delete;

    // The main window's day changed, or an entry was saved: an open window
    // lists the month and day anew; a hidden one when it is shown.
    void Follow(const Day& day);
    // The menu command: shows the window or brings it to the front. It is
    // placed beside over the first time.
    void OpenEveryYear(const Day& day, const QWidget* over);

  signals:
    // The user chose a year (Enter, a double click).
    void daySelected(int year, int month, int day);

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CreateControls();
    void List();
    void Listed(const kuv::EveryYear& list, const Day& day);
    void ShowEntry();
    void Choose(QListWidgetItem* item);

    Day FDay;
    kuv::EveryYear FList;
    Day FListed;                    // the day the list is of
    std::uint64_t FGeneration = 0;  // of the latest listing; older ones are dropped
    bool FPlaced = false;

    QLabel* EveryYearTitle = nullptr;
    QListWidget* EveryYearList = nullptr;
    QPlainTextEdit* EveryYearText = nullptr;
    QLabel* EveryYearCount = nullptr;
    // Last, so that it goes first: no listing reaches a window going away.
    std::unique_ptr<TBackgroundWork> FWork;
};
