// Where a window may stand among the screens: a remembered place must leave
// its title bar and most of it within reach.
#include <QTest>

#include "ui/common/screen_fit.h"

class TestScreenFit : public QObject {
    Q_OBJECT

  private slots:
    void framesStayWithinReach();
};

void TestScreenFit::framesStayWithinReach() {
    // A primary screen with a panel at the top, and one to its right.
    const QRect primary(0, 30, 1920, 1010);
    const QRect right(1920, 0, 1280, 1024);
    const QList<QRect> both{primary, right};
    const QList<QRect> one{primary};
    struct Case {
        const char* name;
        QRect wanted;
        QList<QRect> areas;
        QRect fitted;
        QRect whole;  // when the program chose the place
    };
    const Case cases[] = {
        {"on the screen", {100, 100, 800, 600}, one, {100, 100, 800, 600}, {100, 100, 800, 600}},
        {"exactly half off the right edge",
         {1520, 100, 800, 600},
         one,
         {1520, 100, 800, 600},
         {1120, 100, 800, 600}},
        {"most of it off the right edge",
         {1700, 100, 800, 600},
         one,
         {1120, 100, 800, 600},
         {1120, 100, 800, 600}},
        {"most of it off the left edge",
         {-500, 100, 800, 600},
         one,
         {0, 100, 800, 600},
         {0, 100, 800, 600}},
        {"most of it below the bottom",
         {100, 800, 800, 600},
         one,
         {100, 440, 800, 600},
         {100, 440, 800, 600}},
        {"title bar under the panel",
         {100, 10, 800, 600},
         one,
         {100, 30, 800, 600},
         {100, 30, 800, 600}},
        {"title bar above every screen",
         {100, -400, 800, 600},
         one,
         {100, 30, 800, 600},
         {100, 30, 800, 600}},
        {"across two screens",
         {1500, 100, 800, 600},
         both,
         {1500, 100, 800, 600},
         {1120, 100, 800, 600}},
        {"mostly on the second screen",
         {2900, 100, 800, 600},
         both,
         {2400, 100, 800, 600},
         {2400, 100, 800, 600}},
        {"on a screen since removed: centred",
         {2400, 100, 800, 600},
         one,
         {560, 235, 800, 600},
         {560, 235, 800, 600}},
        {"taller than the screen at scale 2",
         {100, 30, 800, 2000},
         one,
         {100, 30, 800, 1010},
         {100, 30, 800, 1010}},
        {"larger than the second screen",
         {1950, 10, 2000, 1200},
         both,
         {1950, 10, 1280, 1024},
         {1920, 0, 1280, 1024}},
        {"no screen known",
         {-5000, -5000, 800, 600},
         {},
         {-5000, -5000, 800, 600},
         {-5000, -5000, 800, 600}},
    };
    for (const Case& c : cases) {
        for (const bool whole : {false, true}) {
            const QRect got =
                whole ? kuv::FitFrameWhole(c.wanted, c.areas) : kuv::FitFrame(c.wanted, c.areas);
            QVERIFY2(got == (whole ? c.whole : c.fitted),
                     qPrintable(QStringLiteral("%1%2: %3,%4 %5x%6")
                                    .arg(QString::fromUtf8(c.name), whole ? u" (whole)" : u"")
                                    .arg(got.x())
                                    .arg(got.y())
                                    .arg(got.width())
                                    .arg(got.height())));
        }
    }
}

QTEST_MAIN(TestScreenFit)
#include "test_screen_fit.moc"
