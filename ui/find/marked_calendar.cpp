#include "ui/find/marked_calendar.h"

#include <QEvent>
#include <QPalette>
#include <QTextCharFormat>

#include "diary/catalog.h"
#include "ui/common/tint.h"

TMarkedCalendar::TMarkedCalendar(QWidget* parent) : QCalendarWidget(parent) {
    setObjectName(QStringLiteral("PickerCalendar"));
    connect(this, &QCalendarWidget::currentPageChanged, this, &TMarkedCalendar::Mark);
}

void TMarkedCalendar::SetDataPath(const std::string& dataPath) {
    FDataPath = dataPath;
    Remark();
}

void TMarkedCalendar::Remark() {
    Mark(yearShown(), monthShown());
}

void TMarkedCalendar::Mark(int year, int month) {
    // A null date clears the marks of every day.
    setDateTextFormat(QDate(), QTextCharFormat());
    if (FDataPath.empty()) return;
    const kuv::MonthMarks marks = kuv::MarkMonth(FDataPath, year, month);
    if (marks.written.none()) return;

    QTextCharFormat written;
    written.setFontWeight(QFont::Bold);
    written.setBackground(kuv::Tint(palette(), QPalette::Highlight, 0.3));
    QTextCharFormat locked = written;
    locked.setFontItalic(true);
    locked.setBackground(kuv::Tint(palette(), QPalette::Dark, 0.45));
    const int days = kuv::DaysInMonth(year, month);
    for (int d = 1; d <= days; ++d) {
        if (!marks.written.test(static_cast<std::size_t>(d))) continue;
        setDateTextFormat(QDate(year, month, d),
                          marks.locked.test(static_cast<std::size_t>(d)) ? locked : written);
    }
}

void TMarkedCalendar::changeEvent(QEvent* event) {
    QCalendarWidget::changeEvent(event);
    // The tints are worked out from the palette.
    if (event->type() == QEvent::PaletteChange) Remark();
}
