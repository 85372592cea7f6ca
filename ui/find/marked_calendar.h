#pragma once

#include <string>

#include <QCalendarWidget>

// The picker's drop-down calendar, with the days of the month shown that
// hold an entry marked: bold on a tint of the palette's highlight, and a
// locked entry in italics on a tint of its dark shade. The marks come from
// listing the month's year folder; no entry file is read.
class TMarkedCalendar final : public QCalendarWidget {
    Q_OBJECT

  public:
    explicit TMarkedCalendar(QWidget* parent = nullptr);

    // The diary's data folder; the month shown is marked anew.
    void SetDataPath(const std::string& dataPath);
    // Marks the month shown anew (after a save).
    void Remark();

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void Mark(int year, int month);

    std::string FDataPath;
};
