// Reading the chart up close, against numbers worked out by hand: the window
// a zoom or pan leads to, what a cursor reads, where a line breaks for a gap,
// and a value axis fixed by the user.
#include "trend/chartgeometry.h"
#include "trend/chartview.h"

#include <QTest>
#include <cmath>

namespace {

using Window = ChartView::Window;
using Samples = std::deque<SampleStore::Sample>;

// Everything held: ten minutes.
constexpr Window kHeld{0, 600'000};

ChartGeometry::LabelMetrics labels()
{
    return {16, [](const QString &text) { return 6.0 * text.size(); }, QLocale::c()};
}

Samples samplesAt(const QList<qint64> &times)
{
    Samples samples;
    for (const qint64 t : times)
        samples.push_back({t, double(t) / 1000});
    return samples;
}

} // namespace

Q_DECLARE_METATYPE(Window)

class TestChartView : public QObject
{
    Q_OBJECT

private slots:
    void zoomsAndPansWithinWhatIsHeld_data()
    {
        QTest::addColumn<Window>("shown");
        QTest::addColumn<double>("factor"); // 0: a pan by `by` instead
        QTest::addColumn<qint64>("by");     // the anchor of a zoom, or how far a pan goes
        QTest::addColumn<Window>("expected");
        QTest::addRow("halved around the middle")
            << Window{0, 600'000} << 0.5 << qint64(300'000) << Window{150'000, 450'000};
        QTest::addRow("halved around now keeps now")
            << Window{0, 600'000} << 0.5 << qint64(600'000) << Window{300'000, 600'000};
        QTest::addRow("a quarter in stays a quarter in")
            << Window{100'000, 500'000} << 0.5 << qint64(200'000) << Window{150'000, 350'000};
        QTest::addRow("zoomed out past all held: all held")
            << Window{100'000, 300'000} << 4.0 << qint64(200'000) << Window{0, 600'000};
        QTest::addRow("zoomed out at the oldest: slides in")
            << Window{0, 100'000} << 2.0 << qint64(0) << Window{0, 200'000};
        QTest::addRow("never narrower than 100 ms")
            << Window{1'000, 1'200} << 0.1 << qint64(1'100) << Window{1'050, 1'150};
        QTest::addRow("panned a tenth later")
            << Window{100'000, 200'000} << 0.0 << qint64(10'000) << Window{110'000, 210'000};
        QTest::addRow("a pan stops at now")
            << Window{500'000, 600'000} << 0.0 << qint64(50'000) << Window{500'000, 600'000};
        QTest::addRow("a pan stops at the oldest")
            << Window{20'000, 120'000} << 0.0 << qint64(-50'000) << Window{0, 100'000};
    }
    void zoomsAndPansWithinWhatIsHeld()
    {
        QFETCH(Window, shown);
        QFETCH(double, factor);
        QFETCH(qint64, by);
        QFETCH(Window, expected);
        const Window w =
            factor > 0 ? ChartView::zoomed(shown, factor, by, kHeld) : ChartView::panned(shown, by, kHeld);
        QCOMPARE(w.startMSecs, expected.startMSecs);
        QCOMPARE(w.endMSecs, expected.endMSecs);
    }

    void aCursorReadsTheSampleAtOrBeforeIt_data()
    {
        // A sample a second, then 28 s of silence; values are the seconds.
        QTest::addColumn<qint64>("at");
        QTest::addColumn<double>("value"); // NaN: none
        QTest::addRow("between samples: the one before") << qint64(1'500) << 1.0;
        QTest::addRow("on a sample: that one") << qint64(2'000) << 2.0;
        QTest::addRow("before the first: none") << qint64(-1) << qQNaN();
        QTest::addRow("a moment into the silence: the last") << qint64(5'000) << 2.0;
        QTest::addRow("deep in the silence: none") << qint64(10'000) << qQNaN();
        QTest::addRow("after it: the next") << qint64(31'500) << 31.0;
        QTest::addRow("long after the last: none") << qint64(40'000) << qQNaN();
    }
    void aCursorReadsTheSampleAtOrBeforeIt()
    {
        QFETCH(qint64, at);
        QFETCH(double, value);
        const Samples samples = samplesAt({0, 1'000, 2'000, 30'000, 31'000});
        const auto sample = ChartView::sampleAt(samples, at, 4'000);
        QCOMPARE(sample.has_value(), !std::isnan(value));
        if (sample)
            QCOMPARE(sample->value, value);
    }

    void breaksTheLineWhereTheDeviceFellSilent_data()
    {
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<int>("runs");
        QList<qint64> everySecond;
        for (qint64 t = 0; t <= 10'000; t += 1'000)
            everySecond << t;
        QTest::addRow("a sample a second: one line") << everySecond << qint64(4'000) << 1;
        QTest::addRow("25 s of silence: two lines, the median unmoved")
            << (everySecond + QList<qint64>{35'000, 36'000, 37'000}) << qint64(4'000) << 2;
        QTest::addRow("uneven: four times the median")
            << QList<qint64>{0, 100, 300, 600, 1'000} << qint64(1'200) << 1;
        QTest::addRow("one sample: never a gap")
            << QList<qint64>{5'000} << std::numeric_limits<qint64>::max() << 1;
        // Thinned to pixel columns, the silence still shows.
        QList<qint64> dense;
        for (qint64 t = 0; t < 20'000; t += 5)
            dense << (t < 10'000 ? t : t + 20'000);
        QTest::addRow("dense, thinned per column, with a silence") << dense << qint64(20) << 2;
    }
    void breaksTheLineWhereTheDeviceFellSilent()
    {
        QFETCH(QList<qint64>, times);
        QFETCH(qint64, limit);
        QFETCH(int, runs);
        const Samples samples = samplesAt(times);
        QCOMPARE(ChartGeometry::gapLimitMSecs(samples.begin(), samples.end()), limit);
        const ChartGeometry g({0, times.back(), 0, double(times.back()) / 1000}, {480, 300}, 1, labels());
        const std::vector<QPointF> line = g.polyline(samples.begin(), samples.end());
        const auto stretches = ChartGeometry::runs(line);
        QCOMPARE(int(stretches.size()), runs);
        // Every point but the breaks is drawn.
        qsizetype drawn = 0;
        for (const auto &[from, length] : stretches)
            drawn += length;
        QCOMPARE(drawn, qsizetype(line.size()) - (runs - 1));
    }

    void aTypedRangeIsTheAxisExactly_data()
    {
        QTest::addColumn<double>("lowest");
        QTest::addColumn<double>("highest");
        QTest::addColumn<QList<double>>("ticks");
        // 480 x 300: 240 px, 6.8 rows; 10 / 6.8 -> 2: the steps inside -3..7.
        QTest::addRow("off the steps: the steps within") << -3.0 << 7.0 << QList<double>{-2, 0, 2, 4, 6};
        QTest::addRow("on the steps: from end to end")
            << 0.0 << 100.0 << QList<double>{0, 20, 40, 60, 80, 100};
        // 0.003 / 6.8 -> 0.0005: a narrow range far from zero is not flat.
        QTest::addRow("narrow, far from zero")
            << 1000000.001 << 1000000.004
            << QList<double>{1000000.0010, 1000000.0015, 1000000.0020, 1000000.0025,
                             1000000.0030, 1000000.0035, 1000000.0040};
    }
    void aTypedRangeIsTheAxisExactly()
    {
        QFETCH(double, lowest);
        QFETCH(double, highest);
        QFETCH(QList<double>, ticks);
        // Samples far outside it change nothing.
        const ChartGeometry g({0, 60'000, 40, 50}, {480, 300}, 1, labels(), std::pair(lowest, highest));
        QCOMPARE(g.y(lowest), g.plotArea().bottom());
        QCOMPARE(g.y(highest), g.plotArea().top());
        const auto shown = g.valueTicks();
        QCOMPARE(qsizetype(shown.size()), ticks.size());
        for (qsizetype i = 0; i < ticks.size(); ++i)
            QVERIFY2(std::fabs(shown[size_t(i)].value - ticks[i]) < 1e-8, qPrintable(shown[size_t(i)].text));
    }
};

QTEST_GUILESS_MAIN(TestChartView)
#include "tst_chartview.moc"
