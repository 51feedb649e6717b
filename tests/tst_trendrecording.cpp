// Recording and the trend window against the device simulator: Ctrl+R asks
// for a file; rows for commands and polled replies; Ctrl+T with the samples
// since start.
#include "devicesimulator.h"
#include "link/systemserialport.h"
#include "windowharness.h"

#include <QProcess>
#include <QRegularExpression>
#include <QToolTip>

using Panel = WindowHarness<SystemSerialPort>;

class TestTrendRecording : public QObject
{
    Q_OBJECT

private slots:
    void recordsWhatIsSentAndReceived()
    {
        Panel p(
            "1,\"9600\",\"-\",1,\"DUTY01\"\r\n\"PWM(%):\",\"Label2\",\"nc\",\"nc\"\r\n"_ba); // polls every
                                                                                             // second
        DeviceSimulator sim(p.dir.path(), {"--noise", "--duty", "40"});
        QVERIFY2(sim.isUp(), qPrintable(sim.whyNot()));
        p.window->show();
        QVERIFY(QTest::qWaitForWindowActive(p.window));
        p.tick(SessionTimer::Search);
        QTRY_COMPARE_WITH_TIMEOUT(p.status(), u"Found: DUTY01"_s, 10000);
        QTRY_COMPARE(p.w().dutyDisplay->text(), u"40"_s); // read back before recording

        // The status line's tooltip keeps its own words and adds the shortcuts.
        p.w().statusLabel->setToolTip(u"Permission denied"_s);
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), p.w().statusLabel->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(p.w().statusLabel, &help);
        QVERIFY2(QToolTip::text().startsWith(u"Permission denied\n"_s) &&
                     QToolTip::text().contains(u"Ctrl+R"_s),
                 qPrintable(QToolTip::text()));
        p.w().statusLabel->setToolTip({});

        const QString title = p.window->windowTitle();
        const QString path = p.dir.filePath(u"run.csv"_s);
        p.dialogs.savePaths = {path};
        QTest::keyClick(p.window, Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(p.dialogs.saveRequests.size(), 1);
        const SaveFileRequest asked = p.dialogs.saveRequests.first();
        QCOMPARE(QDir(asked.folder).absolutePath(), QDir(p.dir.path()).absolutePath());
        QVERIFY2(QRegularExpression(u"^pwm-panel-\\d{8}-\\d{6}\\.csv$"_s).match(asked.fileName).hasMatch(),
                 qPrintable(asked.fileName));
        QCOMPARE(p.window->windowTitle(), title + u" (recording)"_s);

        QTest::mouseClick(p.w().duty50Button, Qt::LeftButton);
        QTRY_COMPARE(p.w().dutyDisplay->text(), u"50"_s);
        QTRY_VERIFY_WITH_TIMEOUT(readFile(path).contains(",received,PV01="), 5000); // a poll's answer

        QTest::keyClick(p.window, Qt::Key_T, Qt::ControlModifier);
        QWidget *trend = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->windowTitle() == u"Trend: pwm-panel" && w->isVisible())
                trend = w;
        QVERIFY(trend);
        QStringList names; // as the legend lists them
        const QAbstractItemModel *legend = trend->findChild<QAbstractItemView *>()->model();
        for (int row = 0; row < legend->rowCount(); ++row)
            names << legend->index(row, 0).data().toString();
        QVERIFY2(names.contains(u"SV02"_s) && names.contains(u"PV01"_s), qPrintable(names.join(u',')));

        p.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(p.window));
        QTest::keyClick(p.window, Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(p.window->windowTitle(), title);

        const QList<QByteArray> rows = readFile(path).split('\n');
        QCOMPARE(rows.first(), "time,elapsed_s,direction,text,name,value\r"_ba);
        const QRegularExpression rowForm(u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:"
                                         u"\\d\\d,\\d+\\.\\d{3},(sent|received),"
                                         "[^,]*,[^,]*,[^,]*\r$"_s);
        QStringList texts; // direction, text, name and value of each row
        for (const QByteArray &row : rows.mid(1, rows.size() - 2)) {
            QVERIFY2(rowForm.match(QString::fromLatin1(row)).hasMatch(), row.constData());
            texts << QString::fromLatin1(row.mid(row.indexOf(',', row.indexOf(',') + 1) + 1).trimmed());
        }
        const qsizetype sent = texts.indexOf(u"sent,SV01=50,SV01,50"_s);
        QVERIFY(sent >= 0);
        QVERIFY(texts.indexOf(u"received,SV01=50,SV01,50"_s) > sent);
        QVERIFY(texts.indexOf(u"sent,PV1?,,"_s) > sent);
    }
};

QTEST_MAIN(TestTrendRecording)
#include "tst_trendrecording.moc"
