// After identification: the two read-back queries, then the sample polls.
#include "app/vbcolor.h"
#include "testsupport.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QtTest>

namespace {

QByteArray iniWithSampleTime(int sTime)
{
    return "1,\"9600\",\"-\"," + QByteArray::number(sTime) + ",\"DUTY01\"\r\n\"PWM(%):\",\"Label2\",\"nc\",\"nc\"\r\n";
}

// Identifies, then stops the real timers: the tests drive the ticks by hand.
// Returns whether identification started the sample timer.
bool identifyAndTakeOverTimers(FormHarness &h)
{
    h.identify();
    const bool sampling = h.form->StTimer.isActive();
    h.form->Timer2.stop();
    h.form->StTimer.stop();
    h.port.clearWritten();
    return sampling;
}

} // namespace

class TestPolling : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    void queryStepsRunOncePerIdentification()
    {
        FormHarness h;
        QVERIFY(!h.c().frmTemp1->isEnabled());
        for (int identification = 1; identification <= 2; ++identification) {
            h.identify();
            QVERIFY(h.form->Timer2.isActive());
            h.port.clearWritten();

            h.form->Timer2_Timer();
            QVERIFY(h.c().frmTemp1->isEnabled());
            QCOMPARE(h.port.writes(), QList<QByteArray>{"SV01?\r"});
            QCOMPARE(h.form->QueryStep, 1);
            QVERIFY(h.form->Timer2.isActive());

            h.form->Timer2_Timer();
            QCOMPARE(h.port.writes(), (QList<QByteArray>{"SV01?\r", "SV02?\r"}));
            QVERIFY(!h.form->Timer2.isActive());
            QCOMPARE(h.form->QueryStep, 0);
            QVERIFY(h.form->isEnabled()); // the query sequence disables nothing
            QVERIFY(!h.form->StTimer.isActive()); // STime 0: no polling follows
        }
    }

    void pollScheduleFollowsTheSampleTime_data()
    {
        QTest::addColumn<int>("sTime");
        QTest::addColumn<QList<int>>("captions"); // the count each tick shows
        QTest::addColumn<QList<int>>("pollTicks");
        QTest::addRow("STime 0 never starts the sample timer") << 0 << QList<int>{} << QList<int>{};
        QTest::addRow("a negative STime never starts it either") << -5 << QList<int>{} << QList<int>{};
        QTest::addRow("STime 1 alternates 0 and 1 and polls every second tick")
            << 1 << QList<int>{0, 1, 0, 1, 0, 1} << QList<int>{2, 4, 6};
        QTest::addRow("STime 3 polls at the second tick and then every fourth")
            << 3 << QList<int>{2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0} << QList<int>{2, 6, 10};
    }
    void pollScheduleFollowsTheSampleTime()
    {
        QFETCH(int, sTime);
        QFETCH(QList<int>, captions);
        QFETCH(QList<int>, pollTicks);
        FormHarness h(iniWithSampleTime(sTime));
        QCOMPARE(identifyAndTakeOverTimers(h), sTime > 0);
        const QString pending = h.form->PendingCommand;

        QList<int> seenCaptions;
        QList<int> seenPolls;
        for (int tick = 1; tick <= captions.size(); ++tick) {
            const qsizetype before = h.port.writes().size();
            h.form->StTimer_Timer();
            const QString prefix = QStringLiteral("STime:%1 STimer:").arg(sTime);
            QVERIFY2(h.status().startsWith(prefix), qPrintable(h.status()));
            seenCaptions.append(h.status().mid(prefix.size()).toInt());
            if (h.port.writes().size() > before) {
                QCOMPARE(h.port.writes().mid(before), QList<QByteArray>{"PV01?\r"});
                seenPolls.append(tick);
            }
            QVERIFY(h.form->isEnabled());
        }
        QCOMPARE(seenCaptions, captions);
        QCOMPARE(seenPolls, pollTicks);
        QCOMPARE(h.statusColor(), vbColor(VbColor::Green)); // the caption changes, the colour does not
        QCOMPARE(h.form->PendingCommand, pending);          // the poll bypasses the command channel
        if (sTime <= 0)
            QVERIFY(h.port.writes().isEmpty());
    }

    void windowIsDisabledWhileThePollGoesOut()
    {
        FormHarness h(iniWithSampleTime(1));
        identifyAndTakeOverTimers(h);
        h.form->StTimer_Timer(); // count reaches STime: no poll yet
        // Runs inside the poll's pacing delay, after its write.
        bool sawDisabled = false;
        QByteArray writtenThen;
        QTimer::singleShot(0, h.form.get(), [&] {
            sawDisabled = !h.form->isEnabled();
            writtenThen = h.port.written();
        });
        h.form->StTimer_Timer();
        QVERIFY(sawDisabled);
        QCOMPARE(writtenThen, QByteArray("PV01?\r"));
        QVERIFY(h.form->isEnabled());
    }

    void typingInTheDutyBoxKeepsItsFocusAcrossAPoll()
    {
        FormHarness h(iniWithSampleTime(1));
        identifyAndTakeOverTimers(h);
        h.form->Timer2_Timer(); // unlocks the panel
        h.form->show();
        h.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        h.c().txtSV01->setFocus();
        QTRY_VERIFY(h.c().txtSV01->hasFocus());
        h.form->StTimer_Timer();
        h.form->StTimer_Timer(); // polls
        QVERIFY(h.port.written().contains("PV01?\r"));
        QVERIFY(h.c().txtSV01->hasFocus());
    }

    void topSampleTimeSaturatesAndNeverPolls()
    {
        FormHarness h(iniWithSampleTime(32767));
        identifyAndTakeOverTimers(h);
        QCOMPARE(h.form->SampleTickCount, 32766);
        for (int tick = 0; tick < 4; ++tick)
            h.form->StTimer_Timer();
        QCOMPARE(h.form->SampleTickCount, 32767);
        QCOMPARE(h.status(), QStringLiteral("STime:32767 STimer:32767"));
        QVERIFY(h.port.writes().isEmpty());
    }

    void failedPollIsShownAndPollingGoesOn_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("caption");
        QTest::addRow("a closed port shows its number") << 8018 << "COM Port comm-error! 8018";
        QTest::addRow("a failed write shows its number") << 8021 << "COM Port comm-error! 8021";
        QTest::addRow("8002 reads as an invalid port") << 8002 << "Invalid Port Number!";
        QTest::addRow("8005 reads as a port already open") << 8005 << "Port already open!";
    }
    void failedPollIsShownAndPollingGoesOn()
    {
        QFETCH(int, number);
        QFETCH(QString, caption);
        FormHarness h(iniWithSampleTime(1));
        identifyAndTakeOverTimers(h);
        h.port.failAlways(QStringLiteral("Output"), number);
        h.form->StTimer_Timer();
        h.form->StTimer_Timer(); // due: the write fails
        QCOMPARE(h.status(), caption);
        QCOMPARE(h.statusColor(), vbColor(VbColor::LightRed));
        QVERIFY(h.form->isEnabled());
        QVERIFY(h.boxes.shown.isEmpty()); // no no-response dialog for a poll
        QCOMPARE(h.form->SampleTickCount, 0);

        h.port.clearFailures();
        h.form->StTimer_Timer();
        QCOMPARE(h.status(), QStringLiteral("STime:1 STimer:0"));
        QVERIFY(h.port.writes().isEmpty());
        h.form->StTimer_Timer();
        QCOMPARE(h.port.writes(), QList<QByteArray>{"PV01?\r"});
    }
};

QTEST_MAIN(TestPolling)
#include "tst_polling.moc"
