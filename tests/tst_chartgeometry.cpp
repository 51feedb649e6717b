// Where the trend chart puts things, against coordinates worked out by hand:
// the plot area, time and value to pixels, the ticks and their labels.
#include "trend/chartgeometry.h"

#include <QSet>
#include <QTest>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kStart = 1'000'000;

// Labels 16 px high and 6 px a character, written in the C locale.
ChartGeometry::LabelMetrics labels()
{
    return {16, [](const QString &text) { return 6.0 * text.size(); }, QLocale::c()};
}

ChartGeometry geometry(qint64 spanMSecs, double lowest, double highest, QSize size = {480, 300},
                       double devicePixelRatio = 1)
{
    return ChartGeometry({kStart, kStart + spanMSecs, lowest, highest}, size, devicePixelRatio, labels());
}

} // namespace

class TestChartGeometry : public QObject
{
    Q_OBJECT

private slots:
    void mapsTimeAndValueToPixels()
    {
        // 480 x 300, a minute, values 10 to 90:
        // values padded by 5 % to 6..94; the plot from y = round(16/2 + 8) = 16 to
        // round(300 - 2*16 - 12) = 256, 240 px, room for 240 / (16*2.2) = 6.8 rows,
        // 88 / 6.8 = 12.9 -> a step of 20, the axis 0..100. Widest label "100",
        // 18 px: left = 12 + 18 + 8 = 38, right = 480 - 20 = 460.
        // x = 38 + ms * 422 / 60000, y = 256 - value * 240 / 100.
        const ChartGeometry g = geometry(60'000, 10, 90);
        QVERIFY(g.hasData());
        QCOMPARE(g.plotArea(), QRectF(38, 16, 422, 240));
        QCOMPARE(g.x(kStart), 38.0);
        QCOMPARE(g.x(kStart + 30'000), 249.0);
        QCOMPARE(g.x(kStart + 60'000), 460.0);
        QCOMPARE(g.y(0), 256.0);
        QCOMPARE(g.y(50), 136.0);
        QCOMPARE(g.y(100), 16.0);

        // Few samples: each is a point of the line, where it belongs.
        const ChartGeometry::Samples samples{{kStart, 10}, {kStart + 30'000, 50}, {kStart + 60'000, 90}};
        const std::vector<QPointF> expected{{38, 232}, {249, 136}, {460, 40}};
        QCOMPARE(g.polyline(samples.begin(), samples.end()), expected);

        // Grid lines on whole pixels: 256 - 20k * 2.4.
        const std::vector<double> rows{256, 208, 160, 112, 64, 16};
        QCOMPARE(g.valueTicks().size(), rows.size());
        for (size_t i = 0; i < rows.size(); ++i)
            QCOMPARE(g.valueTicks()[i].y, rows[i]);
    }

    void placesTimeTicksAtWholeStepsSinceTheOrigin_data()
    {
        // As above, a minute over 422 px, 142.2 ms a pixel; labels need
        // "00:00:00" (48 px) + 30 px: 10 s is 70 px, 15 s is 105 px, so a tick
        // every 15 s. An hour: 15 min; four hours: an hour.
        QTest::addColumn<qint64>("span");
        QTest::addColumn<qint64>("origin");
        QTest::addColumn<QList<qint64>>("ticks"); // since the start
        QTest::addColumn<QList<double>>("columns");
        QTest::addColumn<QStringList>("texts");
        // 7 s before the start: ticks 8 s into the span, then every 15 s.
        // x = 38 + 8000 * 422 / 60000 = 94.27, ...
        QTest::addRow("collecting began before the span")
            << qint64(60'000) << kStart - 7'000 << QList<qint64>{8'000, 23'000, 38'000, 53'000}
            << QList<double>{94, 200, 305, 411} << QStringList{u"15 s"_s, u"30 s"_s, u"45 s"_s, u"60 s"_s};
        // A sample stamped before a clear: the ticks before it count back from there.
        QTest::addRow("collecting began within the span")
            << qint64(60'000) << kStart + 20'000 << QList<qint64>{5'000, 20'000, 35'000, 50'000}
            << QList<double>{73, 179, 284, 390} << QStringList{u"-15 s"_s, u"0 s"_s, u"15 s"_s, u"30 s"_s};
        QTest::addRow("on the start itself")
            << qint64(60'000) << kStart << QList<qint64>{0, 15'000, 30'000, 45'000, 60'000}
            << QList<double>{38, 144, 249, 355, 460}
            << QStringList{u"0 s"_s, u"15 s"_s, u"30 s"_s, u"45 s"_s, u"60 s"_s};
        // x = 38 + 900 s * 422 / 3600 s = 143.5, ...
        QTest::addRow("an hour counts minutes")
            << qint64(3'600'000) << kStart << QList<qint64>{0, 900'000, 1'800'000, 2'700'000, 3'600'000}
            << QList<double>{38, 144, 249, 355, 460}
            << QStringList{u"0 min"_s, u"15 min"_s, u"30 min"_s, u"45 min"_s, u"60 min"_s};
        QTest::addRow("four hours count hours")
            << qint64(14'400'000) << kStart << QList<qint64>{0, 3'600'000, 7'200'000, 10'800'000, 14'400'000}
            << QList<double>{38, 144, 249, 355, 460}
            << QStringList{u"0 h"_s, u"1 h"_s, u"2 h"_s, u"3 h"_s, u"4 h"_s};
    }
    void placesTimeTicksAtWholeStepsSinceTheOrigin()
    {
        QFETCH(qint64, span);
        QFETCH(qint64, origin);
        QFETCH(QList<qint64>, ticks);
        QFETCH(QList<double>, columns);
        QFETCH(QStringList, texts);
        const ChartGeometry g = geometry(span, 10, 90);
        QList<qint64> times;
        QList<double> xs;
        QStringList written;
        for (const ChartGeometry::TimeTick &tick : g.timeTicks(origin)) {
            times << tick.msecs - kStart;
            xs << tick.x;
            written << tick.text;
        }
        QCOMPARE(times, ticks);
        QCOMPARE(xs, columns);
        QCOMPARE(written, texts);
    }

    void choosesATimeStepTheLabelsFit_data()
    {
        // 422 px wide; a step needs 78 px.
        QTest::addColumn<qint64>("span");
        QTest::addColumn<qint64>("step");
        QTest::addRow("no time at all: the shortest") << qint64(0) << qint64(1'000);
        QTest::addRow("ten seconds: 1 s is 42 px, 2 s is 84") << qint64(10'000) << qint64(2'000);
        QTest::addRow("an hour: 10 min is 70 px, 15 min 105") << qint64(3'600'000) << qint64(900'000);
        QTest::addRow("a week: a day at most") << qint64(7 * 86'400'000) << qint64(86'400'000);
    }
    void choosesATimeStepTheLabelsFit()
    {
        QFETCH(qint64, span);
        QFETCH(qint64, step);
        QCOMPARE(geometry(span, 10, 90).timeStepMSecs(), step);
    }

    void labelsValuesInStepsOfOneTwoOrFive_data()
    {
        // 480 x 300 as above: 6.8 rows; the range padded by 5 % (by 1 around a
        // flat zero, by 5 % of the value around another flat line).
        QTest::addColumn<double>("lowest");
        QTest::addColumn<double>("highest");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<double>("plotLeft"); // 12 + the widest label + 8
        // 88 / 6.8 = 12.9 -> 20
        QTest::addRow("tens") << 10.0 << 90.0
                              << QStringList{u"0"_s, u"20"_s, u"40"_s, u"60"_s, u"80"_s, u"100"_s} << 38.0;
        // -157.75..12.75: 170.5 / 6.8 = 25 -> 50; "-200" is the widest
        QTest::addRow("below zero: the lowest label is the widest")
            << -150.0 << 5.0 << QStringList{u"-200"_s, u"-150"_s, u"-100"_s, u"-50"_s, u"0"_s, u"50"_s}
            << 44.0;
        // -617.25..12962.25: 13579.5 / 6.8 = 1992 -> 2000
        QTest::addRow("thousands") << 0.0 << 12345.0
                                   << QStringList{u"-2000"_s, u"0"_s,     u"2000"_s,  u"4000"_s, u"6000"_s,
                                                  u"8000"_s,  u"10000"_s, u"12000"_s, u"14000"_s}
                                   << 50.0;
        // 0.499..0.521: 0.022 / 6.8 = 0.0032 -> 0.005, three decimals
        QTest::addRow("thousandths") << 0.5 << 0.52
                                     << QStringList{u"0.495"_s, u"0.500"_s, u"0.505"_s, u"0.510"_s,
                                                    u"0.515"_s, u"0.520"_s, u"0.525"_s}
                                     << 50.0;
        // -5.25..-4.75: 0.5 / 6.8 = 0.073 -> 0.1
        QTest::addRow("a flat line") << -5.0 << -5.0
                                     << QStringList{u"-5.3"_s, u"-5.2"_s, u"-5.1"_s, u"-5.0"_s,
                                                    u"-4.9"_s, u"-4.8"_s, u"-4.7"_s}
                                     << 44.0;
        // -1..1: 2 / 6.8 = 0.29 -> 0.5
        QTest::addRow("a flat zero") << 0.0 << 0.0
                                     << QStringList{u"-1.0"_s, u"-0.5"_s, u"0.0"_s, u"0.5"_s, u"1.0"_s}
                                     << 44.0;
        // 0..1 padded to -0.05..1.05: 1.1 / 6.8 = 0.16 -> 0.2
        // -1.7e37..3.57e38: 3.74e38 / 6.8 = 5.5e37 -> 1e38; "-1e38" is the widest
        QTest::addRow("up to the largest float: short labels, a wide plot")
            << 0.0 << 3.4028234663852886e38
            << QStringList{u"-1e38"_s, u"0"_s, u"1e38"_s, u"2e38"_s, u"3e38"_s, u"4e38"_s} << 50.0;
        QTest::addRow("no samples: 0 to 1")
            << qInf() << -qInf()
            << QStringList{u"-0.2"_s, u"0.0"_s, u"0.2"_s, u"0.4"_s, u"0.6"_s, u"0.8"_s, u"1.0"_s, u"1.2"_s}
            << 44.0;
    }
    void labelsValuesInStepsOfOneTwoOrFive()
    {
        QFETCH(double, lowest);
        QFETCH(double, highest);
        QFETCH(QStringList, texts);
        QFETCH(double, plotLeft);
        const ChartGeometry g = geometry(60'000, lowest, highest);
        QCOMPARE(g.hasData(), lowest <= highest);
        const std::vector<ChartGeometry::ValueTick> ticks = g.valueTicks();
        QStringList written;
        for (const ChartGeometry::ValueTick &tick : ticks)
            written << tick.text;
        QCOMPARE(written, texts);
        QCOMPARE(g.plotArea().left(), plotLeft);
        // The axis ends on ticks.
        QCOMPARE(ticks.front().y, g.plotArea().bottom());
        QCOMPARE(ticks.back().y, g.plotArea().top());
    }

    void writesValuesInTheAxisNotation_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("step");
        QTest::addColumn<bool>("exponent");
        QTest::addColumn<QString>("text");
        QTest::addRow("zero with the step's decimals") << 0.0 << 0.5 << false << u"0.0"_s;
        QTest::addRow("hundreds and a half") << 1234.5 << 0.5 << false << u"1234.5"_s;
        QTest::addRow("thousandths") << 0.0015 << 0.0005 << false << u"0.0015"_s;
        QTest::addRow("just below a million") << 999999.95 << 0.05 << false << u"999999.95"_s;
        QTest::addRow("a million, plain") << 1e6 << 2e5 << false << u"1000000"_s;
        QTest::addRow("zero among exponents") << 0.0 << 1e-7 << true << u"0"_s;
        QTest::addRow("a million") << 1e6 << 2e5 << true << u"1e6"_s;
        QTest::addRow("millions in steps of 20000") << 1.22e6 << 2e4 << true << u"1.22e6"_s;
        QTest::addRow("the largest float") << 3.4028234663852886e38 << 1e37 << true << u"3.4e38"_s;
        QTest::addRow("a tiny negative") << -2.5e-7 << 5e-8 << true << u"-2.5e-7"_s;
        QTest::addRow("rounds up into the next power") << 9.996e9 << 1e7 << true << u"1e10"_s;
        QTest::addRow("every digit a fine step needs") << -1.2345e-300 << 1e-305 << true << u"-1.2345e-300"_s;
        QTest::addRow("thousandths of a large value") << 123456.781 << 0.001 << true << u"1.23456781e5"_s;
    }
    void writesValuesInTheAxisNotation()
    {
        QFETCH(double, value);
        QFETCH(double, step);
        QFETCH(bool, exponent);
        QFETCH(QString, text);
        const auto notation = exponent ? ChartGeometry::Notation::Exponent : ChartGeometry::Notation::Plain;
        QCOMPARE(ChartGeometry::valueText(value, step, notation, QLocale::c()), text);
    }

    // Labels that tell their ticks apart: one notation on an axis, the digits
    // the step needs, each label reading back as its tick.
    void labelsNarrowRangesAtLargeOffsetsApart_data()
    {
        QTest::addColumn<double>("lowest");
        QTest::addColumn<double>("highest");
        QTest::addColumn<QString>("locale");
        QTest::addRow("thousandths near 123456.78") << 123456.781 << 123456.789 << u"C"_s;
        QTest::addRow("the same with grouping") << 123456.781 << 123456.789 << u"en_US"_s;
        QTest::addRow("thousandths above a million") << 1000000.001 << 1000000.004 << u"C"_s;
        QTest::addRow("across a million: one notation") << 990000.0 << 1000000.0 << u"en_US"_s;
        QTest::addRow("a hair's breadth at 1e30") << 1e30 << 1.000001e30 << u"C"_s;
        QTest::addRow("far below one") << -3.0001e-9 << -3.0e-9 << u"de_DE"_s;
    }
    void labelsNarrowRangesAtLargeOffsetsApart()
    {
        QFETCH(double, lowest);
        QFETCH(double, highest);
        QFETCH(QString, locale);
        const QLocale writer(locale);
        const ChartGeometry g({kStart, kStart + 60'000, lowest, highest}, QSize(480, 300), 1,
                              {16, [](const QString &text) { return 6.0 * text.size(); }, writer});
        const std::vector<ChartGeometry::ValueTick> ticks = g.valueTicks();
        QVERIFY(ticks.size() >= 3);
        const double step = ticks[1].value - ticks[0].value;
        QSet<QString> seen;
        int exponents = 0;
        for (const ChartGeometry::ValueTick &tick : ticks) {
            QVERIFY2(!seen.contains(tick.text), qPrintable(tick.text));
            seen.insert(tick.text);
            exponents += tick.text.contains(u'e') ? 1 : 0;
            bool ok = false;
            const double read = writer.toDouble(tick.text, &ok);
            QVERIFY2(ok, qPrintable(tick.text));
            QVERIFY2(std::fabs(read - tick.value) < step / 2, qPrintable(tick.text));
        }
        QVERIFY(exponents == 0 || exponents == int(ticks.size()) || (exponents == int(ticks.size()) - 1));
    }

    // The legend's value: every digit the device's number had, none it had not.
    void writesALegendValueExactly_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::addRow("a count beyond a float's digits") << 16777217.0 << u"16777217"_s;
        QTest::addRow("a tenth") << 0.1 << u"0.1"_s;
        QTest::addRow("thousandths of a large value") << 123456.781 << u"123456.781"_s;
        QTest::addRow("a ten-thousandth, still plain") << 0.0001 << u"0.0001"_s;
        QTest::addRow("tiny") << 1e-300 << u"1e-300"_s;
        QTest::addRow("huge, as the axis writes it") << 1e30 << u"1e30"_s;
        QTest::addRow("a tiny negative") << -2.5e-7 << u"-2.5e-7"_s;
        QTest::addRow("zero") << 0.0 << u"0"_s;
    }
    void writesALegendValueExactly()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(ChartGeometry::exactText(value, QLocale::c()), text);
    }
};

QTEST_MAIN(TestChartGeometry)
#include "tst_chartgeometry.moc"
