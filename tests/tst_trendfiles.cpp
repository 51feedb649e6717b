// The trend window's files: Save image and Export CSV through a scripted save
// dialog, what they write and the box when they cannot; the export streamed
// whole or cancelled; Ctrl+R's box when a
// recording cannot start; Tab through the trend window; its legend.
#include "trend/csvrowformat.h"
#include "trend/sampleexport.h"
#include "trend/samplestore.h"
#include "windowharness.h"
#include "windows/trend/trendchart.h"
#include "windows/trend/trendwindow.h"

#include <QApplication>
#include <QDateTime>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>

#include <sys/stat.h>

class TestTrendFiles : public QObject
{
    Q_OBJECT

private slots:
    void savesOrSaysWhyNot_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("target"); // a FIFO, a missing folder or a new file
        QTest::addColumn<QString>("box");    // its text; empty: none
        QTest::addRow("Export CSV onto a FIFO")
            << u"Export CSV…"_s << u"fifo"_s
            << u"The samples could not be written to %1: it is a device, a FIFO "
               "or a socket, not a file."_s;
        QTest::addRow("Save image onto a FIFO")
            << u"Save image…"_s << u"fifo"_s
            << u"The image could not be saved to %1: it is a device, a FIFO or "
               "a socket, not a file."_s;
        QTest::addRow("Export CSV into a missing folder: the system's reason")
            << u"Export CSV…"_s << u"gone/out"_s
            << u"The samples could not be written to %1: No such file or directory."_s;
        QTest::addRow("Export CSV") << u"Export CSV…"_s << u"out.csv"_s << QString();
        QTest::addRow("Save image") << u"Save image…"_s << u"out.png"_s << QString();
    }
    void savesOrSaysWhyNot()
    {
        QFETCH(QString, button);
        QFETCH(QString, target);
        QFETCH(QString, box);
        QTemporaryDir dir;
        const QString path = dir.filePath(target);
        if (target == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        SampleStore store;
        store.add(WireLine::read("PV1=48.5", wireClockMSecs()));
        ScriptedDialogs dialogs;
        dialogs.savePaths << path;
        TrendWindow window(store, dialogs, u"PUMP1"_s, dir.path());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (QPushButton *b : window.findChildren<QPushButton *>())
            if (b->text() == button)
                b->click();
        QCOMPARE(dialogs.saveRequests.size(), 1);

        if (!box.isEmpty()) {
            QCOMPARE(dialogs.shown.size(), 1);
            QCOMPARE(dialogs.shown[0].text, box.arg(path));
            return;
        }
        QCOMPARE(dialogs.shown.size(), 0);
        if (target.endsWith(u".csv")) {
            QTRY_VERIFY(QFile::exists(path)); // written by a thread of its own
            QFile csv(path);
            QVERIFY(csv.open(QIODevice::ReadOnly));
            QVERIFY(csv.readAll().endsWith(",received,PV1=48.5,PV1,48.5\r\n"));
        } else {
            // The legend beside the chart, and the readout under it, are in the picture too.
            const QImage image(path);
            QVERIFY(image.width() > window.findChild<TrendChart *>()->width());
            QVERIFY(image.height() > window.findChild<TrendChart *>()->height());
            QVERIFY(image.height() < window.height());
        }
    }

    // Export CSV in slices while the store goes on changing: the rows are the
    // samples held when it began, in time order; a Cancel midway leaves the
    // old file and no temporary one.
    void exportsTheSamplesHeldOrOnCancelLeavesTheOldFile_data()
    {
        QTest::addColumn<bool>("cancelled");
        QTest::addRow("the whole run") << false;
        QTest::addRow("cancelled midway") << true;
    }
    void exportsTheSamplesHeldOrOnCancelLeavesTheOldFile()
    {
        QFETCH(bool, cancelled);
        SampleStore store(200'000);
        const qint64 t0 = wireClockMSecs();
        for (int i = 0; i < 100'000; ++i)
            for (const char *name : {"A", "B", "C"})
                store.add(WireLine::read(name + ("=" + QByteArray::number(i % 977)), t0 + i / 7));
        QTemporaryDir dir;
        const QString path = dir.filePath(u"out.csv"_s);
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old\n");
        }
        SampleExport exporter(store);
        QSignalSpy finished(&exporter, &SampleExport::finished);
        int slices = 0;
        connect(&exporter, &SampleExport::progressed, this, [&](qint64 made, qint64 held) {
            QCOMPARE(held, 300'000);
            ++slices;
            // The device goes on: new samples are not this export's.
            store.add(WireLine::read("A=-1", t0 + 100'000));
            if (cancelled && made < held)
                exporter.cancel();
        });
        QCOMPARE(exporter.start(path), QString());
        QVERIFY(exporter.isRunning());
        QVERIFY(finished.wait(20'000));
        QCOMPARE(finished[0][0].value<SampleExport::Outcome>(),
                 cancelled ? SampleExport::Outcome::Cancelled : SampleExport::Outcome::Written);
        QVERIFY(slices > 0);
        QTRY_COMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"out.csv"_s});
        QFile csv(path);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        if (cancelled) {
            QCOMPARE(csv.readAll(), "old\n"_ba);
            return;
        }
        QCOMPARE(csv.readLine(), CsvRowFormat::header());
        qint64 rows = 0;
        double lastElapsed = -1;
        while (!csv.atEnd()) {
            const QList<QByteArray> fields = csv.readLine().split(',');
            QCOMPARE(fields.size(), 6);
            const double elapsed = fields[1].toDouble();
            QVERIFY(elapsed >= lastElapsed);
            lastElapsed = elapsed;
            QVERIFY(fields[5].trimmed() != "-1");
            ++rows;
        }
        QCOMPARE(rows, 300'000);
    }

    void ctrlRSaysWhyNothingIsRecorded_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reason");
        QTest::addRow("a FIFO, which would block the window")
            << u"fifo"_s << u"it is a device, a FIFO or a socket, not a file"_s;
        QTest::addRow("a missing folder") << u"gone/run.csv"_s << u"No such file or directory"_s;
    }
    void ctrlRSaysWhyNothingIsRecorded()
    {
        QFETCH(QString, target);
        QFETCH(QString, reason);
        WindowHarness<FakeSerialPort> p;
        const QString path = p.dir.filePath(target);
        if (target == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        p.window->show();
        QVERIFY(QTest::qWaitForWindowActive(p.window));
        const QString title = p.window->windowTitle();
        p.dialogs.savePaths = {path};
        QTest::keyClick(p.window, Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(p.dialogs.titles(), QStringList{u"Not recording"_s});
        QCOMPARE(p.dialogs.shown[0].text, u"Recording to %1 could not start: %2."_s.arg(path, reason));
        QCOMPARE(p.window->windowTitle(), title);
        QVERIFY(!p.program->recorder().isRecording());
    }

    void tabReachesEachControlAsTheEyeReadsAndSpaceTogglesASeries()
    {
        SampleStore store;
        store.add(WireLine::read("PV1=1", wireClockMSecs()));
        store.add(WireLine::read("SV01=2", wireClockMSecs()));
        ScriptedDialogs dialogs;
        TrendWindow window(store, dialogs, u"PUMP1"_s, QDir::tempPath());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QStringList reached;
        for (int i = 0; i < 11; ++i) { // and round to the first again
            QWidget *focus = QApplication::focusWidget();
            QVERIFY(focus);
            reached << focus->accessibleName();
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QCOMPARE(reached, (QStringList{u"Span"_s, u"View"_s, u"Pause"_s, u"Clear"_s, u"Save image"_s,
                                       u"Export CSV"_s, u"Trend chart"_s, u"Lowest value"_s,
                                       u"Highest value"_s, u"Series shown"_s, u"Span"_s}));

        QWidget *legend = window.findChild<QListView *>();
        legend->setFocus(Qt::TabFocusReason);
        QTest::keyClick(legend, Qt::Key_Down);
        QTest::keyClick(legend, Qt::Key_Space);
        QVERIFY(window.findChild<TrendChart *>()->isSeriesShown(u"PV1"_s));
        QVERIFY(!window.findChild<TrendChart *>()->isSeriesShown(u"SV01"_s));
        QTest::keyClick(legend, Qt::Key_Space);
        QVERIFY(window.findChild<TrendChart *>()->isSeriesShown(u"SV01"_s));
    }

    void legendKeepsItsValuesInViewAndClearTakesTheNotices()
    {
        SampleStore store;
        const auto arrive = [&](int from, int to) { // names A0, B1 ..., J9 as long as a name can be
            for (int i = from; i <= to; ++i)
                store.add(WireLine::read(QByteArray(i == 9 ? 31 : 1, char('A' + i % 26)) +
                                             QByteArray::number(i) + "=1.5",
                                         wireClockMSecs()));
        };
        arrive(0, 8);
        ScriptedDialogs dialogs;
        TrendWindow window(store, dialogs, u"PUMP1"_s, QDir::tempPath());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *legend = window.findChild<QListView *>();
        // A long name arrives among many (the list sizes its rows by the last).
        arrive(9, 9);
        QApplication::processEvents(); // the list lays out its rows
        // Every row as wide as the list: the value column at its right edge.
        QCOMPARE(legend->horizontalScrollBar()->maximum(), 0);
        const QString name = QString(31, u'J') + u'9'; // as long as a name can be
        const QModelIndex longName =
            legend->model()->match(legend->model()->index(0, 0), Qt::DisplayRole, name).value(0);
        QVERIFY(longName.isValid());
        QVERIFY(legend->visualRect(longName).right() < legend->viewport()->width());
        QCOMPARE(longName.data(Qt::ToolTipRole).toString(), u"Show or hide %1"_s.arg(name));

        const auto refusedNoticeShown = [&] {
            for (QLabel *label : window.findChildren<QLabel *>())
                if (label->text().startsWith(u"Only the first 64 names"_s))
                    return label->isVisible();
            return false;
        };
        QVERIFY(!refusedNoticeShown());
        arrive(10, SampleStore::kMaxSeries); // one name more than the store keeps
        QVERIFY(refusedNoticeShown());
        for (QPushButton *b : window.findChildren<QPushButton *>())
            if (b->accessibleName() == u"Clear")
                b->click();
        QVERIFY(!refusedNoticeShown());
        // Said again when it happens again.
        for (int i = 0; i <= SampleStore::kMaxSeries; ++i)
            store.add(WireLine::read("N" + QByteArray::number(i) + "=1", wireClockMSecs()));
        QVERIFY(refusedNoticeShown());
    }
};

QTEST_MAIN(TestTrendFiles)
#include "tst_trendfiles.moc"
