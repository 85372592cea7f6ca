// The 記録 view driven as a user drives it: hovering and clicking the
// heatmap's cells and year titles, and the numbers beside it.
#include <memory>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include "dates/date_locale.h"
#include "diary/diary_stats.h"
#include "tests/support/temp_dir.h"
#include "ui/stats/stats_loader.h"
#include "ui/stats/stats_view.h"
#include "ui/stats/year_heatmap.h"

namespace {

kuv::DayCount Written(int year, int month, int day, std::uint32_t characters,
                      kuv::DayCountKind kind = kuv::DayCountKind::Read) {
    kuv::DayCount d{year, month, day};
    d.characters = characters;
    d.kind = kind;
    d.written = true;
    return d;
}

// Three years with a gap: 2000 (leap, from a Saturday: 54 columns), 2002.
std::vector<kuv::DayCount> Days() {
    return {Written(2000, 1, 1, 5), Written(2000, 2, 29, 250), Written(2000, 12, 31, 700),
            Written(2002, 6, 15, 1500), Written(2002, 6, 16, 1, kuv::DayCountKind::Sealed)};
}

QString Text(const QWidget& view, const char* name) {
    const auto* label = view.findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("<missing>");
}

}  // namespace

class TestStatsView : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        kuv::DateLocale() = kuv::JapaneseDateLocale();
        view_ = std::make_unique<TStatsView>();
        view_->resize(1000, 700);
        view_->SetDays(Days(), 2002, 6, 17);
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
    }
    void cleanup() { view_.reset(); }

    void yearsNewestFirstThroughTheGaps() {
        QCOMPARE(view_->Heatmap()->Years(), (std::vector<int>{2002, 2001, 2000}));
        QCOMPARE(view_->ChosenYear(), 2002);
    }

    void cellsTellTheirDayAndCount_data() {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::addColumn<QString>("tip");
        QTest::newRow("new year's day")
            << 2000 << 1 << 1 << QStringLiteral("2000年1月1日 (土)  5 文字");
        QTest::newRow("leap day") << 2000 << 2 << 29
                                  << QStringLiteral("2000年2月29日 (火)  250 文字");
        QTest::newRow("54th column")
            << 2000 << 12 << 31 << QStringLiteral("2000年12月31日 (日)  700 文字");
        QTest::newRow("empty year")
            << 2001 << 3 << 1 << QStringLiteral("2001年3月1日 (木)  日記なし");
        QTest::newRow("locked") << 2002 << 6 << 16
                                << QStringLiteral(
                                       "2002年6月16日 (日)  約 1 文字（鍵：大きさから）");
    }
    void cellsTellTheirDayAndCount() {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, day);
        QFETCH(QString, tip);
        TYearHeatmap* map = view_->Heatmap();
        const QPoint at = map->CellCentre(year, month, day);
        QVERIFY(at.x() >= 0);
        QCOMPARE(map->TipAt(at), tip);

        QSignalSpy clicked(view_.get(), &TStatsView::DayClicked);
        QTest::mouseClick(map, Qt::LeftButton, {}, at);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toInt(), year);
        QCOMPARE(clicked.at(0).at(1).toInt(), month);
        QCOMPARE(clicked.at(0).at(2).toInt(), day);
        QCOMPARE(view_->ChosenYear(), year);
    }

    void numbersOfTheDiaryAndTheChosenYear() {
        QCOMPARE(Text(*view_, "StatsDays"), QStringLiteral("5 日"));
        QCOMPARE(Text(*view_, "StatsCurrentRun"), QStringLiteral("2 日"));
        QCOMPARE(Text(*view_, "StatsYearTitle"), QStringLiteral("2002年"));
        QCOMPARE(Text(*view_, "StatsYearCharacters"), QStringLiteral("1,500 文字"));
        QVERIFY(Text(*view_, "StatsEstimated").contains(QStringLiteral("1 日")));

        // A click on a year's title chooses it: the title is the line two
        // above the block's first row.
        TYearHeatmap* map = view_->Heatmap();
        const int line = map->fontMetrics().height();
        const QPoint firstRow = map->CellCentre(2000, 1, 2);  // a Sunday
        QSignalSpy clicked(view_.get(), &TStatsView::DayClicked);
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(5, firstRow.y() - 2 * line));
        QCOMPARE(view_->ChosenYear(), 2000);
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(Text(*view_, "StatsYearDays"), QStringLiteral("3 日"));
        QCOMPARE(Text(*view_, "StatsYearLongestRun"), QStringLiteral("1 日"));
        auto* bars = view_->findChild<TMonthBars*>(QStringLiteral("StatsMonthBars"));
        QVERIFY(bars != nullptr);
        QCOMPARE(bars->Months()[1], 250);
        QCOMPARE(bars->Months()[11], 700);

        // Days known by their size only: the characters wait for the text.
        std::vector<kuv::DayCount> sized = Days();
        sized[0].kind = kuv::DayCountKind::FromSize;
        view_->SetDays(sized, 2002, 6, 17);
        QCOMPARE(Text(*view_, "StatsDays"), QStringLiteral("5 日"));
        QCOMPARE(Text(*view_, "StatsCharacters"), QStringLiteral("…"));
        QCOMPARE(view_->ChosenYear(), 2000);
    }

    void fiveDistinctShadesInLightAndDark() {
        for (const bool dark : {false, true}) {
            QPalette palette;
            palette.setColor(QPalette::Base, dark ? QColor(30, 30, 30) : QColor(255, 255, 255));
            palette.setColor(QPalette::Text, dark ? QColor(230, 230, 230) : QColor(0, 0, 0));
            palette.setColor(QPalette::Highlight, QColor(48, 140, 198));
            view_->Heatmap()->setPalette(palette);
            for (int a = 0; a <= 4; ++a) {
                for (int b = a + 1; b <= 4; ++b) {
                    QVERIFY(view_->Heatmap()->ShadeColour(a) != view_->Heatmap()->ShadeColour(b));
                }
            }
        }
    }

    void loaderCountsFromSizesThenText() {
        kuv::test::TempDir data;
        kuv::test::MakeDir(data / "2001");
        kuv::test::WriteBytes(data / "2001/0117.dia", "abcdefghij\r\n");
        kuv::test::WriteBytes(data / "2001/0118.dia", " \r\n");
        TStatsLoader loader;
        QSignalSpy counted(&loader, &TStatsLoader::Counted);
        std::vector<std::vector<kuv::DayCount>> seen;
        connect(&loader, &TStatsLoader::Counted, this, [&] { seen.push_back(loader.Days()); });
        loader.Start(data.path(), "");
        QTRY_COMPARE(counted.count(), 2);
        QVERIFY(loader.FromText());
        QCOMPARE(seen[0].size(), 2u);
        QCOMPARE(seen[0][0].kind, kuv::DayCountKind::FromSize);
        QVERIFY(seen[0][1].written);  // a size cannot tell white space
        QCOMPARE(seen[1][0].characters, 10u);
        QVERIFY(!seen[1][1].written);
    }

  private:
    std::unique_ptr<TStatsView> view_;
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestStatsView test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_stats_view.moc"
