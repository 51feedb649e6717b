// The trend window's files: Save image and Export CSV through a scripted save
// dialog, what they write and the box when they cannot.
#include "app/trendchart.h"
#include "app/trendwindow.h"
#include "trend/samplestore.h"
#include "windowharness.h"

#include <QImage>

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
            QFile csv(path);
            QVERIFY(csv.open(QIODevice::ReadOnly));
            QVERIFY(csv.readAll().endsWith(",received,PV1=48.5,PV1,48.5\r\n"));
        } else {
            // The legend beside the chart is in the picture too.
            const QImage image(path);
            QVERIFY(image.width() > window.chart()->width());
            QCOMPARE(image.height(), window.chart()->height());
        }
    }
};

QTEST_MAIN(TestTrendFiles)
#include "tst_trendfiles.moc"
