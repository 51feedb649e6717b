// A recording opened as a user opens it: Ctrl+O, a file chosen, a trend
// window of its own with the recording's series; what is no recording is
// explained and no window stays; a file still being written is followed.
#include "trend/csvrowformat.h"
#include "windowharness.h"

#include "windows/trend/recordingview.h"
#include "windows/trend/trendchart.h"
#include "windows/trend/trendwindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>

using Window = WindowHarness<FakeSerialPort>;

namespace {

QWidget *windowTitled(const QString &title)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->windowTitle() == title && w->isVisible())
            return w;
    return nullptr;
}

QStringList legendOf(QWidget *trend)
{
    QStringList rows;
    const QAbstractItemModel *legend = trend->findChild<QAbstractItemView *>()->model();
    for (int row = 0; row < legend->rowCount(); ++row)
        rows << legend->index(row, 0).data().toString();
    return rows;
}

// One line a second from `from`; a line starting with ">" was sent.
QByteArray rowsOf(const QList<QByteArray> &lines, qint64 from)
{
    CsvRowFormat format;
    QByteArray rows;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const bool sent = lines[i].startsWith('>');
        rows += format.row(WireLine::read(sent ? lines[i].sliced(1) : lines[i], from + i * 1000), i * 1000,
                           sent ? CsvRowFormat::Direction::Sent : CsvRowFormat::Direction::Received);
    }
    return rows;
}

QString timeOf(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(u"HH:mm:ss.zzz"_s);
}

} // namespace

class TestRecordingView : public QObject
{
    Q_OBJECT

private slots:
    void ctrlOOpensARecordingAndFollowsIt()
    {
        Window h;
        h.window->show();
        QVERIFY(QTest::qWaitForWindowActive(h.window));
        const QString path = h.dir.filePath(u"night.csv"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        file.write(CsvRowFormat::header() +
                   rowsOf({"PV01=41.5", "SV01=40", "DUTY01", "PV01=42"}, 1796669980000));
        h.dialogs.openPaths << path;
        QTest::keyClick(h.window, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(h.dialogs.openRequests.size(), 1);
        QWidget *trend = nullptr;
        QTRY_VERIFY((trend = windowTitled(u"Trend: night.csv"_s)));
        QTRY_COMPARE(legendOf(trend), (QStringList{u"PV01"_s, u"SV01"_s}));

        file.write(rowsOf({"T_2=-3"}, 1796669990000)); // the recorder goes on writing
        QTRY_COMPARE_WITH_TIMEOUT(legendOf(trend), (QStringList{u"PV01"_s, u"SV01"_s, u"T_2"_s}), 5000);
        trend->close();
        QTRY_VERIFY(!windowTitled(u"Trend: night.csv"_s));
    }

    // The cursor reads, beside the values, the last line sent and received by
    // then, read again from the file with its bytes as recorded.
    void theCursorReadsTheWireAsWellAsTheValues()
    {
        Window h;
        const QString path = h.dir.filePath(u"night.csv"_s);
        QFile file(path);
        constexpr qint64 t0 = 1796669980000;
        const QList<QByteArray> lines{">I?",    "DUTY01", ">SV01=40", "SV01=40",   "PV01=1",
                                      "PV01=2", "PV01=3", ">SV01?",   "SV01=4\\0", "PV01=4"};
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(CsvRowFormat::header() + rowsOf(lines, t0));
        file.close();
        RecordingView *view = RecordingView::open(path, h.dialogs);
        QSignalSpy loaded(view, &RecordingView::loaded);
        QTRY_COMPARE(loaded.size(), 1);
        TrendWindow *trend = view->window();
        auto *chart = trend->findChild<TrendChart *>();
        QSignalSpy read(chart, &TrendChart::cursorRead);
        // The last line each way at the cursor's moment, one line a second.
        const auto lastBy = [&](qint64 at, char way) {
            QString said;
            for (qsizetype i = 0; i < lines.size() && t0 + i * 1000 <= at; ++i)
                if (lines[i].startsWith('>') == (way == '>'))
                    said = u"\"%1\" at %2"_s.arg(
                        QString::fromLatin1(lines[i]).remove(u'>').replace(u"\\"_s, u"\\x5C"_s),
                        timeOf(t0 + i * 1000));
            return said;
        };
        int checked = 0;
        for (const auto &[key, modifiers] : {std::pair{Qt::Key_Right, Qt::ShiftModifier},
                                             {Qt::Key_Left, Qt::ShiftModifier},
                                             {Qt::Key_Home, Qt::NoModifier},
                                             {Qt::Key_End, Qt::NoModifier}}) {
            QTest::keyClick(chart, key, modifiers);
            const QString readout = read.last()[0].toString();
            const QTime time = QTime::fromString(readout.mid(3, 12), u"HH:mm:ss.zzz"_s);
            const qint64 at = QDateTime(QDateTime::fromMSecsSinceEpoch(t0).date(), time).toMSecsSinceEpoch();
            QStringList wire;
            if (const QString sent = lastBy(at, '>'); !sent.isEmpty())
                wire << u"sent "_s + sent;
            if (const QString received = lastBy(at, ' '); !received.isEmpty())
                wire << u"received "_s + received;
            QVERIFY2(readout.endsWith(u"; "_s + wire.join(u", "_s)), qPrintable(readout));
            checked += wire.size();
        }
        QVERIFY(checked >= 6); // not only the start, where little has crossed yet
        delete trend;
    }

    // A file too large to load at once shows how far it is, and Cancel stops
    // there with what is loaded still shown.
    void cancelStopsALongLoadAndKeepsWhatIsLoaded()
    {
        Window h;
        const QString path = h.dir.filePath(u"week.csv"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(CsvRowFormat::header());
        QList<QByteArray> lines;
        for (int i = 0; i < 10'000; ++i)
            lines << "PV01=" + QByteArray::number(i % 100);
        for (int chunk = 0; chunk < 30; ++chunk)
            file.write(rowsOf(lines, 1796669980000 + chunk * 10'000'000LL));
        file.close();
        RecordingView *view = RecordingView::open(path, h.dialogs);
        QSignalSpy loaded(view, &RecordingView::loaded);
        TrendWindow *trend = view->window();
        QProgressBar *progress = nullptr;
        QPushButton *cancel = nullptr;
        for (QProgressBar *bar : trend->findChildren<QProgressBar *>())
            if (bar->accessibleName() == u"Loading progress"_s)
                progress = bar;
        QVERIFY(progress);
        QTRY_VERIFY(progress->isVisible());
        for (QPushButton *b : trend->findChildren<QPushButton *>())
            if (b->accessibleName() == u"Cancel loading"_s)
                cancel = b;
        QVERIFY(cancel && cancel->isVisible());
        // By keyboard: Shift+Tab from the first of the tools, then Space.
        trend->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(trend));
        QComboBox *span = trend->findChild<QComboBox *>();
        span->setFocus();
        QTest::keyClick(span, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), cancel);
        QTest::keyClick(cancel, Qt::Key_Space);
        QVERIFY(!progress->isVisible() && !cancel->isVisible());
        QCOMPARE(trend->windowTitle(), u"Trend: week.csv (partly loaded)"_s);
        QTest::qWait(100); // nothing more is read
        QCOMPARE(loaded.size(), 0);
        QCOMPARE(legendOf(trend), QStringList{u"PV01"_s});
        delete trend;
    }

    void aFileThatIsNoRecordingIsExplained()
    {
        Window h;
        const QString path = h.dir.filePath(u"notes.csv"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("name,value\r\nA,1\r\n") > 0);
        file.close();
        h.dialogs.openPaths << path;
        h.program->trend().askRecordingToOpen();
        QTRY_COMPARE(h.dialogs.titles(), QStringList{u"Recording not opened"_s});
        QVERIFY(h.dialogs.shown[0].text.startsWith(u"This is not a recording of pwm-panel"_s));
        QTRY_VERIFY(!windowTitled(u"Trend: notes.csv"_s));
    }
};

QTEST_MAIN(TestRecordingView)
#include "tst_recordingview.moc"
