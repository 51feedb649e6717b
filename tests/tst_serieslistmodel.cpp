// The legend's list over the sample store: rows follow the store, the check
// box says whether a series is shown, values are announced once per refresh,
// and a filter by name through a proxy.
#include "trend/samplestore.h"
#include "trend/serieslistmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QStringList names(const QAbstractItemModel &model)
{
    QStringList out;
    for (int row = 0; row < model.rowCount(); ++row)
        out << model.index(row, 0).data().toString();
    return out;
}
} // namespace

class TestSeriesListModel : public QObject
{
    Q_OBJECT

private slots:
    void rowsFollowTheStore()
    {
        SampleStore store;
        store.add(WireLine::read("PV01=3", 10));
        int decorated = 0;
        SeriesListModel model(store, [&](const QString &name) {
            ++decorated;
            return QVariant(name + u" swatch"_s);
        });
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(names(model), QStringList{u"PV01"_s}); // what the store held before

        store.add(WireLine::read("SV01=50", 20));
        store.add(WireLine::read("PV01=4", 30));
        QCOMPARE(names(model), (QStringList{u"PV01"_s, u"SV01"_s}));
        QCOMPARE(model.index(1, 0).data(Qt::DecorationRole).toString(), u"SV01 swatch"_s);
        model.index(1, 0).data(Qt::DecorationRole);
        QCOMPARE(decorated, 2); // once per row, not per paint

        store.clear();
        QCOMPARE(model.rowCount(), 0);
        store.add(WireLine::read("T=1", 40));
        QCOMPARE(names(model), QStringList{u"T"_s});
    }

    void theCheckBoxShowsAndHidesBeyondAClear()
    {
        SampleStore store;
        store.add(WireLine::read("PV01=3", 10));
        SeriesListModel model(store);
        QSignalSpy shown(&model, &SeriesListModel::shownChanged);
        const QModelIndex pv = model.index(0, 0);
        QVERIFY(model.flags(pv) & Qt::ItemIsUserCheckable);
        QVERIFY(model.flags(pv) & Qt::ItemIsSelectable); // a selected row brings its series to the front
        QCOMPARE(pv.data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);

        QVERIFY(model.setData(pv, Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(pv.data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
        QVERIFY(model.setData(pv, Qt::Unchecked, Qt::CheckStateRole)); // no change, no signal
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0], (QVariantList{u"PV01"_s, false}));

        // The chart keeps a hidden name hidden through a Clear; so does its box.
        store.clear();
        store.add(WireLine::read("PV01=5", 20));
        QCOMPARE(model.index(0, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
        QVERIFY(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1], (QVariantList{u"PV01"_s, true}));
    }

    void valuesRefreshWithOneSignalForAllRows()
    {
        SampleStore store;
        SeriesListModel model(store);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.refreshValues();
        QCOMPARE(changed.size(), 0); // nothing to refresh

        for (int i = 0; i < 3; ++i)
            store.add(WireLine::read("S" + QByteArray::number(i) + "=" + QByteArray::number(i), i));
        store.add(WireLine::read("S2=48.5", 5));
        QCOMPARE(changed.size(), 0); // samples alone say nothing
        model.refreshValues();
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed[0][0].toModelIndex(), model.index(0, 0));
        QCOMPARE(changed[0][1].toModelIndex(), model.index(2, 0));
        QCOMPARE(changed[0][2].value<QList<int>>(),
                 (QList<int>{SeriesListModel::LatestValueRole, Qt::AccessibleTextRole}));
        QCOMPARE(model.index(2, 0).data(SeriesListModel::LatestValueRole).toString(), u"48.5"_s);
        // A screen reader is told the value painted beside the name.
        QCOMPARE(model.index(2, 0).data(Qt::AccessibleTextRole).toString(), u"S2, latest 48.5"_s);
    }

    void filtersByNameThroughAProxy()
    {
        SampleStore store;
        SeriesListModel model(store);
        QSortFilterProxyModel filtered;
        filtered.setSourceModel(&model);
        filtered.setFilterCaseSensitivity(Qt::CaseInsensitive);
        for (const char *line : {"PV01=1", "SV01=2", "PV02=3"})
            store.add(WireLine::read(line, 1));
        filtered.setFilterFixedString(u"pv"_s);
        QCOMPARE(names(filtered), (QStringList{u"PV01"_s, u"PV02"_s}));
        store.add(WireLine::read("PV03=4", 2)); // a new row is filtered as it comes
        store.add(WireLine::read("T=4", 2));
        QCOMPARE(names(filtered), (QStringList{u"PV01"_s, u"PV02"_s, u"PV03"_s}));
        // Checking through the proxy reaches the source.
        QVERIFY(filtered.setData(filtered.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(!model.isShown(u"PV02"_s));
    }

    void showsTheValuesAsOfAHeldMoment_data()
    {
        // PV01 was 1, 2, 3 at 10, 20, 30 ms; SV01 came first at 25 ms with 7.
        QTest::addColumn<qint64>("asOf"); // -1: the latest
        QTest::addColumn<QString>("pv");
        QTest::addColumn<QString>("sv");
        QTest::addRow("following: the latest") << qint64(-1) << u"3"_s << u"7"_s;
        QTest::addRow("held on a sample: that one") << qint64(20) << u"2"_s << u""_s;
        QTest::addRow("held between samples: the one before") << qint64(27) << u"2"_s << u"7"_s;
        QTest::addRow("held before any sample: none yet") << qint64(5) << u""_s << u""_s;
        QTest::addRow("held after the last: the last") << qint64(99) << u"3"_s << u"7"_s;
    }
    void showsTheValuesAsOfAHeldMoment()
    {
        QFETCH(qint64, asOf);
        QFETCH(QString, pv);
        QFETCH(QString, sv);
        SampleStore store;
        for (const auto &[line, at] :
             {std::pair{"PV01=1", 10}, {"PV01=2", 20}, {"SV01=7", 25}, {"PV01=3", 30}})
            store.add(WireLine::read(line, at));
        SeriesListModel model(store);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.setAsOf(asOf < 0 ? std::nullopt : std::optional(asOf));
        // The legend is told, so it paints the values again.
        QCOMPARE(changed.size(), asOf < 0 ? 0 : 1);
        QCOMPARE(model.index(0, 0).data(SeriesListModel::LatestValueRole).toString(), pv);
        QCOMPARE(model.index(1, 0).data(SeriesListModel::LatestValueRole).toString(), sv);
        // Samples arriving later change nothing held.
        store.add(WireLine::read("PV01=4", 1'000));
        QCOMPARE(model.index(0, 0).data(SeriesListModel::LatestValueRole).toString(), asOf < 0 ? u"4"_s : pv);
    }
};

QTEST_GUILESS_MAIN(TestSeriesListModel)
#include "tst_serieslistmodel.moc"
