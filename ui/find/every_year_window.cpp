#include "ui/find/every_year_window.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "diary/search.h"
#include "ui/common/background_work.h"
#include "ui/common/fonts.h"
#include "ui/common/qt_text.h"
#include "ui/common/screen_fit.h"

namespace {

// Lines of each entry shown in the list.
constexpr int kPreviewLines = 3;
// Room around a row's lines.
constexpr int kPadding = 3;

// A year's row: its date in bold, then the entry's first lines, indented and
// each cut to the width, so that a long line never needs a scroll bar.
class TYearRowDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        // The item's own text: the option's has its line breaks made into
        // line separators.
        const QStringList lines = index.data().toString().split(u'\n');
        opt.text.clear();
        QStyle* style = opt.widget != nullptr ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);

        const bool selected = (opt.state & QStyle::State_Selected) != 0;
        const QPalette::ColorGroup group =
            (opt.state & QStyle::State_Active) != 0 ? QPalette::Active : QPalette::Inactive;
        QFont bold = opt.font;
        bold.setBold(true);
        const int lineHeight = QFontMetrics(opt.font).lineSpacing();
        const int indent = QFontMetrics(opt.font).horizontalAdvance(u'\x3000');
        const QRect area = opt.rect.adjusted(kPadding, kPadding, -kPadding, -kPadding);
        painter->save();
        painter->setPen(
            opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QFont& font = i == 0 ? bold : opt.font;
            const int left = i == 0 ? 0 : indent;
            const QRect line(area.left() + left, area.top() + static_cast<int>(i) * lineHeight,
                             area.width() - left, lineHeight);
            painter->setFont(font);
            painter->drawText(
                line, Qt::AlignLeft | Qt::AlignVCenter,
                QFontMetrics(font).elidedText(lines[i], Qt::ElideRight, line.width()));
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const auto lines = index.data().toString().count(u'\n') + 1;
        return {1,
                static_cast<int>(lines) * QFontMetrics(option.font).lineSpacing() + 2 * kPadding};
    }
};

}  // namespace

TEveryYearWindow::TEveryYearWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), FWork(std::make_unique<TBackgroundWork>(this)) {
    setObjectName(QStringLiteral("EveryYearWindow"));
    setWindowTitle(QStringLiteral("毎年の今日"));
    setFont(kuv::ControlFont());
    resize(420, 560);
    CreateControls();
    connect(EveryYearList, &QListWidget::currentRowChanged, this, [this] { ShowEntry(); });
    connect(EveryYearList, &QListWidget::itemActivated, this, &TEveryYearWindow::Choose);
}

void TEveryYearWindow::CreateControls() {
    auto* column = new QVBoxLayout(this);
    EveryYearTitle = new QLabel(this);
    EveryYearTitle->setObjectName(QStringLiteral("EveryYearTitle"));
    QFont bold = EveryYearTitle->font();
    bold.setBold(true);
    EveryYearTitle->setFont(bold);
    column->addWidget(EveryYearTitle);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("EveryYearSplitter"));
    EveryYearList = new QListWidget(split);
    EveryYearList->setObjectName(QStringLiteral("EveryYearList"));
    EveryYearList->setAlternatingRowColors(true);
    EveryYearList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    EveryYearList->setItemDelegate(new TYearRowDelegate(EveryYearList));
    EveryYearText = new QPlainTextEdit(split);
    EveryYearText->setObjectName(QStringLiteral("EveryYearText"));
    EveryYearText->setReadOnly(true);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);
    column->addWidget(split, 1);

    EveryYearCount = new QLabel(this);
    EveryYearCount->setObjectName(QStringLiteral("EveryYearCount"));
    column->addWidget(EveryYearCount);
}

TEveryYearWindow::~TEveryYearWindow() = default;

void TEveryYearWindow::Follow(const Day& day) {
    FDay = day;
    if (isVisible()) List();
}

void TEveryYearWindow::OpenEveryYear(const Day& day, const QWidget* over) {
    FDay = day;
    if (!FPlaced && over != nullptr) {
        // Afterwards Qt keeps the place it was left at.
        kuv::PlaceBeside(*this, *over);
        FPlaced = true;
    }
    if (isVisible()) {
        raise();
        List();
    }
    show();  // lists in showEvent when the window was hidden
    activateWindow();
}

void TEveryYearWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) List();
}

void TEveryYearWindow::List() {
    const Day day = FDay;
    if (day.month == 0) return;
    const std::uint64_t generation = ++FGeneration;
    // With no label: the listing shows no progress and keeps no window still.
    FWork->Run<kuv::EveryYear>(
        QString(),
        [day](const kuv::ProgressFn&) {
            return kuv::ListEveryYear(day.dataPath, day.month, day.day, day.password,
                                      kPreviewLines);
        },
        [this, generation, day](const kuv::EveryYear& list) {
            // A listing overtaken by a later one is dropped.
            if (generation == FGeneration) Listed(list, day);
        });
}

void TEveryYearWindow::Listed(const kuv::EveryYear& list, const Day& day) {
    const QListWidgetItem* current = EveryYearList->currentItem();
    const int previousYear = current != nullptr ? current->data(Qt::UserRole).toInt() : 0;
    // Listed again for the same day (a save, a change on disk): the row the
    // user was reading stays.
    const bool again =
        FListed.year == day.year && FListed.month == day.month && FListed.day == day.day;
    FList = list;
    FListed = day;
    EveryYearTitle->setText(QStringLiteral("%1月%2日").arg(day.month).arg(day.day));

    int chosen = -1, previous = -1;
    {
        const QSignalBlocker blocker(EveryYearList);
        EveryYearList->clear();
        for (const kuv::YearEntry& e : FList.entries) {
            QString preview = kuv::WidgetTextOfPane(e.firstLines, e.firstLinesUtf8);
            if (preview.isEmpty()) preview = QStringLiteral("（空）");
            auto* item = new QListWidgetItem(
                kuv::ToQString(kuv::ResultDateText(e.year, day.month, day.day)) + u'\n' + preview,
                EveryYearList);
            item->setData(Qt::UserRole, e.year);
            if (e.year == day.year) chosen = EveryYearList->count() - 1;
            if (again && e.year == previousYear) previous = EveryYearList->count() - 1;
        }
        // The main window's year when it has an entry, else the year read
        // before on this day, else none: another year would pass for the
        // main window's.
        EveryYearList->setCurrentRow(chosen >= 0 ? chosen : previous);
    }
    ShowEntry();

    QString count = FList.entries.empty() ? QStringLiteral("この日の日記はありません")
                                          : QStringLiteral("%1 年分").arg(FList.entries.size());
    if (FList.sealed > 0) count += QStringLiteral("　開けない日記 %1 件").arg(FList.sealed);
    if (FList.unreadable > 0) {
        count += QStringLiteral("　読み込めない日記 %1 件").arg(FList.unreadable);
    }
    EveryYearCount->setText(count);
}

void TEveryYearWindow::ShowEntry() {
    const int row = EveryYearList->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= FList.entries.size()) {
        EveryYearText->clear();
        return;
    }
    const kuv::YearEntry& e = FList.entries[static_cast<std::size_t>(row)];
    EveryYearText->setPlainText(kuv::WidgetTextOfPane(e.text, e.utf8));
}

void TEveryYearWindow::Choose(QListWidgetItem* item) {
    if (item == nullptr) return;
    emit daySelected(item->data(Qt::UserRole).toInt(), FListed.month, FListed.day);
}

void TEveryYearWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}
