// The trend chart: a known series painted where it belongs at a scale factor
// of 2, the vertical axis following the shown series, and repaints held back.
#include "app/trendchart.h"
#include "trend/samplestore.h"

#include <QDateTime>
#include <QImage>
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

} // namespace

class TestTrendChart : public QObject
{
    Q_OBJECT

private slots:
    void paintsEachShownSeriesWhereItsSamplesAre()
    {
        SampleStore store;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (int i = 0; i <= 50; ++i) {
            store.add(WireLine::read("PV01=" + QByteArray::number(i), now - (50 - i) * 1000));
            store.add(WireLine::read("SV01=200", now - (50 - i) * 1000));
        }
        TrendChart chart(store);
        chart.resize(480, 300);
        chart.setPaused(true); // the right edge stands still
        const QColor pv = TrendChart::seriesColour(0);
        const QColor sv = TrendChart::seriesColour(1);
        QVERIFY(pv != sv);

        QImage image = render(chart);
        const QPointF oldest = chart.pointFor(now - 50'000, 0);
        const QPointF newest = chart.pointFor(now, 50);
        QVERIFY(oldest.x() < newest.x() && oldest.y() > newest.y()); // time right, values up
        QVERIFY(QRectF(chart.rect()).contains(oldest) && QRectF(chart.rect()).contains(newest));
        for (int i = 5; i <= 45; i += 10) {
            QVERIFY2(colourNear(image, chart.pointFor(now - (50 - i) * 1000, i), pv),
                     qPrintable(u"PV01=%1"_s.arg(i)));
            QVERIFY(colourNear(image, chart.pointFor(now - (50 - i) * 1000, 200), sv));
            QVERIFY(!colourNear(image, chart.pointFor(now - (50 - i) * 1000, 120), pv));
        }
        const double spread = newest.y() - oldest.y();

        // Hidden, SV01 leaves the picture and the axis: PV01 fills the height.
        chart.setSeriesShown(u"SV01"_s, false);
        image = render(chart);
        const QPointF top = chart.pointFor(now, 50);
        QVERIFY(colourNear(image, top, pv));
        QVERIFY(top.y() - chart.pointFor(now - 50'000, 0).y() < spread * 3);
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                QVERIFY2(image.pixelColor(x, y) != sv, "SV01 is still painted");
    }

    void repaintsAtMostOnceAPeriodAndNotWhenPausedOrHidden()
    {
        SampleStore store;
        TrendChart chart(store);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        QVERIFY(!chart.isRepaintPending()); // nothing arrives: no timer
        int refreshes = 0;
        connect(&chart, &TrendChart::refreshed, this, [&] { ++refreshes; });
        for (int i = 0; i < 10000; ++i)
            store.add(WireLine::read("PV01=" + QByteArray::number(i), wireClockMSecs()));
        QVERIFY(chart.isRepaintPending());
        QTRY_COMPARE(refreshes, 1);
        QVERIFY(!chart.isRepaintPending());

        chart.setPaused(true);
        store.add(WireLine::read("PV01=1", wireClockMSecs()));
        QVERIFY(!chart.isRepaintPending());
        chart.setPaused(false);
        chart.hide();
        store.add(WireLine::read("PV01=2", wireClockMSecs()));
        QVERIFY(!chart.isRepaintPending());
    }
};

QTEST_MAIN(TestTrendChart)
#include "tst_trendchart.moc"
