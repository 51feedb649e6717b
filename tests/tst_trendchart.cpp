// The trend chart: the shown series painted where the geometry puts them, at a
// scale factor of 2, the vertical axis following the shown series, its
// colours' contrast, and repaints held back.
#include "trend/chartgeometry.h"
#include "trend/samplestore.h"
#include "windows/common/contrast.h"
#include "windows/trend/trendchart.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QImage>
#include <QScrollBar>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The colour around a point (device pixels): antialiasing blends the edges.
bool colourNear(const QImage &image, QPointF point, QColor colour)
{
    const QPoint centre = (point * image.devicePixelRatio()).toPoint();
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (image.pixelColor(centre + QPoint(dx, dy)) == colour)
                return true;
    return false;
}

QImage render(TrendChart &chart)
{
    QImage image(chart.size() * 2, QImage::Format_ARGB32);
    image.setDevicePixelRatio(2);
    image.fill(Qt::magenta);
    chart.render(&image);
    return image;
}

// The chart's font and locale, as it measures its labels.
ChartGeometry::LabelMetrics labelsOf(const TrendChart &chart)
{
    return {
        QFontMetricsF(chart.font()).height(),
        [font = chart.font()](const QString &text) { return QFontMetricsF(font).horizontalAdvance(text); },
        chart.locale()};
}

// Where the chart, showing from startMSecs to endMSecs with values from lowest
// to highest, puts things.
ChartGeometry geometryOf(const TrendChart &chart, qint64 startMSecs, qint64 endMSecs, double lowest,
                         double highest)
{
    return ChartGeometry({startMSecs, endMSecs, lowest, highest}, chart.size(), chart.devicePixelRatioF(),
                         labelsOf(chart));
}

} // namespace

class TestTrendChart : public QObject
{
    Q_OBJECT

private slots:
    void paintsEachShownSeriesWhereItsSamplesAre()
    {
        SampleStore store;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const auto sample = [&](int i, double value) {
            return SampleStore::Sample{now - (50 - i) * 1000, value};
        };
        for (int i = 0; i <= 50; ++i) {
            store.add(WireLine::read("PV01=" + QByteArray::number(i), sample(i, 0).msecs));
            store.add(WireLine::read("SV01=200", sample(i, 0).msecs));
        }
        TrendChart chart(store);
        chart.resize(480, 300);
        chart.setPaused(true); // the right edge stands still, a millisecond at most from here
        const qint64 end = QDateTime::currentMSecsSinceEpoch();
        const qint64 start = sample(0, 0).msecs; // the axis starts at the oldest sample
        const QColor pv = chart.seriesStyle(u"PV01"_s).colour;
        const QColor sv = chart.seriesStyle(u"SV01"_s).colour;
        QVERIFY(pv != sv);

        QImage image = render(chart);
        ChartGeometry g = geometryOf(chart, start, end, 0, 200);
        for (int i = 5; i <= 45; i += 10) {
            QVERIFY2(colourNear(image, g.pointFor(sample(i, i)), pv), qPrintable(u"PV01=%1"_s.arg(i)));
            QVERIFY(colourNear(image, g.pointFor(sample(i, 200)), sv));
            QVERIFY(!colourNear(image, g.pointFor(sample(i, 120)), pv));
        }

        // Hidden, SV01 leaves the picture and the axis: PV01 fills the height.
        chart.setSeriesShown(u"SV01"_s, false);
        image = render(chart);
        g = geometryOf(chart, start, end, 0, 50);
        for (int i = 5; i <= 45; i += 10)
            QVERIFY2(colourNear(image, g.pointFor(sample(i, i)), pv), qPrintable(u"PV01=%1"_s.arg(i)));
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                QVERIFY2(image.pixelColor(x, y) != sv, "SV01 is still painted");

        // Stacked: each series in its own strip, on its own axis.
        chart.setSeriesShown(u"SV01"_s, true);
        chart.setStacked(true);
        image = render(chart);
        const std::vector<ChartGeometry> strips =
            ChartGeometry::stacked({{start, end, 0, 50}, {start, end, 200, 200}}, chart.size(),
                                   chart.devicePixelRatioF(), labelsOf(chart));
        for (int i = 5; i <= 45; i += 10) {
            QVERIFY2(colourNear(image, strips[0].pointFor(sample(i, i)), pv),
                     qPrintable(u"PV01=%1"_s.arg(i)));
            QVERIFY(colourNear(image, strips[1].pointFor(sample(i, 200)), sv));
        }
    }

    void aHighlightedSeriesComesToTheFrontAndTheOthersFade()
    {
        SampleStore store;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        // Both on the same values: the one painted last is the one seen.
        for (int i = 0; i <= 20; ++i)
            for (const char *name : {"PV01", "SV01"})
                store.add(
                    WireLine::read(QByteArray(name) + "=" + QByteArray::number(i), now - (20 - i) * 1000));
        TrendChart chart(store);
        chart.resize(480, 300);
        chart.setPaused(true);
        const QColor pv = chart.seriesStyle(u"PV01"_s).colour;
        const QColor sv = chart.seriesStyle(u"SV01"_s).colour;
        const auto seen = [&](const QColor &colour) {
            const QImage image = render(chart);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixelColor(x, y) == colour)
                        return true;
            return false;
        };
        QVERIFY(seen(sv));
        QVERIFY(!seen(pv)); // under SV01, which came later
        chart.setHighlighted(u"PV01"_s);
        QVERIFY(seen(pv));
        QVERIFY(!seen(sv)); // faded
        chart.setHighlighted({});
        QVERIFY(seen(sv));
    }

    void keysScrollTheStrips_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("first"); // -1: the last screenful; -2: one screenful down
        QTest::addRow("Down twice: two strips") << QList<int>{Qt::Key_Down, Qt::Key_Down} << 2;
        QTest::addRow("Up at the top: stays") << QList<int>{Qt::Key_Up} << 0;
        QTest::addRow("Page Down: a screenful") << QList<int>{Qt::Key_PageDown} << -2;
        QTest::addRow("far down: the last screenful") << QList<int>(30, Qt::Key_PageDown) << -1;
        QTest::addRow("and back up") << (QList<int>(30, Qt::Key_PageDown) << Qt::Key_PageUp << Qt::Key_Up)
                                     << -3;
    }
    void keysScrollTheStrips()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, first);
        SampleStore store;
        for (int i = 0; i < 64; ++i)
            store.add(WireLine::read("S" + QByteArray::number(i) + "=1", wireClockMSecs()));
        TrendChart chart(store);
        chart.resize(480, 300);
        chart.setStacked(true);
        const int fit = ChartGeometry::stripsShown(64, chart.size(), QFontMetricsF(chart.font()).height());
        QVERIFY(fit > 1 && fit < 64);
        auto *bar = chart.findChild<QScrollBar *>();
        QVERIFY(bar && !bar->isHidden()); // there is more than shows
        for (const int key : keys)
            QTest::keyClick(&chart, Qt::Key(key));
        const int expected = first == -1   ? 64 - fit
                             : first == -2 ? fit
                             : first == -3 ? 64 - 2 * fit - 1
                                           : first;
        QCOMPARE(bar->value(), expected);
    }

    void keepsEachNamesStyleThroughAClear()
    {
        SampleStore store;
        TrendChart chart(store);
        const auto arrive = [&](const QByteArray &name) { store.add(WireLine::read(name + "=1", 0)); };
        QList<QByteArray> names;
        for (int i = 0; i < TrendChart::kStyles + 2; ++i)
            names << "N" + QByteArray::number(i);
        for (const QByteArray &name : names)
            arrive(name);
        // Back in another order after a Clear, and one new name.
        store.clear();
        arrive(names[9]);
        arrive(names[0]);
        arrive("NEW");
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(chart.seriesStyle(QString::fromLatin1(names[i])), TrendChart::styleAt(i));
        QCOMPARE(chart.seriesStyle(u"NEW"_s), TrendChart::styleAt(TrendChart::kStyles + 2));

        // Told apart until they cycle.
        for (int i = 0; i < TrendChart::kStyles; ++i)
            for (int j = 0; j < i; ++j)
                QVERIFY(!(TrendChart::styleAt(j) == TrendChart::styleAt(i)));
        QCOMPARE(TrendChart::styleAt(TrendChart::kStyles), TrendChart::styleAt(0));
    }

    // WCAG 2.1 AA on the chart's own background: 4.5:1 for text, 3:1 for lines.
    void inksStandOutFromTheBackground_data()
    {
        QTest::addColumn<QColor>("ink");
        QTest::addColumn<double>("least");
        QTest::newRow("value and time labels") << QColor(TrendChart::kLabelInk) << kTextContrast;
        QTest::newRow("clock times, no values") << QColor(TrendChart::kClockInk) << kTextContrast;
        QTest::newRow("plot frame") << QColor(TrendChart::kFrameInk) << kGraphicsContrast;
        for (int i = 0; i < TrendChart::kStyles; ++i) {
            const QColor colour = TrendChart::styleAt(i).colour;
            QTest::addRow("series %d %s", i, qPrintable(colour.name())) << colour << kGraphicsContrast;
        }
    }

    void inksStandOutFromTheBackground()
    {
        QFETCH(QColor, ink);
        QFETCH(double, least);
        // The measure itself: its extremes, and the grey known to fall just short for text.
        QCOMPARE(contrastRatio(Qt::white, Qt::black), 21.0);
        QVERIFY(contrastRatio(QColor(0x777777), Qt::white) < kTextContrast);
        QCOMPARE_GE(contrastRatio(ink, QColor(TrendChart::kBackground)), least);
    }

    void repaintsAtMostOnceAPeriodAndNotWhenPausedOrHidden()
    {
        constexpr auto period = TrendChart::kRepaintInterval;
        constexpr qint64 tick = TrendChart::kClockInterval.count();
        SampleStore store;
        TrendChart chart(store);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        int refreshes = 0;
        qint64 gap = 0; // between the last two refreshes
        QElapsedTimer sinceRefresh;
        connect(&chart, &TrendChart::refreshed, this, [&] {
            ++refreshes;
            gap = sinceRefresh.isValid() ? sinceRefresh.restart() : (sinceRefresh.start(), 0);
        });
        const auto addSample = [&] { store.add(WireLine::read("PV01=1", wireClockMSecs())); };

        // A burst: one refresh once the period is over, then quiet.
        for (int i = 0; i < 10000; ++i)
            addSample();
        QCOMPARE(refreshes, 0);
        QTRY_COMPARE(refreshes, 1);
        QTest::qWait(2 * period.count());
        QCOMPARE(refreshes, 1);

        // Nothing arriving: the clock still moves on, once a tick.
        QTRY_COMPARE_WITH_TIMEOUT(refreshes, 2, 2 * tick);
        QVERIFY2(gap >= tick * 9 / 10, qPrintable(u"after %1 ms"_s.arg(gap)));

        // A steady stream: a refresh every period, neither more nor starved.
        refreshes = 0;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5 * period.count()) {
            addSample();
            QTest::qWait(1);
        }
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(refreshes >= 2 && refreshes <= elapsed / period.count() + 1,
                 qPrintable(u"%1 refreshes in %2 ms"_s.arg(refreshes).arg(elapsed)));

        // Paused or hidden, neither a sample nor the clock repaints.
        chart.setPaused(true);
        refreshes = 0;
        addSample();
        QTest::qWait(tick + 2 * period.count());
        QCOMPARE(refreshes, 0);
        chart.setPaused(false); // what came while paused shows at once
        QCOMPARE(refreshes, 1);

        chart.hide();
        addSample();
        QTest::qWait(tick + 2 * period.count());
        QCOMPARE(refreshes, 1);
    }
};

QTEST_MAIN(TestTrendChart)
#include "tst_trendchart.moc"
