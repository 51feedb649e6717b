// Bringing the link up: the port initialisation, its failure steps and the response time-out.
#include "testsupport.h"

class TestIdentification : public QObject
{
    Q_OBJECT

private slots:
    void theFirstTickOpensAndAsksLaterOnesAskUntilTheTimeOut()
    {
        FormHarness h;
        h.port.calls.clear();
        h.form->Timer1_Timer();
        QCOMPARE(h.port.calls, (QStringList{"Settings 9600,n,8,1", "Handshaking 0", "Open", "DTR 0", "RTS 0",
                                            "RThreshold 1", "InputLen 1", "Output I?\r"}));
        QCOMPARE(h.status(), u"Searching for uc code..."_s);
        QCOMPARE(h.statusColor(), vbColor(VbColor::LightYellow));
        QCOMPARE(h.running(), u"Timer1 TimerCom"_s);
        const int first = h.form->TimerCom.remainingTime();
        QTest::qWait(120);
        h.form->Timer1_Timer();
        QVERIFY2(h.form->TimerCom.remainingTime() <= first - 100, "the time-out was restarted");
        QCOMPARE(h.port.calls.count(u"Open"_s), 1);
        QCOMPARE(h.port.writes, (QByteArrayList{"I?\r", "I?\r"}));
        h.form->TimerCom_Timer();
        QCOMPARE(h.status(), u"No response!"_s);
        QCOMPARE(h.statusColor(), vbColor(VbColor::LightRed));
        QCOMPARE(h.running(), u"Timer1"_s);
        QVERIFY(h.port.portOpen());
    }

    void aFailedStepLeavesWhatTheStepsBeforeDid_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("running");
        QTest::addColumn<bool>("open");
        const QString both = u"Timer1 TimerCom"_s;
        const QString error = u"COM Port comm-error! "_s;
        // clang-format off
        QTest::addRow("refused settings") << "Settings" << 8010 << error + "8010" << "Timer1" << false;
        QTest::addRow("no such port") << "Open" << 8002 << "Invalid Port Number!" << both << false;
        QTest::addRow("a port held elsewhere") << "Open" << 8005 << "Port already open!" << both << false;
        QTest::addRow("another open failure") << "Open" << 8020 << error + "8020" << both << false;
        QTest::addRow("DTR refused") << "DTR" << 8022 << error + "8022" << both << true;
        QTest::addRow("the query not written") << "Output" << 8021 << error + "8021" << both << true;
        // clang-format on
    }
    void aFailedStepLeavesWhatTheStepsBeforeDid()
    {
        QFETCH(QString, operation);
        QFETCH(int, number);
        FormHarness h;
        h.port.failures[operation] = number;
        h.form->Timer1_Timer();
        QTEST(h.status(), "caption");
        QCOMPARE(h.statusColor(), vbColor(VbColor::LightRed));
        QCOMPARE(h.c().lblStatus->toolTip(), u"injected %1"_s.arg(number)); // the system's words
        QTEST(h.running(), "running");
        QTEST(h.port.portOpen(), "open");
        QVERIFY(h.port.writes.isEmpty());
        h.form->Timer1_Timer(); // the next tick tries again
        QCOMPARE(h.status(), u"Searching for uc code..."_s);
        QVERIFY(h.c().lblStatus->toolTip().isEmpty());
        QCOMPARE(h.port.writes, QByteArrayList{"I?\r"});
    }

    // The time-out started at one tick falls due together with the second tick
    // after it: the tick runs first, so "No response!" stays until the next one.
    void noResponseStaysUntilTheFollowingTick()
    {
        FormHarness h;
        QCOMPARE(h.form->Timer1.timerType(), Qt::PreciseTimer);
        QCOMPARE(h.form->TimerCom.timerType(), Qt::PreciseTimer);
        QCOMPARE(h.form->TimerCom.interval(), 2 * h.form->Timer1.interval());
        h.form->Timer1.start(250); // the same schedule, ten times faster
        h.form->TimerCom.setInterval(500);
        QList<int> nextTickIn; // when each time-out falls due
        connect(&h.form->TimerCom, &QTimer::timeout, this,
                [&] { nextTickIn << h.form->Timer1.remainingTime(); });
        QTRY_VERIFY_WITH_TIMEOUT(nextTickIn.size() >= 2, 5000);
        for (int ms : std::as_const(nextTickIn))
            QVERIFY2(ms > 150, qPrintable(u"\"No response!\" shown for only %1 ms"_s.arg(ms)));
    }
};

QTEST_MAIN(TestIdentification)
#include "tst_identification.moc"
