// The sample store: which lines are samples and how their numbers read,
// series by name, the bound on each series and on the number of series, and
// the summary's extremes and a chart's pixel columns read from it against
// every sample read one by one.
#include "trend/chartgeometry.h"
#include "trend/samplestore.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <limits>
#include <map>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kStart = 1'000'000;
// Labels 16 px high and 6 px a character, written in the C locale.
const ChartGeometry::LabelMetrics kLabels{16, [](const QString &text) { return 6.0 * text.size(); },
                                          QLocale::c()};

} // namespace

class TestSampleStore : public QObject
{
    Q_OBJECT

private slots:
    // A sample is a line whose value is wholly a plain number, kept as the
    // double nearest it. The duty display reads replies more leniently (blanks,
    // &H, trailing text); a sample taken that way would plot what the device
    // never sent: 0x1F as 0, 1,5 as 1.
    void keepsASampleOnlyForALineThatIsWhollyANumber_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("name"); // empty: no sample
        QTest::addColumn<double>("value");
        // clang-format off
        QTest::addRow("a duty reply") << "SV01=50"_ba << u"SV01"_s << 50.0;
        QTest::addRow("a process value with decimals") << "PV1=48.5"_ba << u"PV1"_s << 48.5;
        QTest::addRow("not rounded to single precision") << "PV1=0.1"_ba << u"PV1"_s << 0.1;
        QTest::addRow("a count beyond a float's digits") << "X=16777217"_ba << u"X"_s << 16777217.0;
        QTest::addRow("a tiny value") << "X=1e-300"_ba << u"X"_s << 1e-300;
        QTest::addRow("a subnormal, as near as a double gets") << "X=3e-324"_ba << u"X"_s << 5e-324;
        QTest::addRow("below a double's range: the nearest, zero") << "X=1e-400"_ba << u"X"_s << 0.0;
        QTest::addRow("a zero is a sample") << "SV02=-0.0"_ba << u"SV02"_s << 0.0;
        QTest::addRow("a plus sign and an exponent") << "V=+2.5E3"_ba << u"V"_s << 2500.0;
        QTest::addRow("a point without a fraction") << "V=5."_ba << u"V"_s << 5.0;
        QTest::addRow("any other name gets a series") << "Temp_2=-.25"_ba << u"Temp_2"_s << -0.25;
        QTest::addRow("hex") << "V=0x1F"_ba << QString() << 0.0;
        QTest::addRow("a decimal comma") << "V=1,5"_ba << QString() << 0.0;
        QTest::addRow("a control byte after the digits") << "V=9\x01"_ba << QString() << 0.0;
        QTest::addRow("a unit after the digits") << "MU=5\xC2\xB5"_ba << QString() << 0.0;
        QTest::addRow("infinity") << "V=inf"_ba << QString() << 0.0;
        QTest::addRow("not a number") << "V=NaN"_ba << QString() << 0.0;
        QTest::addRow("beyond a double's range") << "V=1e999"_ba << QString() << 0.0;
        QTest::addRow("blanks inside the number") << "PV01= 4 8.5"_ba << QString() << 0.0;
        QTest::addRow("a BASIC hex register") << "PV01=&HFFFF"_ba << QString() << 0.0;
        QTest::addRow("a D exponent") << "SV01=1.5D2"_ba << QString() << 0.0;
        QTest::addRow("text after the number") << "PV1=48.5 %"_ba << QString() << 0.0;
        QTest::addRow("an exponent without digits") << "V=1e"_ba << QString() << 0.0;
        QTest::addRow("the device code is no sample") << "DUTY01"_ba << QString() << 0.0;
        QTest::addRow("nothing after the equals sign") << "SV01="_ba << QString() << 0.0;
        QTest::addRow("a word after the equals sign") << "SV01=abc"_ba << QString() << 0.0;
        QTest::addRow("a sign alone") << "SV01=-"_ba << QString() << 0.0;
        QTest::addRow("a name with a blank") << "SV 01=5"_ba << QString() << 0.0;
        QTest::addRow("a name starting with a digit") << "1A=5"_ba << QString() << 0.0;
        // clang-format on
    }
    void keepsASampleOnlyForALineThatIsWhollyANumber()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, name);
        QFETCH(double, value);
        SampleStore store;
        store.add(WireLine::read(line, 1000));
        if (name.isEmpty()) {
            QVERIFY(store.series().empty());
            return;
        }
        QCOMPARE(store.series().size(), 1u);
        QCOMPARE(store.series()[0].name, name);
        QCOMPARE(store.series()[0].samples.size(), 1u);
        QCOMPARE(store.series()[0].samples[0].value, value);
        QCOMPARE(store.series()[0].samples[0].msecs, 1000);
    }

    void keepsOneSeriesPerNameInOrderOfArrival()
    {
        SampleStore store;
        QSignalSpy added(&store, &SampleStore::seriesAdded);
        store.add(WireLine::read("PV01=3", 10));
        store.add(WireLine::read("SV01=50", 20));
        store.add(WireLine::read("PV01=4", 30));
        QCOMPARE(added.size(), 2);
        QCOMPARE(store.series()[0].name, u"PV01"_s);
        QCOMPARE(store.series()[1].name, u"SV01"_s);
        QCOMPARE(store.series()[0].samples.back().msecs, 30);
        QCOMPARE(store.series()[0].samples.size(), 2u);
        store.clear();
        QVERIFY(store.series().empty());
    }

    void dropsTheOldestBeyondTheBoundAndSaysSoOnce()
    {
        SampleStore store(3);
        QSignalSpy dropped(&store, &SampleStore::samplesDropped);
        store.add(WireLine::read("PV1=9", 0));
        for (int i = 1; i <= 6; ++i)
            store.add(WireLine::read("SV01=" + QByteArray::number(i), i));
        QCOMPARE(dropped.size(), 1);
        QVERIFY(store.hasDropped());
        const auto &kept = store.series()[1].samples;
        QCOMPARE(kept.size(), 3u);
        QCOMPARE(kept.front().value, 4.0);
        QCOMPARE(kept.back().value, 6.0);
        QCOMPARE(store.series()[0].samples.size(), 1u); // each series has its own bound
    }

    void keepsAtMostTheBoundOfNamesAndSaysSoOnce()
    {
        SampleStore store;
        QSignalSpy added(&store, &SampleStore::seriesAdded);
        QSignalSpy refused(&store, &SampleStore::seriesRefused);
        QSignalSpy samples(&store, &SampleStore::sampleAdded);
        for (int i = 0; i < SampleStore::kMaxSeries; ++i)
            store.add(WireLine::read("A" + QByteArray::number(i) + "=1", i));
        QCOMPARE(refused.size(), 0);
        QVERIFY(!store.hasRefusedSeries());

        store.add(WireLine::read("B0=1", 100));
        store.add(WireLine::read("B1=1", 101));
        QCOMPARE(refused.size(), 1);
        QVERIFY(store.hasRefusedSeries());
        QCOMPARE(qsizetype(store.series().size()), SampleStore::kMaxSeries);
        QCOMPARE(added.size(), int(SampleStore::kMaxSeries));
        QCOMPARE(samples.size(), int(SampleStore::kMaxSeries)); // a refused line is no sample

        // A name already held still gets its samples.
        store.add(WireLine::read("A63=2", 102));
        QCOMPARE(store.series().back().samples.size(), 2u);
        QCOMPARE(store.series().back().samples.back().value, 2.0);

        // A Clear makes room again; the notice stays said.
        store.clear();
        store.add(WireLine::read("B0=5", 200));
        QCOMPARE(store.series().size(), 1u);
        QCOMPARE(store.series()[0].name, u"B0"_s);
        QCOMPARE(refused.size(), 1);
    }

    // Random walks with spikes, some series past their bound (the oldest
    // dropped, so runs start mid-way), stretches of every length and place.
    void findsTheExtremesOfAnyStretchAsEverySampleSays_data()
    {
        QTest::addColumn<int>("bound");
        QTest::addColumn<int>("sent");
        QTest::addRow("fewer than a run") << 1000 << 10;
        QTest::addRow("many runs, none dropped") << 50'000 << 40'000;
        QTest::addRow("past the bound, at an odd place") << 20'000 << 33'333;
        QTest::addRow("a run's length past the bound") << 4096 << 4096 + 16;
    }
    void findsTheExtremesOfAnyStretchAsEverySampleSays()
    {
        QFETCH(int, bound);
        QFETCH(int, sent);
        QRandomGenerator random(uint(bound + sent));
        SampleStore store(bound);
        double walk = 0;
        for (int i = 0; i < sent; ++i) {
            walk += random.bounded(2.0) - 1 + (random.bounded(1000) == 0 ? 500 : 0);
            store.add(WireLine::read("W=" + QByteArray::number(walk, 'g', 17), i));
        }
        const SampleStore::Series &s = store.series()[0];
        QCOMPARE(qsizetype(s.samples.size()), qMin(bound, sent));
        const auto n = qsizetype(s.samples.size());
        for (int round = 0; round < 300; ++round) {
            qsizetype first = random.bounded(n);
            qsizetype last = round % 3 == 0 ? n : first + random.bounded(n - first) + 1;
            if (round == 0)
                first = 0;
            double lowest = qInf(), highest = -qInf();
            for (qsizetype i = first; i < last; ++i) {
                lowest = qMin(lowest, s.samples[size_t(i)].value);
                highest = qMax(highest, s.samples[size_t(i)].value);
            }
            const SampleSummary::Range range = s.extremes(first, last);
            QCOMPARE(range.lowest, lowest);
            QCOMPARE(range.highest, highest);
        }
        QVERIFY(s.extremes(5, 5).isEmpty());
    }

    // The pixel columns read from the summary against every sample read one by
    // one: noise with spikes, a pause, samples past the store's bound, at
    // several widths and device pixel ratios (runs of every level inside one
    // column, across an edge, or across the pause).
    void drawsEachPixelColumnAsItsSamplesAre_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<double>("devicePixelRatio");
        QTest::addColumn<int>("sent");
        QTest::addColumn<int>("bound");
        QTest::addRow("a narrow chart, ten samples a column") << 160 << 1.0 << 1'000 << 100'000;
        QTest::addRow("a wide chart, a hundred a column") << 1200 << 1.0 << 100'000 << 100'000;
        QTest::addRow("twice the device pixels") << 640 << 2.0 << 60'000 << 100'000;
        QTest::addRow("a fractional scale, the oldest dropped") << 500 << 1.5 << 70'000 << 50'001;
        QTest::addRow("thirty samples a column: no run fits twice") << 400 << 1.0 << 12'000 << 100'000;
    }
    void drawsEachPixelColumnAsItsSamplesAre()
    {
        QFETCH(int, width);
        QFETCH(double, devicePixelRatio);
        QFETCH(int, sent);
        QFETCH(int, bound);
        QRandomGenerator random(uint(width + sent));
        SampleStore store(bound);
        qint64 t = kStart;
        for (int i = 0; i < sent; ++i) {
            t += i == sent / 2 ? 5'000 : random.bounded(3); // a pause half-way, else 0 to 2 ms
            const double value = random.bounded(100.0) + (random.bounded(500) == 0 ? 1e3 : 0);
            store.add(WireLine::read("N=" + QByteArray::number(value, 'g', 17), t));
        }
        const SampleStore::Series &s = store.series()[0];
        const qint64 start = s.samples.front().msecs;
        const ChartGeometry g({start, t, 0, 1100}, QSize(width, 300), devicePixelRatio, kLabels);
        const auto n = qsizetype(s.samples.size());

        // Every sample read one by one into its own column.
        std::map<int, std::pair<double, double>> exact;
        for (const SampleStore::Sample &sample : s.samples) {
            auto [it, added] = exact.try_emplace(g.columnAt(sample.msecs), sample.value, sample.value);
            it->second = {std::min(it->second.first, sample.value),
                          std::max(it->second.second, sample.value)};
        }
        const auto hull = [](const auto &columns, int from, int to) {
            std::pair<double, double> range{qInf(), -qInf()};
            for (int c = from; c <= to; ++c)
                if (const auto it = columns.find(c); it != columns.end())
                    range = {std::min(range.first, it->second.first),
                             std::max(range.second, it->second.second)};
            return range;
        };
        std::map<int, std::pair<double, double>> drawn;
        int previous = std::numeric_limits<int>::min();
        for (const ChartGeometry::Column &c : g.columns(s, 0, n)) {
            QVERIFY(c.column > previous);
            previous = c.column;
            drawn[c.column] = {c.lowest, c.highest};
        }
        // A column draws only samples of its own or the next (a run may reach
        // over), and every column's lowest and highest are drawn there or in
        // the one before: a device pixel off at most, no peak lost.
        for (const auto &[column, range] : drawn) {
            const auto allowed = hull(exact, column, column + 1);
            QVERIFY2(range.first >= allowed.first && range.second <= allowed.second,
                     qPrintable(QString::number(column)));
        }
        for (const auto &[column, range] : exact) {
            const auto shown = hull(drawn, column - 1, column);
            QVERIFY2(shown.first <= range.first && shown.second >= range.second,
                     qPrintable(QString::number(column)));
        }
        QCOMPARE(g.columns(s, 0, n).front().first, s.samples.front().value);
        QCOMPARE(g.columns(s, 0, n).back().last, s.samples.back().value);
    }
};

QTEST_GUILESS_MAIN(TestSampleStore)
#include "tst_samplestore.moc"
