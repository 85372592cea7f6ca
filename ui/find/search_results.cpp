#include "ui/find/search_results.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>

#include "ui/common/qt_text.h"

namespace {

// Room around a row's texts, and between the date and the line.
constexpr int kPadding = 4;
constexpr int kGap = 12;

}  // namespace

TSearchResultModel::TSearchResultModel(QObject* parent) : QAbstractListModel(parent) {}

void TSearchResultModel::SetResults(kuv::SearchResults results) {
    beginResetModel();
    FResults = std::move(results);
    FShown.assign(FResults.matches.size(), std::nullopt);
    endResetModel();
}

int TSearchResultModel::RowOf(const QDate& day) const {
    for (std::size_t i = 0; i < FResults.matches.size(); ++i) {
        const kuv::SearchMatch& m = FResults.matches[i];
        if (QDate(m.year, m.month, m.day) == day) return static_cast<int>(i);
    }
    return -1;
}

int TSearchResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FResults.matches.size());
}

const TSearchResultModel::Shown& TSearchResultModel::RowAt(int row) const {
    std::optional<Shown>& shown = FShown[static_cast<std::size_t>(row)];
    if (!shown) {
        const kuv::SearchMatch& m = FResults.matches[static_cast<std::size_t>(row)];
        const kuv::SearchRow r = FResults.Row(static_cast<std::size_t>(row));
        shown.emplace();
        shown->date = kuv::ToQString(kuv::ResultDateText(m.year, m.month, m.day));
        shown->line = kuv::ToQString(r.line);
        for (const kuv::MatchSpan& s : kuv::Utf16Spans(r.line, r.spans)) {
            shown->spans << static_cast<int>(s.begin) << static_cast<int>(s.end);
        }
    }
    return *shown;
}

QVariant TSearchResultModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const kuv::SearchMatch& m = FResults.matches[static_cast<std::size_t>(index.row())];
    switch (role) {
        case DayRole:
            return QDate(m.year, m.month, m.day);
        case Qt::DisplayRole:
            return QString(RowAt(index.row()).date + QStringLiteral("  ") +
                           RowAt(index.row()).line);
        case Qt::ToolTipRole:
        case LineRole:
            return RowAt(index.row()).line;
        case DateTextRole:
            return RowAt(index.row()).date;
        case SpansRole:
            return QVariant::fromValue(RowAt(index.row()).spans);
        default:
            return {};
    }
}

// The widest date of the user's format, for the date column: every weekday
// with a two-digit month and day.
int TMatchDelegate::DateColumnWidth(const QFont& font) const {
    if (FDateWidth == 0 || FMeasured != font) {
        const QFontMetrics fm(font);
        FDateWidth = 1;
        for (int day = 25; day <= 31; ++day) {
            const QString date = kuv::ToQString(kuv::ResultDateText(2000, 12, day));
            FDateWidth = std::max(FDateWidth, fm.horizontalAdvance(date));
        }
        FMeasured = font;
    }
    return FDateWidth;
}

TFittedLine FitResultLine(const QFontMetrics& fm, QString line, QList<int> spans, int room) {
    const QChar ellipsis(0x2026);
    // A match beyond the right edge is brought into view: the start of the
    // line gives way to an ellipsis.
    if (spans.size() >= 2 && fm.horizontalAdvance(line.left(spans[1])) > room) {
        int cut = 0;
        for (int lo = 0, hi = spans[0]; lo <= hi;) {
            const int mid = (lo + hi) / 2;
            if (fm.horizontalAdvance(line.mid(mid, spans[1] - mid)) > room * 2 / 3) {
                lo = mid + 1;
            } else {
                cut = mid;
                hi = mid - 1;
            }
        }
        if (cut > 0) {
            line = ellipsis + line.mid(cut);
            for (int& s : spans) s = s - cut + 1;
        }
    }
    // The end that does not fit is cut before an ellipsis.
    if (fm.horizontalAdvance(line) > room) {
        int keep = 0;
        for (int lo = 0, hi = static_cast<int>(line.size()); lo <= hi;) {
            const int mid = (lo + hi) / 2;
            if (fm.horizontalAdvance(line.left(mid) + ellipsis) <= room) {
                keep = mid;
                lo = mid + 1;
            } else {
                hi = mid - 1;
            }
        }
        line = line.left(keep) + ellipsis;
        for (int& s : spans) s = std::min(s, keep);
    }
    return {line, spans};
}

void TMatchDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    // The row's background and selection, as the style draws them.
    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const bool selected = (opt.state & QStyle::State_Selected) != 0;
    const QPalette::ColorGroup group = (opt.state & QStyle::State_Enabled) == 0 ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) != 0
                                           ? QPalette::Active
                                           : QPalette::Inactive;
    const QColor text =
        opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    const QFontMetrics fm(opt.font);
    const QRect area = opt.rect.adjusted(kPadding, 0, -kPadding, 0);
    const int dateWidth = DateColumnWidth(opt.font);

    painter->save();
    painter->setClipRect(area);
    painter->setFont(opt.font);
    painter->setPen(text);
    painter->drawText(QRect(area.left(), area.top(), dateWidth, area.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      index.data(TSearchResultModel::DateTextRole).toString());

    QString line = index.data(TSearchResultModel::LineRole).toString();
    QList<int> spans = index.data(TSearchResultModel::SpansRole).value<QList<int>>();
    const int lineLeft = area.left() + dateWidth + kGap;
    const int room = area.right() - lineLeft;
    const TFittedLine fitted = FitResultLine(fm, std::move(line), std::move(spans), room);
    line = fitted.line;
    spans = fitted.spans;

    // The line with its matches in the highlight colours, inverted where
    // the whole row already has them.
    QTextCharFormat match;
    match.setBackground(
        opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Highlight));
    match.setForeground(
        opt.palette.color(group, selected ? QPalette::Highlight : QPalette::HighlightedText));
    QList<QTextLayout::FormatRange> ranges;
    for (qsizetype i = 0; i + 1 < spans.size(); i += 2) {
        if (spans[i + 1] > spans[i] && spans[i] >= 0) {
            ranges.append({spans[i], spans[i + 1] - spans[i], match});
        }
    }
    QTextLayout layout(line, opt.font);
    QTextOption options;
    options.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(options);
    layout.setFormats(ranges);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const int top = area.top() + (area.height() - fm.height()) / 2;
    layout.draw(painter, QPointF(lineLeft, top));
    painter->restore();
}

QSize TMatchDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const QFontMetrics fm(option.font);
    return {DateColumnWidth(option.font) + kGap + 40 * fm.averageCharWidth(),
            fm.height() + 2 * kPadding};
}
