#pragma once

#include <map>
#include <vector>

#include <QColor>
#include <QPoint>
#include <QWidget>

#include "diary/diary_stats.h"

// The days written as a heatmap, one block a year, newest first: 53 week
// columns (54 in a year that needs them) by 7 weekday rows, one cell a day,
// its shade by the entry's length in five steps of the palette's highlight
// colour, with a legend. Locked days the password does not open are shaded
// by their file's size and marked with a corner. Hovering a cell shows its
// date and count; a click on one says which day it is.
class TYearHeatmap : public QWidget {
    Q_OBJECT

  public:
    explicit TYearHeatmap(QWidget* parent = nullptr);

    // The days to show (any order, one count a day); the years run from the
    // first to the last of them.
    void SetDays(const std::vector<kuv::DayCount>& days);
    // The year whose block is outlined.
    void SetChosenYear(int year);

    // The years shown, newest first.
    const std::vector<int>& Years() const { return FYears; }
    // Where the middle of a day's cell lies; (-1, -1) for a day not shown.
    QPoint CellCentre(int year, int month, int day) const;
    // The tooltip of the cell at pos; empty outside the cells.
    QString TipAt(QPoint pos) const;
    // The colour of a shade 0 to 4 in the current palette.
    QColor ShadeColour(int shade) const;

    QSize sizeHint() const override;

  signals:
    void DayClicked(int year, int month, int day);
    void YearClicked(int year);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    struct Hit {
        int year = 0, month = 0, day = 0;  // year only: its title
    };
    // The day (or year title) under pos.
    Hit HitAt(QPoint pos) const;
    int Cell() const;
    int LeftMargin() const;
    int LegendHeight() const;
    int BlockHeight() const;
    int BlockTop(int index) const;
    const kuv::DayCount* Find(int year, int month, int day) const;

    std::vector<int> FYears;             // newest first
    std::map<int, kuv::DayCount> FDays;  // by yyyymmdd
    int FChosenYear = 0;
};
