#include "ui/stats/year_heatmap.h"

#include <algorithm>

#include <QHelpEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include "dates/date_locale.h"
#include "diary/catalog.h"
#include "platform/cp932.h"
#include "ui/common/tint.h"

namespace {

constexpr int kRows = 7;

int KeyOf(int year, int month, int day) {
    return year * 10000 + month * 100 + day;
}

// 0 = Sunday ... 6 = Saturday.
int Weekday(int year, int month, int day) {
    const int fromThursday = kuv::DayNumber(year, month, day) - kuv::DayNumber(1970, 1, 1);
    return ((fromThursday + 4) % 7 + 7) % 7;
}

int DayOfYear(int year, int month, int day) {
    return kuv::DayNumber(year, month, day) - kuv::DayNumber(year, 1, 1);
}

int Columns(int year) {
    const int last = DayOfYear(year, 12, 31);
    return (last + Weekday(year, 1, 1)) / kRows + 1;
}

QString FromCp932(const std::string& bytes) {
    return QString::fromStdU16String(kuv::cp932::ToUtf16(bytes));
}

bool Estimated(const kuv::DayCount& d) {
    return d.kind == kuv::DayCountKind::Sealed || d.kind == kuv::DayCountKind::Unreadable;
}

}  // namespace

TYearHeatmap::TYearHeatmap(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StatsHeatmap"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TYearHeatmap::SetDays(const std::vector<kuv::DayCount>& days) {
    FDays.clear();
    int first = 0, last = 0;
    for (const kuv::DayCount& d : days) {
        FDays[KeyOf(d.year, d.month, d.day)] = d;
        first = first == 0 ? d.year : std::min(first, d.year);
        last = std::max(last, d.year);
    }
    FYears.clear();
    for (int y = last; y >= first && y > 0; --y) FYears.push_back(y);
    updateGeometry();
    update();
}

void TYearHeatmap::SetChosenYear(int year) {
    FChosenYear = year;
    update();
}

const kuv::DayCount* TYearHeatmap::Find(int year, int month, int day) const {
    const auto it = FDays.find(KeyOf(year, month, day));
    return it == FDays.end() ? nullptr : &it->second;
}

int TYearHeatmap::Cell() const {
    return std::max(10, fontMetrics().height() * 3 / 4);
}

int TYearHeatmap::LeftMargin() const {
    int widest = 0;
    for (int d = 1; d <= 7; ++d) {
        widest = std::max(
            widest, fontMetrics().horizontalAdvance(FromCp932(kuv::DateLocale().shortDayNames[d])));
    }
    return widest + Cell() / 2;
}

int TYearHeatmap::LegendHeight() const {
    return Cell() + fontMetrics().height();
}

int TYearHeatmap::BlockHeight() const {
    // The year's title, the month names, the cells and a gap.
    return 2 * fontMetrics().height() + kRows * Cell() + Cell();
}

int TYearHeatmap::BlockTop(int index) const {
    return LegendHeight() + index * BlockHeight();
}

QSize TYearHeatmap::sizeHint() const {
    return QSize(LeftMargin() + 54 * Cell() + Cell(),
                 LegendHeight() + static_cast<int>(FYears.size()) * BlockHeight());
}

QColor TYearHeatmap::ShadeColour(int shade) const {
    static const double kShares[] = {0.0, 0.3, 0.5, 0.75, 1.0};
    if (shade <= 0) return kuv::Tint(palette(), QPalette::Text, 0.08);
    return kuv::Tint(palette(), QPalette::Highlight, kShares[std::min(shade, 4)]);
}

QPoint TYearHeatmap::CellCentre(int year, int month, int day) const {
    const auto it = std::find(FYears.begin(), FYears.end(), year);
    if (it == FYears.end() || month < 1 || month > 12 || day < 1 ||
        day > kuv::DaysInMonth(year, month)) {
        return QPoint(-1, -1);
    }
    const int index = static_cast<int>(it - FYears.begin());
    const int at = DayOfYear(year, month, day) + Weekday(year, 1, 1);
    const int c = Cell();
    const int top = BlockTop(index) + 2 * fontMetrics().height();
    return QPoint(LeftMargin() + (at / kRows) * c + c / 2, top + (at % kRows) * c + c / 2);
}

TYearHeatmap::Hit TYearHeatmap::HitAt(QPoint pos) const {
    Hit hit;
    const int top = pos.y() - LegendHeight();
    if (top < 0 || FYears.empty()) return hit;
    const int index = top / BlockHeight();
    if (index >= static_cast<int>(FYears.size())) return hit;
    const int year = FYears[static_cast<std::size_t>(index)];
    const int inBlock = top % BlockHeight();
    const int title = fontMetrics().height();
    if (inBlock < title) {
        hit.year = year;
        return hit;
    }
    const int c = Cell();
    const int row = (inBlock - 2 * title) / c;
    const int column = (pos.x() - LeftMargin()) / c;
    if (inBlock < 2 * title || row >= kRows || pos.x() < LeftMargin() || column >= Columns(year)) {
        return hit;
    }
    const int dayOfYear = column * kRows + row - Weekday(year, 1, 1);
    if (dayOfYear < 0 || dayOfYear > DayOfYear(year, 12, 31)) return hit;
    int month = 1;
    while (month < 12 && DayOfYear(year, month + 1, 1) <= dayOfYear) ++month;
    hit.year = year;
    hit.month = month;
    hit.day = dayOfYear - DayOfYear(year, month, 1) + 1;
    return hit;
}

QString TYearHeatmap::TipAt(QPoint pos) const {
    const Hit hit = HitAt(pos);
    if (hit.month == 0) return QString();
    const QString weekday =
        FromCp932(kuv::DateLocale().shortDayNames[Weekday(hit.year, hit.month, hit.day) + 1]);
    QString tip =
        QStringLiteral("%1年%2月%3日 (%4)").arg(hit.year).arg(hit.month).arg(hit.day).arg(weekday);
    const kuv::DayCount* d = Find(hit.year, hit.month, hit.day);
    if (d == nullptr || !d->written) return tip + QStringLiteral("  日記なし");
    const QString count = QLocale().toString(d->characters);
    if (d->kind == kuv::DayCountKind::Read) return tip + QStringLiteral("  %1 文字").arg(count);
    if (Estimated(*d)) return tip + QStringLiteral("  約 %1 文字（鍵：大きさから）").arg(count);
    return tip + QStringLiteral("  約 %1 文字").arg(count);
}

void TYearHeatmap::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    // Only the years in sight are drawn: a long diary scrolls through many.
    const QRect area = event->rect();
    p.fillRect(area, palette().color(QPalette::Base));
    const QFontMetrics fm = fontMetrics();
    const int c = Cell(), gap = std::max(1, c / 8);
    const QColor text = palette().color(QPalette::Text);
    const QColor mark = kuv::Tint(palette(), QPalette::Text, 0.7);

    // The legend: 少 [five shades] 多, and the locked mark.
    int x = LeftMargin();
    const int legendY = fm.height() / 2;
    p.setPen(text);
    const QString few = QStringLiteral("少"), many = QStringLiteral("多");
    p.drawText(x, legendY + fm.ascent(), few);
    x += fm.horizontalAdvance(few) + gap * 2;
    for (int shade = 0; shade <= 4; ++shade) {
        p.fillRect(x, legendY, c - gap, c - gap, ShadeColour(shade));
        x += c;
    }
    p.setPen(text);
    p.drawText(x + gap, legendY + fm.ascent(), many);
    x += fm.horizontalAdvance(many) + 2 * c;
    p.fillRect(x, legendY, c - gap, c - gap, ShadeColour(2));
    p.fillRect(x, legendY, (c - gap) / 2, (c - gap) / 2, mark);
    p.setPen(text);
    p.drawText(x + c + gap, legendY + fm.ascent(), QStringLiteral("鍵の日（大きさから）"));

    const auto& locale = kuv::DateLocale();
    for (std::size_t index = 0; index < FYears.size(); ++index) {
        const int year = FYears[index];
        const int top = BlockTop(static_cast<int>(index));
        if (top > area.bottom() || top + BlockHeight() < area.top()) continue;
        QFont bold = font();
        bold.setBold(year == FChosenYear);
        p.setFont(bold);
        p.setPen(text);
        p.drawText(0, top + fm.ascent(), QStringLiteral("%1年").arg(year));
        p.setFont(font());
        const int cellsTop = top + 2 * fm.height();
        const int first = Weekday(year, 1, 1);
        for (int month = 1; month <= 12; ++month) {
            const int column = (DayOfYear(year, month, 1) + first) / kRows;
            p.drawText(LeftMargin() + column * c, top + fm.height() + fm.ascent(),
                       FromCp932(locale.shortMonthNames[month]));
        }
        for (int row = 1; row < kRows; row += 2) {
            p.drawText(0, cellsTop + row * c + fm.ascent() - (fm.height() - c) / 2,
                       FromCp932(locale.shortDayNames[row + 1]));
        }
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= kuv::DaysInMonth(year, month); ++day) {
                const int at = DayOfYear(year, month, day) + first;
                const int cx = LeftMargin() + (at / kRows) * c, cy = cellsTop + (at % kRows) * c;
                const kuv::DayCount* d = Find(year, month, day);
                p.fillRect(cx, cy, c - gap, c - gap, ShadeColour(d ? kuv::ShadeOf(*d) : 0));
                if (d != nullptr && d->written && Estimated(*d)) {
                    p.fillRect(cx, cy, (c - gap) / 2, (c - gap) / 2, mark);
                }
            }
        }
        if (year == FChosenYear) {
            p.setPen(QPen(palette().color(QPalette::Highlight), 1));
            p.drawRect(LeftMargin() - gap, cellsTop - gap, Columns(year) * c + gap,
                       kRows * c + gap);
        }
    }
}

void TYearHeatmap::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const Hit hit = HitAt(event->position().toPoint());
    if (hit.year == 0) return;
    if (hit.month == 0) {
        emit YearClicked(hit.year);
    } else {
        emit DayClicked(hit.year, hit.month, hit.day);
    }
}

bool TYearHeatmap::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = TipAt(help->pos());
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip, this);
        }
        return true;
    }
    return QWidget::event(event);
}
