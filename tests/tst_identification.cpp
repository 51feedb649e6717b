// Bringing the link up: the port initialisation, its failure steps and the response time-out.
#include "app/vbcolor.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QtTest>

class TestIdentification : public QObject
{
    Q_OBJECT

private slots:
    void firstTickConfiguresOpensAndAsks()
    {
        FormHarness h;
        h.port.clearCalls();
        h.form->Timer1_Timer();
        const QStringList expected = {"Settings 9600,n,8,1", "Handshaking 0", "Open",       "DTR 0", "RTS 0",
                                      "RThreshold 1",        "InputLen 1",    "Output I?\r"};
        QCOMPARE(h.port.calls(), expected);
        QCOMPARE(h.port.written(), QByteArrayLiteral("I?\r"));
        QVERIFY(!h.port.dtr());
        QVERIFY(!h.port.rts());
        QCOMPARE(h.status(), QStringLiteral("Searching for uc code..."));
        QCOMPARE(h.statusColor(), vbColor(VbColor::LightYellow));
        QVERIFY(h.form->TimerCom.isActive());
        QVERIFY(h.form->Timer1.isActive());
    }

    void laterTicksKeepThePortOpenAndAskAgain()
    {
        FormHarness h;
        h.form->Timer1_Timer();
        h.port.clearCalls();
        h.form->Timer1_Timer();
        h.form->Timer1_Timer();
        QCOMPARE(h.port.openCount(), 1);
        QVERIFY(!h.port.calls().contains(QStringLiteral("Open")));
        QCOMPARE(h.port.calls().count(QStringLiteral("Settings 9600,n,8,1")), 2);
        QCOMPARE(h.port.calls().count(QStringLiteral("DTR 0")), 2);
        QCOMPARE(h.port.written(), QByteArrayLiteral("I?\rI?\rI?\r"));
    }

    void failureStepsLeaveWhatTheStepsBeforeDid_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("timeoutRunning");
        QTest::addColumn<bool>("open");
        QTest::addColumn<bool>("queried");
        QTest::addRow("refused settings stop before the time-out")
            << "Settings" << 8010 << "COM Port comm-error! 8010" << false << false << false;
        QTest::addRow("refused handshaking stops before the time-out")
            << "Handshaking" << 8010 << "COM Port comm-error! 8010" << false << false << false;
        QTest::addRow("a port that names no device")
            << "Open" << 8002 << "Invalid Port Number!" << true << false << false;
        QTest::addRow("a port that another program holds")
            << "Open" << 8005 << "Port already open!" << true << false << false;
        QTest::addRow("any other open failure shows its number")
            << "Open" << 8020 << "COM Port comm-error! 8020" << true << false << false;
        QTest::addRow("a negative number keeps its sign")
            << "Open" << -5 << "COM Port comm-error! -5" << true << false << false;
        QTest::addRow("DTR refused after the open")
            << "DTR" << 8022 << "COM Port comm-error! 8022" << true << true << false;
        QTest::addRow("the query cannot be written")
            << "Output" << 8021 << "COM Port comm-error! 8021" << true << true << false;
    }
    void failureStepsLeaveWhatTheStepsBeforeDid()
    {
        QFETCH(QString, operation);
        QFETCH(int, number);
        QFETCH(QString, caption);
        QFETCH(bool, timeoutRunning);
        QFETCH(bool, open);
        QFETCH(bool, queried);
        FormHarness h;
        h.port.failNext(operation, number, QStringLiteral("Permission denied"));
        h.form->Timer1_Timer();
        QCOMPARE(h.status(), caption);
        QCOMPARE(h.statusColor(), vbColor(VbColor::LightRed));
        QCOMPARE(h.c().lblStatus->toolTip(), QStringLiteral("Permission denied"));
        QCOMPARE(h.form->TimerCom.isActive(), timeoutRunning);
        QCOMPARE(h.port.portOpen(), open);
        QCOMPARE(h.port.written().contains("I?"), queried);
        QVERIFY(h.form->Timer1.isActive()); // the next tick tries again

        h.form->Timer1_Timer();
        QCOMPARE(h.status(), QStringLiteral("Searching for uc code..."));
        QVERIFY(h.c().lblStatus->toolTip().isEmpty());
        QCOMPARE(h.port.written(), QByteArrayLiteral("I?\r"));
        if (timeoutRunning) {
            h.form->TimerCom_Timer(); // the error text gives way to the time-out
            QCOMPARE(h.status(), QStringLiteral("No response!"));
        }
    }

    void timeOutShowsNoResponseAndChangesNothingElse()
    {
        FormHarness h;
        h.form->Timer1_Timer();
        h.form->TimerCom_Timer();
        QCOMPARE(h.status(), QStringLiteral("No response!"));
        QCOMPARE(h.statusColor(), vbColor(VbColor::LightRed));
        QVERIFY(!h.form->TimerCom.isActive());
        QVERIFY(h.form->Timer1.isActive());
        QVERIFY(h.port.portOpen());
    }

    void aRunningTimeOutIsNotRestartedByTheNextTick()
    {
        FormHarness h;
        h.form->Timer1_Timer();
        const int first = h.form->TimerCom.remainingTime();
        QTest::qWait(120);
        h.form->Timer1_Timer();
        QVERIFY2(h.form->TimerCom.remainingTime() <= first - 100,
                 qPrintable(QStringLiteral("%1 then %2").arg(first).arg(h.form->TimerCom.remainingTime())));
    }

    void anotherReplyStopsTheTimeOutButNotTheRetries()
    {
        FormHarness h;
        h.form->Timer1_Timer();
        h.port.simulateArrival("HELLO\r");
        QVERIFY(!h.form->TimerCom.isActive());
        QVERIFY(h.form->Timer1.isActive());
        QCOMPARE(h.statusColor(), vbColor(VbColor::LightGreen));
        h.form->Timer1_Timer();
        QCOMPARE(h.port.written(), QByteArrayLiteral("I?\rI?\r"));
    }

    void theExpectedCodeEndsTheRetries()
    {
        FormHarness h;
        h.identify();
        QVERIFY(!h.form->Timer1.isActive());
        QVERIFY(!h.form->TimerCom.isActive());
        QCOMPARE(h.status(), QStringLiteral("Found: DUTY01"));
    }

    // The time-out started at one tick falls due together with the second tick
    // after it: the tick must run first, so "No response!" stays until the next tick.
    void noResponseStaysUntilTheFollowingTick()
    {
        FormHarness h;
        QCOMPARE(h.form->Timer1.timerType(), Qt::PreciseTimer);
        QCOMPARE(h.form->TimerCom.timerType(), Qt::PreciseTimer);
        // The same schedule, ten times faster.
        h.form->Timer1.setInterval(250);
        h.form->TimerCom.setInterval(500);
        h.form->Timer1.stop();
        QElapsedTimer clock;
        struct Event
        {
            char what;
            qint64 at;
        };
        QList<Event> events;
        connect(&h.form->Timer1, &QTimer::timeout, this, [&] { events.append({'T', clock.elapsed()}); });
        connect(&h.form->TimerCom, &QTimer::timeout, this, [&] { events.append({'C', clock.elapsed()}); });
        clock.start();
        h.form->Timer1.setEnabled(true);
        QTRY_VERIFY_WITH_TIMEOUT(events.size() >= 8, 5000);
        int timeouts = 0;
        for (qsizetype i = 0; i + 1 < events.size(); ++i) {
            if (events[i].what != 'C')
                continue;
            ++timeouts;
            QCOMPARE(events[i + 1].what, 'T');
            QVERIFY2(events[i + 1].at - events[i].at > 150,
                     qPrintable(QStringLiteral("\"No response!\" shown for only %1 ms")
                                    .arg(events[i + 1].at - events[i].at)));
        }
        QVERIFY(timeouts >= 1);
    }
};

QTEST_MAIN(TestIdentification)
#include "tst_identification.moc"
