// The chart in words: per shown series the latest, lowest and highest value
// of the span only, in the order shown, in the locale's notation.
#include "trend/chartdescription.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestChartDescription : public QObject
{
    Q_OBJECT

private slots:
    void saysEachShownSeriesInTheSpan_data()
    {
        // Samples as NAME=value@msecs; the span is 1000 to 2000, both included.
        QTest::addColumn<QString>("samples");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing shown") << u""_s << u"C"_s << u"No series shown."_s;
        QTest::newRow("only the span counts")
            << u"PV01=-9@999 PV01=4@1000 PV01=1@1200 PV01=7@1500 PV01=3@2000 PV01=99@2001"_s << u"C"_s
            << u"PV01: latest 3, lowest 1, highest 7."_s;
        QTest::newRow("a series with nothing in the span")
            << u"SV01=50@500 PV01=2@1100"_s << u"C"_s
            << u"SV01: no values in this span; PV01: latest 2, lowest 2, highest 2."_s;
        QTest::newRow("as the device sent it, in the locale")
            << u"PV01=0.1@1000 PV01=-2.5@1100"_s << u"de_DE"_s
            << u"PV01: latest -2,5, lowest -2,5, highest 0,1."_s;
    }

    void saysEachShownSeriesInTheSpan()
    {
        QFETCH(QString, samples);
        QFETCH(QString, locale);
        SampleStore store;
        for (const QString &sample : samples.split(u' ', Qt::SkipEmptyParts))
            store.add(
                WireLine::read(sample.section(u'@', 0, 0).toLatin1(), sample.section(u'@', 1).toLongLong()));
        std::vector<const SampleStore::Series *> shown;
        for (const SampleStore::Series &s : store.series())
            shown.push_back(&s);
        QTEST(describeChart(shown, 1000, 2000, QLocale(locale)), "expected");
    }
};

QTEST_GUILESS_MAIN(TestChartDescription)
#include "tst_chartdescription.moc"
