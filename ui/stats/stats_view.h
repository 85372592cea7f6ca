#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QWidget>

#include "diary/diary_stats.h"

class QLabel;
class QScrollArea;
class TYearHeatmap;

// Characters per month of one year as bars, with the locale's month names.
class TMonthBars : public QWidget {
    Q_OBJECT

  public:
    explicit TMonthBars(QWidget* parent = nullptr);
    void SetMonths(const std::array<std::int64_t, 12>& characters);
    const std::array<std::int64_t, 12>& Months() const { return FMonths; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    std::array<std::int64_t, 12> FMonths{};
};

// What the 記録 window shows: the heatmap of every year, newest first, and
// beside it the numbers of the whole diary and of the year chosen (a click
// on a year or a day chooses it) with that year's characters per month.
// It computes nothing from the disk: the window counts the days in the
// background (diary/diary_stats.h: first from the sizes, then from the text)
// and hands each result to SetDays.
class TStatsView : public QWidget {
    Q_OBJECT

  public:
    explicit TStatsView(QWidget* parent = nullptr);

    // The days counted so far and today, for the current run. The chosen
    // year stays when it still has days, else the newest year is chosen.
    void SetDays(const std::vector<kuv::DayCount>& days, int todayYear, int todayMonth,
                 int todayDay);
    void ChooseYear(int year);
    int ChosenYear() const { return FChosenYear; }
    const kuv::DiaryStats& Stats() const { return FStats; }
    TYearHeatmap* Heatmap() const { return FHeatmap; }

  signals:
    // A day's cell was clicked: the window goes there through the session.
    void DayClicked(int year, int month, int day);

  private:
    void ShowNumbers();

    TYearHeatmap* FHeatmap = nullptr;
    QScrollArea* FScroll = nullptr;
    QLabel* FDays = nullptr;
    QLabel* FCharacters = nullptr;
    QLabel* FAverage = nullptr;
    QLabel* FLongestRun = nullptr;
    QLabel* FCurrentRun = nullptr;
    QLabel* FEstimated = nullptr;
    QLabel* FYearTitle = nullptr;
    QLabel* FYearDays = nullptr;
    QLabel* FYearCharacters = nullptr;
    QLabel* FYearAverage = nullptr;
    QLabel* FYearLongestRun = nullptr;
    TMonthBars* FBars = nullptr;
    kuv::DiaryStats FStats;
    int FChosenYear = 0;
    bool FCounting = false;  // some days are known by their size only
};
