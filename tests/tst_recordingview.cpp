// A recording opened as a user opens it: Ctrl+O, a file chosen, a trend
// window of its own with the recording's series; what is no recording is
// explained and no window stays; a file still being written is followed.
#include "trend/csvrowformat.h"
#include "windowharness.h"

#include <QAbstractItemView>
#include <QApplication>

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

QByteArray rowsOf(const QList<QByteArray> &lines, qint64 from)
{
    CsvRowFormat format;
    QByteArray rows;
    for (qsizetype i = 0; i < lines.size(); ++i)
        rows += format.row(WireLine::read(lines[i], from + i * 1000), i * 1000,
                           CsvRowFormat::Direction::Received);
    return rows;
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
