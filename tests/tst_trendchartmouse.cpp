// The trend chart by mouse: a dragged box zooms to its stretch, a right or
// Shift drag pans, the pointer places the cursor, against where the geometry
// puts the time axis; a legend row under the pointer brings its series to the front.
#include "trend/chartgeometry.h"
#include "trend/samplestore.h"
#include "windows/common/dialogs.h"
#include "windows/trend/trendchart.h"
#include "windows/trend/trendwindow.h"

#include <QDir>
#include <QFontMetricsF>
#include <QImage>
#include <QListView>
#include <QSignalSpy>
#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;

class TestTrendChartMouse : public QObject
{
    Q_OBJECT

private slots:
    void dragsZoomAndPan_data()
    {
        // Shares of the plot's width from its left edge, and what the window becomes.
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<int>("how");      // 0: a left drag, 1: a right drag, 2: a Shift drag
        QTest::addColumn<double>("start"); // the new window in shares of the old one; NaN: unchanged
        QTest::addColumn<double>("end");
        QTest::addRow("a box from a quarter to the middle") << 0.25 << 0.5 << 0 << 0.25 << 0.5;
        QTest::addRow("a box drawn leftwards") << 0.75 << 0.25 << 0 << 0.25 << 0.75;
        QTest::addRow("a click is no box") << 0.5 << 0.5 << 0 << qQNaN() << qQNaN();
        // The view dragged a tenth to the right shows a tenth earlier (ten
        // minutes are held); dragged left it would go past now, and stays.
        QTest::addRow("a right drag pans") << 0.5 << 0.6 << 1 << -0.1 << 0.9;
        QTest::addRow("a Shift drag pans, but not past now") << 0.6 << 0.5 << 2 << 0.0 << 1.0;
    }
    void dragsZoomAndPan()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(int, how);
        QFETCH(double, start);
        QFETCH(double, end);
        SampleStore store;
        const qint64 oldest = wireClockMSecs() - 600'000;
        for (int k = 0; k <= 600; ++k)
            store.add(WireLine::read("PV01=5", oldest + k * 1'000));
        TrendChart chart(store);
        chart.resize(480, 300);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        QSignalSpy moved(&chart, &TrendChart::viewMoved);
        QSignalSpy read(&chart, &TrendChart::cursorRead);
        chart.setPaused(true);
        const qint64 first = moved.last()[0].toLongLong();
        const qint64 last = moved.last()[1].toLongLong();
        chart.repaint(); // the pointer is read against what was painted
        const QFontMetricsF fm(chart.font());
        const ChartGeometry g(
            {first, last, 5, 5}, chart.size(), chart.devicePixelRatioF(),
            {fm.height(), [&fm](const QString &t) { return fm.horizontalAdvance(t); }, chart.locale()});
        const QRectF plot = g.plotArea();
        const auto at = [&](double share) { return QPoint(qRound(plot.left() + share * plot.width()), 100); };
        const double msPerPixel = double(last - first) / plot.width();

        // The pointer over the plot places the cursor there.
        QTest::mouseMove(&chart, QPoint(1, 1)); // the same place twice is no move
        QTest::mouseMove(&chart, at(from));
        QVERIFY(!read.isEmpty() && read.last()[0].toString().endsWith(u": PV01 5"_s));

        const Qt::MouseButton button = how == 1 ? Qt::RightButton : Qt::LeftButton;
        const Qt::KeyboardModifiers modifiers = how == 2 ? Qt::ShiftModifier : Qt::NoModifier;
        QTest::mousePress(&chart, button, modifiers, at(from));
        QTest::mouseMove(&chart, at(to));
        QTest::mouseRelease(&chart, button, modifiers, at(to));
        const qint64 width = last - first;
        if (std::isnan(start)) {
            QCOMPARE(moved.size(), 1);
            return;
        }
        QVERIFY(qAbs(moved.last()[0].toLongLong() - (first + qint64(start * width))) <= msPerPixel);
        QVERIFY(qAbs(moved.last()[1].toLongLong() - (first + qint64(end * width))) <= msPerPixel);
        QVERIFY(!moved.last()[2].toBool()); // held still
    }

    void aHoveredLegendRowBringsItsSeriesToTheFront()
    {
        SampleStore store;
        // Both on the same values: the one painted last is the one seen.
        for (int k = 0; k <= 20; ++k)
            for (const char *name : {"PV01", "SV01"})
                store.add(WireLine::read(QByteArray(name) + "=" + QByteArray::number(k),
                                         wireClockMSecs() - (20 - k) * 1'000));
        MessageBoxDialogs dialogs;
        TrendWindow window(store, dialogs, u"PUMP1"_s, QDir::tempPath());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *chart = window.findChild<TrendChart *>();
        chart->setPaused(true);
        const auto seen = [&](const QString &name) {
            const QImage image = chart->grab().toImage();
            const QColor colour = chart->seriesStyle(name).colour;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixelColor(x, y) == colour)
                        return true;
            return false;
        };
        QVERIFY(!seen(u"PV01"_s));
        auto *legend = window.findChild<QListView *>();
        QTest::mouseMove(legend->viewport(), legend->visualRect(legend->model()->index(0, 0)).center());
        QTRY_VERIFY(seen(u"PV01"_s));
        QVERIFY(!seen(u"SV01"_s)); // faded
    }
};

QTEST_MAIN(TestTrendChartMouse)
#include "tst_trendchartmouse.moc"
