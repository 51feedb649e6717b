// The trend chart by mouse: a dragged box zooms to its stretch, a right or
// Shift drag pans, the pointer places the cursor, against where the geometry
// puts the time axis; a legend row under the pointer brings its series to the
// front. And by keys: zoom, pan, the cursor and what it reads.
#include "trend/chartgeometry.h"
#include "trend/samplestore.h"
#include "windows/common/dialogs.h"
#include "windows/trend/trendchart.h"
#include "windows/trend/trendwindow.h"

#include <QDateTime>
#include <QDir>
#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
constexpr qint64 kAny = std::numeric_limits<qint64>::max();
constexpr qint64 kOldest = std::numeric_limits<qint64>::min();
} // namespace

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

    void keysZoomPanAndReadTheChart_data()
    {
        // Held by Pause at F with the last minute shown; times from F. PV01
        // counts the seconds of the ten minutes held, SV01 stays 200.
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<qint64>("start"); // kOldest: the oldest sample; kAny: not checked
        QTest::addColumn<qint64>("end");
        QTest::addColumn<bool>("following");
        QTest::addColumn<qint64>("cursor"); // kAny: none
        const int shiftRight = (Qt::ShiftModifier | Qt::Key_Right).toCombined();
        QTest::addRow("+ halves around the middle")
            << QList<int>{Qt::Key_Plus} << -45'000LL << -15'000LL << false << kAny;
        QTest::addRow("- doubles, up to the frozen moment")
            << QList<int>{Qt::Key_Minus} << -120'000LL << 0LL << false << kAny;
        QTest::addRow("+ then Left: a tenth earlier")
            << QList<int>{Qt::Key_Plus, Qt::Key_Left} << -48'000LL << -18'000LL << false << kAny;
        QTest::addRow("Right past the frozen moment stops there")
            << QList<int>{Qt::Key_Plus,  Qt::Key_Right, Qt::Key_Right, Qt::Key_Right,
                          Qt::Key_Right, Qt::Key_Right, Qt::Key_Right}
            << -30'000LL << 0LL << false << kAny;
        QTest::addRow("Home: everything held") << QList<int>{Qt::Key_Home} << kOldest << 0LL << false << kAny;
        QTest::addRow("zoomed out far: everything held")
            << QList<int>{Qt::Key_Minus, Qt::Key_Minus, Qt::Key_Minus, Qt::Key_Minus} << kOldest << 0LL
            << false << kAny;
        QTest::addRow("Shift+Right: a cursor in the middle")
            << QList<int>{shiftRight} << -60'000LL << 0LL << false << -30'000LL;
        // Four steps of a fiftieth: 0.58 of the way; the zoom keeps it there.
        QTest::addRow("+ zooms around the cursor")
            << QList<int>{shiftRight, shiftRight, shiftRight, shiftRight, shiftRight, Qt::Key_Plus}
            << -42'600LL << -12'600LL << false << -25'200LL;
        QTest::addRow("Escape hides the cursor")
            << QList<int>{shiftRight, Qt::Key_Escape} << -60'000LL << 0LL << false << kAny;
        QTest::addRow("End follows the present again")
            << QList<int>{Qt::Key_Plus, Qt::Key_End} << kAny << kAny << true << kAny;
    }
    void keysZoomPanAndReadTheChart()
    {
        QFETCH(QList<int>, keys);
        QFETCH(qint64, start);
        QFETCH(qint64, end);
        QFETCH(bool, following);
        QFETCH(qint64, cursor);
        SampleStore store;
        const qint64 oldest = wireClockMSecs() - 600'000;
        for (int k = 0; k <= 600; ++k) {
            store.add(WireLine::read("PV01=" + QByteArray::number(k), oldest + k * 1'000));
            store.add(WireLine::read("SV01=200", oldest + k * 1'000));
        }
        // The last sample up to a moment, as the legend and the cursor read it.
        const auto pvAt = [&](qint64 t) {
            return QString::number(std::min<qint64>(600, (t - oldest) / 1'000));
        };
        MessageBoxDialogs dialogs;
        TrendWindow window(store, dialogs, u"PUMP1"_s, QDir::tempPath());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *chart = window.findChild<TrendChart *>();
        QSignalSpy moved(chart, &TrendChart::viewMoved);
        QSignalSpy read(chart, &TrendChart::cursorRead);
        QPushButton *pause = nullptr;
        for (QPushButton *b : window.findChildren<QPushButton *>())
            if (b->accessibleName() == u"Pause")
                pause = b;
        pause->click();
        QCOMPARE(moved.size(), 1);
        const qint64 frozen = moved.last()[1].toLongLong();
        QCOMPARE(moved.last()[0].toLongLong(), frozen - 60'000);

        for (const int key : keys)
            QTest::keyClick(chart, Qt::Key(key & ~Qt::KeyboardModifierMask),
                            Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        const QList<QVariant> shown = moved.last();
        if (start != kAny)
            QCOMPARE(shown[0].toLongLong(), start == kOldest ? oldest : frozen + start);
        if (end != kAny)
            QCOMPARE(shown[1].toLongLong(), frozen + end);
        QCOMPARE(shown[2].toBool(), following);
        // A view held by a zoom is paused as Pause pauses it, and the legend
        // shows the values at the view's end.
        QCOMPARE(pause->isChecked(), !following);
        const QString pvShown =
            window.findChild<QListView *>()->model()->index(0, 0).data(Qt::UserRole + 1).toString();
        QCOMPARE(pvShown, following ? u"600"_s : pvAt(shown[1].toLongLong()));

        QString readout;
        for (QLabel *label : window.findChildren<QLabel *>())
            if (label->accessibleName() == u"Cursor readout")
                readout = label->text();
        if (cursor == kAny) {
            QVERIFY(read.isEmpty() || read.last()[0].toString().isEmpty());
            QVERIFY(!readout.startsWith(u"At "_s));
        } else {
            const qint64 at = frozen + cursor;
            const QString expected = u"At %1: PV01 %2, SV01 200"_s.arg(
                QDateTime::fromMSecsSinceEpoch(at).toString(u"HH:mm:ss.zzz"_s), pvAt(at));
            QCOMPARE(read.last()[0].toString(), expected);
            QCOMPARE(readout, expected); // where a screen reader finds it
        }
    }
};

QTEST_MAIN(TestTrendChartMouse)
#include "tst_trendchartmouse.moc"
