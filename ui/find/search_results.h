#pragma once

#include <optional>
#include <vector>

#include <QAbstractListModel>
#include <QDate>
#include <QFont>
#include <QList>
#include <QString>
#include <QStyledItemDelegate>

#include "diary/search.h"

class QFontMetrics;

// A result's line cut to room pixels: the start gives way to "…" when the
// first match lies beyond the right edge, and a line still too long ends
// in "…". spans (begin, end pairs) follow the cuts.
struct TFittedLine {
    QString line;
    QList<int> spans;
};
TFittedLine FitResultLine(const QFontMetrics& fm, QString line, QList<int> spans, int room);

// The search window's result list: one row per matching entry, newest first,
// with its date and the line that holds the match.
class TSearchResultModel final : public QAbstractListModel {
    Q_OBJECT

  public:
    enum Role {
        DayRole = Qt::UserRole,  // QDate
        DateTextRole,            // the short date and the weekday
        LineRole,                // the matching line
        SpansRole,               // QList<int>: begin and end of each match in the line
    };

    explicit TSearchResultModel(QObject* parent = nullptr);

    void SetResults(kuv::SearchResults results);
    const kuv::SearchResults& Results() const { return FResults; }
    // The row of a day, or -1.
    int RowOf(const QDate& day) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    struct Shown {
        QString date, line;
        QList<int> spans;
    };
    // Rows are worked out when a view first asks for them.
    const Shown& RowAt(int row) const;

    kuv::SearchResults FResults;
    mutable std::vector<std::optional<Shown>> FShown;
};

// Draws a result: the date in a column of its own, then the line with each
// match in the palette's highlight colours (inverted on a selected row).
class TMatchDelegate final : public QStyledItemDelegate {
    Q_OBJECT

  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    int DateColumnWidth(const QFont& font) const;

    mutable QFont FMeasured;
    mutable int FDateWidth = 0;
};
