// The sample store: which lines are samples and how their numbers read,
// series by name, the bound on each series and on the number of series.
#include "trend/samplestore.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class TestSampleStore : public QObject
{
    Q_OBJECT

private slots:
    // The number is read as the duty display reads it; but where the display
    // shows 0 for a line without a number ("SV01=abc"), the store keeps no
    // sample: a 0 would plot a value the device never sent.
    void keepsASampleOnlyForALineThatCarriesANumber_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("name"); // empty: no sample
        QTest::addColumn<double>("value");
        // clang-format off
        QTest::addRow("a duty reply") << "SV01=50"_ba << u"SV01"_s << 50.0;
        QTest::addRow("a process value with decimals") << "PV1=48.5"_ba << u"PV1"_s << 48.5;
        QTest::addRow("blanks inside the number are skipped") << "PV01= 4 8.5"_ba << u"PV01"_s << 48.5;
        QTest::addRow("a 16-bit hex register is signed") << "PV01=&HFFFF"_ba << u"PV01"_s << -1.0;
        QTest::addRow("a D exponent") << "SV01=1.5D2"_ba << u"SV01"_s << 150.0;
        QTest::addRow("single precision, as the duty display") << "PV1=0.1"_ba << u"PV1"_s << double(0.1f);
        QTest::addRow("text after the number is ignored") << "PV1=48.5 %"_ba << u"PV1"_s << 48.5;
        QTest::addRow("a zero is a sample") << "SV02=-0.0"_ba << u"SV02"_s << 0.0;
        QTest::addRow("any other name gets a series") << "Temp_2=-.25"_ba << u"Temp_2"_s << -0.25;
        QTest::addRow("the device code is no sample") << "DUTY01"_ba << QString() << 0.0;
        QTest::addRow("nothing after the equals sign") << "SV01="_ba << QString() << 0.0;
        QTest::addRow("a word after the equals sign") << "SV01=abc"_ba << QString() << 0.0;
        QTest::addRow("a sign alone") << "SV01=-"_ba << QString() << 0.0;
        QTest::addRow("hex without digits") << "PV01=&H"_ba << QString() << 0.0;
        QTest::addRow("a name with a blank") << "SV 01=5"_ba << QString() << 0.0;
        QTest::addRow("a name starting with a digit") << "1A=5"_ba << QString() << 0.0;
        QTest::addRow("an overflow cannot be plotted") << "PV1=1E999"_ba << QString() << 0.0;
        // clang-format on
    }
    void keepsASampleOnlyForALineThatCarriesANumber()
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
};

QTEST_GUILESS_MAIN(TestSampleStore)
#include "tst_samplestore.moc"
