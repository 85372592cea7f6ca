#include "ui/stats/stats_view.h"

#include <algorithm>

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

#include "dates/date_locale.h"
#include "platform/cp932.h"
#include "ui/stats/year_heatmap.h"

namespace {

QString FromCp932(const std::string& bytes) {
    return QString::fromStdU16String(kuv::cp932::ToUtf16(bytes));
}

QString Count(std::int64_t n, const QString& unit) {
    return QLocale().toString(static_cast<qlonglong>(n)) + unit;
}

QLabel* Value(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

}  // namespace

TMonthBars::TMonthBars(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StatsMonthBars"));
}

void TMonthBars::SetMonths(const std::array<std::int64_t, 12>& characters) {
    FMonths = characters;
    update();
}

QSize TMonthBars::sizeHint() const {
    const int line = fontMetrics().height();
    return QSize(12 * 2 * line, 6 * line);
}

void TMonthBars::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics fm = fontMetrics();
    const std::int64_t most =
        std::max<std::int64_t>(1, *std::max_element(FMonths.begin(), FMonths.end()));
    const int labels = fm.height();
    const int chart = std::max(1, height() - labels);
    const double slot = width() / 12.0;
    const QColor bar = palette().color(QPalette::Highlight);
    p.setPen(palette().color(QPalette::WindowText));
    for (int m = 0; m < 12; ++m) {
        const int x = static_cast<int>(m * slot);
        const int w = std::max(1, static_cast<int>(slot * 0.7));
        const int h = static_cast<int>(static_cast<double>(FMonths[static_cast<std::size_t>(m)]) *
                                       chart / static_cast<double>(most));
        p.fillRect(x, chart - h, w, h, bar);
        const QString name = FromCp932(kuv::DateLocale().shortMonthNames[m + 1]);
        p.drawText(QRect(x, chart, static_cast<int>(slot), labels), Qt::AlignLeft, name);
    }
}

TStatsView::TStatsView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StatsView"));
    FHeatmap = new TYearHeatmap(this);
    FScroll = new QScrollArea(this);
    FScroll->setObjectName(QStringLiteral("StatsScroll"));
    FScroll->setWidget(FHeatmap);
    FScroll->setWidgetResizable(true);

    auto* side = new QWidget(this);
    auto* form = new QFormLayout;
    FDays = Value(side, "StatsDays");
    FCharacters = Value(side, "StatsCharacters");
    FAverage = Value(side, "StatsAverage");
    FLongestRun = Value(side, "StatsLongestRun");
    FCurrentRun = Value(side, "StatsCurrentRun");
    auto* whole = new QLabel(QStringLiteral("日記全体"), side);
    whole->setObjectName(QStringLiteral("StatsWholeTitle"));
    QFont bold = whole->font();
    bold.setBold(true);
    whole->setFont(bold);
    form->addRow(whole);
    form->addRow(QStringLiteral("書いた日"), FDays);
    form->addRow(QStringLiteral("文字数"), FCharacters);
    form->addRow(QStringLiteral("1日あたり"), FAverage);
    form->addRow(QStringLiteral("最長の連続"), FLongestRun);
    form->addRow(QStringLiteral("いまの連続"), FCurrentRun);
    FYearTitle = new QLabel(side);
    FYearTitle->setObjectName(QStringLiteral("StatsYearTitle"));
    FYearTitle->setFont(bold);
    FYearDays = Value(side, "StatsYearDays");
    FYearCharacters = Value(side, "StatsYearCharacters");
    FYearAverage = Value(side, "StatsYearAverage");
    FYearLongestRun = Value(side, "StatsYearLongestRun");
    form->addRow(FYearTitle);
    form->addRow(QStringLiteral("書いた日"), FYearDays);
    form->addRow(QStringLiteral("文字数"), FYearCharacters);
    form->addRow(QStringLiteral("1日あたり"), FYearAverage);
    form->addRow(QStringLiteral("最長の連続"), FYearLongestRun);
    FBars = new TMonthBars(side);
    FEstimated = new QLabel(side);
    FEstimated->setObjectName(QStringLiteral("StatsEstimated"));
    FEstimated->setWordWrap(true);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->addLayout(form);
    sideLayout->addWidget(FBars);
    sideLayout->addWidget(FEstimated);
    sideLayout->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(FScroll, 1);
    layout->addWidget(side);

    connect(FHeatmap, &TYearHeatmap::YearClicked, this, &TStatsView::ChooseYear);
    connect(FHeatmap, &TYearHeatmap::DayClicked, this, [this](int year, int month, int day) {
        ChooseYear(year);
        emit DayClicked(year, month, day);
    });
    ShowNumbers();
}

void TStatsView::SetDays(const std::vector<kuv::DayCount>& days, int todayYear, int todayMonth,
                         int todayDay) {
    FStats = kuv::Summarise(days, todayYear, todayMonth, todayDay);
    FCounting = std::any_of(days.begin(), days.end(), [](const kuv::DayCount& d) {
        return d.kind == kuv::DayCountKind::FromSize;
    });
    FHeatmap->SetDays(days);
    const bool kept =
        std::any_of(FStats.years.begin(), FStats.years.end(),
                    [this](const kuv::YearStats& y) { return y.year == FChosenYear; });
    if (!kept) FChosenYear = FStats.years.empty() ? 0 : FStats.years.front().year;
    FHeatmap->SetChosenYear(FChosenYear);
    ShowNumbers();
}

void TStatsView::ChooseYear(int year) {
    FChosenYear = year;
    FHeatmap->SetChosenYear(year);
    ShowNumbers();
}

void TStatsView::ShowNumbers() {
    const QString days = QStringLiteral(" 日"), characters = QStringLiteral(" 文字");
    // Sizes say which days were written, not how much: the characters wait
    // for the text.
    const auto chars = [&](std::int64_t n) {
        return FCounting ? QStringLiteral("…") : Count(n, characters);
    };
    FDays->setText(Count(FStats.days, days));
    FCharacters->setText(chars(FStats.characters));
    FAverage->setText(chars(FStats.Average()));
    FLongestRun->setText(Count(FStats.longestRun, days));
    FCurrentRun->setText(Count(FStats.currentRun, days));
    if (FCounting) {
        FEstimated->setText(QStringLiteral("本文から数えています…"));
    } else if (FStats.estimated > 0) {
        FEstimated->setText(
            QStringLiteral("鍵の開かない日 %1 日は、文字数に含みません。").arg(FStats.estimated));
    } else {
        FEstimated->clear();
    }
    kuv::YearStats year;
    for (const kuv::YearStats& y : FStats.years) {
        if (y.year == FChosenYear) year = y;
    }
    FYearTitle->setText(FChosenYear > 0 ? QStringLiteral("%1年").arg(FChosenYear) : QString());
    FYearDays->setText(Count(year.days, days));
    FYearCharacters->setText(chars(year.characters));
    FYearAverage->setText(chars(kuv::AverageOf(year.characters, year.days, year.estimated)));
    FYearLongestRun->setText(Count(year.longestRun, days));
    FBars->SetMonths(year.monthCharacters);
}
