// The trend window's files: Save image and Export CSV through a scripted save
// dialog, what they write and the box when they cannot; the export streamed
// whole or cancelled; Ctrl+R's box when a
// recording cannot start; and the trend window's keyboard.
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

namespace {
constexpr qint64 kAny = std::numeric_limits<qint64>::max();
constexpr qint64 kOldest = std::numeric_limits<qint64>::min();
} // namespace

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
        ScriptedDialogs dialogs;
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
