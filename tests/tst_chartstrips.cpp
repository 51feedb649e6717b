// What the trend chart shows beyond one axis, against coordinates worked out by
// hand: the time window up to now, and the stacked strips, each with its own
// value axis over a shared time axis.
#include "trend/chartgeometry.h"

#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kStart = 1'000'000;

// Labels 16 px high and 6 px a character, written in the C locale.
ChartGeometry::LabelMetrics labels()
{
    return {16, [](const QString &text) { return 6.0 * text.size(); }, QLocale::c()};
}

} // namespace

class TestChartStrips : public QObject
{
    Q_OBJECT

private slots:
    void showsTheSpanUpToNowButNothingBeforeCollectingBegan_data()
    {
        // Now is kStart; -1: no sample held.
        QTest::addColumn<qint64>("span");
        QTest::addColumn<qint64>("origin");
        QTest::addColumn<qint64>("earliest");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("end");
        QTest::addRow("collecting for ten minutes: the last minute")
            << qint64(60'000) << kStart - 600'000 << kStart - 590'000 << kStart - 60'000 << kStart;
        QTest::addRow("half a minute in: from the origin to now")
            << qint64(60'000) << kStart - 30'000 << kStart - 29'000 << kStart - 30'000 << kStart;
        QTest::addRow("five seconds in: from the origin, ten seconds wide")
            << qint64(60'000) << kStart - 5'000 << qint64(-1) << kStart - 5'000 << kStart + 5'000;
        QTest::addRow("a sample stamped before the origin still shows")
            << qint64(60'000) << kStart - 30'000 << kStart - 40'000 << kStart - 40'000 << kStart;
        QTest::addRow("everything held: from the oldest sample kept")
            << qint64(0) << kStart - 600'000 << kStart - 300'000 << kStart - 300'000 << kStart;
        QTest::addRow("everything held, nothing yet: from the origin, ten seconds wide")
            << qint64(0) << kStart - 3'000 << qint64(-1) << kStart - 3'000 << kStart + 7'000;
    }
    void showsTheSpanUpToNowButNothingBeforeCollectingBegan()
    {
        QFETCH(qint64, span);
        QFETCH(qint64, origin);
        QFETCH(qint64, earliest);
        QFETCH(qint64, start);
        QFETCH(qint64, end);
        const auto window = ChartGeometry::timeWindow(kStart, span, origin,
                                                      earliest < 0 ? std::nullopt : std::optional(earliest));
        QCOMPARE(window.first - kStart, start - kStart);
        QCOMPARE(window.second - kStart, end - kStart);
    }

    void stacksAStripPerSeriesWithItsOwnAxis_data()
    {
        // 480 x 300: the plot from y = 16 to 256 as with one axis, strips 16 px
        // (a line) apart; the left edge from the widest label of any strip.
        QTest::addColumn<QList<QPointF>>("ranges"); // lowest, highest; (1, 0): no samples
        QTest::addColumn<QList<QRectF>>("plots");
        QTest::addColumn<QList<QPointF>>("probes"); // a value and its y in each strip
        // 240 px: 6.8 rows, 88 / 6.8 -> 20, 0..100, "100" 18 px: left 38.
        QTest::addRow("one strip is the one-axis chart")
            << QList<QPointF>{{10, 90}} << QList<QRectF>{{38, 16, 422, 240}} << QList<QPointF>{{50, 136}};
        // (240 - 16) / 2 = 112 px, 3.18 rows. 1189..1211: 22 / 3.18 -> 10,
        // 1180..1220; 15.9..18.1: 2.2 / 3.18 -> 1, 15..19. "1180" 24 px: left 44.
        // y = 128 - (v - 1180) * 112 / 40 and 256 - (v - 15) * 112 / 4.
        QTest::addRow("a pressure over a temperature")
            << QList<QPointF>{{1190, 1210}, {16, 18}}
            << QList<QRectF>{{44, 16, 416, 112}, {44, 144, 416, 112}}
            << QList<QPointF>{{1200, 72}, {17, 200}};
        // (240 - 32) / 3 = 69.33 px, 2 rows, strips from 16, 101.33 and 186.67
        // rounded. 6..94: 44 -> 50, 0..100; none: -0.05..1.05, 0.55 -> 1, -1..2;
        // -5.25..-4.75: 0.25 -> 0.5, -5.5..-4.5, "-5.5" 24 px: left 44.
        QTest::addRow("three strips on whole pixels, one of them empty")
            << QList<QPointF>{{10, 90}, {1, 0}, {-5, -5}}
            << QList<QRectF>{{44, 16, 416, 69}, {44, 101, 416, 70}, {44, 187, 416, 69}}
            << QList<QPointF>{{50, 50.5}, {0.5, 136}, {-5, 221.5}};
    }
    void stacksAStripPerSeriesWithItsOwnAxis()
    {
        QFETCH(QList<QPointF>, ranges);
        QFETCH(QList<QRectF>, plots);
        QFETCH(QList<QPointF>, probes);
        std::vector<ChartGeometry::Extent> extents;
        for (const QPointF range : ranges)
            extents.push_back({kStart, kStart + 60'000, range.x(), range.y()});
        const std::vector<ChartGeometry> strips = ChartGeometry::stacked(extents, {480, 300}, 1, labels());
        QCOMPARE(qsizetype(strips.size()), plots.size());
        for (size_t i = 0; i < strips.size(); ++i) {
            const ChartGeometry &g = strips[i];
            QCOMPARE(g.plotArea(), plots[qsizetype(i)]);
            QCOMPARE(g.hasData(), ranges[qsizetype(i)].x() <= ranges[qsizetype(i)].y());
            QCOMPARE(g.y(probes[qsizetype(i)].x()), probes[qsizetype(i)].y());
            // Each axis ends on ticks at the strip's edges.
            QCOMPARE(g.valueTicks().front().y, g.plotArea().bottom());
            QCOMPARE(g.valueTicks().back().y, g.plotArea().top());
            QCOMPARE(g.x(kStart + 30'000), (g.plotArea().left() + g.plotArea().right()) / 2);
        }
    }

    void scrollsWholeStripsEachTallEnoughForTwoLabels_data()
    {
        // Labels 16 px: a strip at least 40 px (two labels and half a line),
        // strips 16 px apart. 480 x 300: the strips from 16 to 256, room for
        // (240 + 16) / (40 + 16) = 4.57, so four.
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("wanted"); // the first strip scrolled to
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("first");
        QTest::addColumn<double>("stripHeight");
        QTest::addRow("three series: all, none scrolled") << 3 << 300 << 2 << 3 << 0 << 69.33;
        // (240 - 3 * 16) / 4 = 48.
        QTest::addRow("64 series: four strips of 48 px") << 64 << 300 << 0 << 4 << 0 << 48.0;
        QTest::addRow("scrolled to the tenth") << 64 << 300 << 9 << 4 << 9 << 48.0;
        QTest::addRow("scrolled past the end: the last four") << 64 << 300 << 70 << 4 << 60 << 48.0;
        QTest::addRow("scrolled above the top: the first") << 64 << 300 << -3 << 4 << 0 << 48.0;
        // 1000 px: 16 to 956, 956 / 56 = 17.07; (940 - 16 * 16) / 17 = 40.24.
        QTest::addRow("a tall chart: seventeen") << 64 << 1000 << 0 << 17 << 0 << 40.24;
        // The chart at its least, 180 px: 16 to 136, 136 / 56 = 2.4; (120 - 16) / 2.
        QTest::addRow("the chart at its least: two") << 64 << 180 << 5 << 2 << 5 << 52.0;
    }
    void scrollsWholeStripsEachTallEnoughForTwoLabels()
    {
        QFETCH(int, count);
        QFETCH(int, height);
        QFETCH(int, wanted);
        QFETCH(int, shown);
        QFETCH(int, first);
        QFETCH(double, stripHeight);
        const QSize size(480, height);
        QCOMPARE(ChartGeometry::leastStripHeight(16), 40.0);
        QCOMPARE(ChartGeometry::stripsShown(count, size, 16), shown);
        QCOMPARE(ChartGeometry::firstStripShown(wanted, count, shown), first);
        std::vector<ChartGeometry::Extent> extents;
        for (int i = 0; i < shown; ++i)
            extents.push_back({kStart, kStart + 60'000, double(first + i), double(first + i) * 2 + 10});
        const std::vector<ChartGeometry> strips = ChartGeometry::stacked(extents, size, 1, labels());
        // The time axis stays under the lowest strip shown, where the one-axis chart has it.
        const ChartGeometry oneAxis({kStart, kStart + 60'000, 0, 1}, size, 1, labels());
        QCOMPARE(strips.back().plotArea().bottom(), oneAxis.plotArea().bottom());
        QCOMPARE(strips.front().plotArea().top(), oneAxis.plotArea().top());
        for (size_t i = 0; i < strips.size(); ++i) {
            const QRectF plot = strips[i].plotArea();
            QVERIFY2(std::fabs(plot.height() - stripHeight) <= 1, qPrintable(QString::number(plot.height())));
            // Labels never overprint: a line between ticks, and between the
            // lowest label of a strip and the highest of the next.
            const auto ticks = strips[i].valueTicks();
            QVERIFY(ticks.size() >= 2);
            for (size_t t = 1; t < ticks.size(); ++t)
                QVERIFY(ticks[t - 1].y - ticks[t].y >= 16);
            if (i > 0)
                QVERIFY(plot.top() - strips[i - 1].plotArea().bottom() >= 16);
        }
    }
};

QTEST_MAIN(TestChartStrips)
#include "tst_chartstrips.moc"
