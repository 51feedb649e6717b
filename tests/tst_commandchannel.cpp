// The send pattern, the pacing delay and the no-response dialog.
#include "app/msgbox.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QTimer>
#include <QtTest>

class TestCommandChannel : public QObject
{
    Q_OBJECT

private slots:
    void aSendWritesTheTextAndACarriageReturnAndReturnsAtOnce()
    {
        FormHarness h;
        h.form->Timer1_Timer();
        h.port.clearWritten();
        h.form->PendingCommand = QStringLiteral("SV02=3");
        QElapsedTimer clock;
        clock.start();
        h.form->cmdUPort_Click();
        QVERIFY(clock.elapsed() < 20);
        QCOMPARE(h.port.writes(), QList<QByteArray>{QByteArray("\x53\x56\x30\x32\x3D\x33\x0D")});
        QCOMPARE(h.form->PendingCommand, QStringLiteral("SV02=3"));
        QVERIFY(h.boxes.shown.isEmpty());
    }

    void thePacingDelayWaitsAndRunsEvents()
    {
        FormHarness h;
        int ran = 0;
        QTimer::singleShot(0, &h.port, [&] { ++ran; });
        QElapsedTimer clock;
        clock.start();
        h.form->cmdKasnjenje_Click();
        QVERIFY(clock.elapsed() >= 50);
        QVERIFY(clock.elapsed() < 500);
        QCOMPARE(ran, 1);
    }

    void aFailedSendAsksAndYesRestartsTheCycle()
    {
        FormHarness h("1,\"9600\",\"-\",2,\"DUTY01\"\r\n\"a\",\"b\",\"c\",\"d\"\r\n");
        h.identify();
        QVERIFY(h.form->StTimer.isActive());
        QVERIFY(h.form->Timer2.isActive());
        h.form->setEnabled(false); // as during a poll
        h.port.failNext(QStringLiteral("Output"), 8021, QStringLiteral("Input/output error"));
        h.port.clearCalls();
        h.boxes.answers = {MsgBoxResult::Yes};
        h.form->PendingCommand = QStringLiteral("SV01=50");
        h.form->cmdUPort_Click();

        QCOMPARE(h.boxes.shown.size(), 1);
        const auto &box = h.boxes.shown[0];
        QCOMPARE(box.prompt, QStringLiteral("NO RESPONSE! Check connected hardware! Do you want to continue ?"));
        QCOMPARE(box.title, QStringLiteral("MsgBox: NO RESPONSE - COMMUNICATION ERROR!"));
        QCOMPARE(box.style, 276);
        QCOMPARE(box.helpFile, QStringLiteral("DEMO.HLP"));
        QCOMPARE(box.helpContext, 1000);

        QVERIFY(!h.port.portOpen());
        QVERIFY(!h.form->StTimer.isActive());
        QVERIFY(h.form->isEnabled());
        QCOMPARE(h.status(), QStringLiteral("wait..."));
        QVERIFY(h.form->Timer1.isActive());
        QVERIFY(h.form->Timer2.isActive()); // a running query sequence goes on
        // The port is closed before the settings are read again.
        const QStringList calls = h.port.calls();
        QVERIFY(calls.indexOf(QStringLiteral("Close")) < calls.indexOf(QStringLiteral("CommPort 1")));
        QCOMPARE(h.endCalls, 0);
    }

    void yesReturnsToThePresserWhoseNextSendFailsAgain()
    {
        FormHarness h;
        h.identify();
        h.port.failAlways(QStringLiteral("Output"), 8021);
        h.boxes.answers = {MsgBoxResult::Yes, MsgBoxResult::Yes};
        h.form->cmd100P_Click();
        QCOMPARE(h.boxes.shown.size(), 2); // once for SV01=100, once for PV1?
        QCOMPARE(h.form->PendingCommand, QStringLiteral("PV1?"));
    }

    void noEndsTheProgramAndNothingAfterItRuns()
    {
        FormHarness h;
        h.identify();
        h.port.failAlways(QStringLiteral("Output"), 8021);
        h.port.clearCalls();
        h.boxes.answers = {MsgBoxResult::No};
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, h.form->cmd50P_Click());
        QCOMPARE(h.endCalls, 1);
        QCOMPARE(h.boxes.shown.size(), 1);
        QCOMPARE(h.port.calls().count(QStringLiteral("Output SV01=50\r")), 1);
        QVERIFY(!h.port.calls().contains(QStringLiteral("Output PV1?\r")));
        QVERIFY(!h.port.calls().contains(QStringLiteral("Close"))); // ends without closing first
    }

    void nestedHandlersRunInsideTheDelay()
    {
        FormHarness h;
        h.identify();
        h.port.clearWritten();
        // A second click arrives while the first command's delay is running.
        QTimer::singleShot(10, &h.port, [&] { h.form->cmdFpwm_Click(5); });
        h.form->cmdFpwm_Click(2);
        QCOMPARE(h.port.writes(), (QList<QByteArray>{"SV02=2\r", "SV02=5\r"}));
    }

    void afterTheWindowIsClosedAWaitingHandlerSendsNoDialog()
    {
        FormHarness h;
        h.identify();
        h.boxes.answers = {MsgBoxResult::Yes};
        QVERIFY(h.form->close());
        h.port.failAlways(QStringLiteral("Output"), 8018);
        h.form->PendingCommand = QStringLiteral("PV1?");
        h.form->cmdUPort_Click();
        QCOMPARE(h.boxes.shown.size(), 1); // only the exit question
    }
};

QTEST_MAIN(TestCommandChannel)
#include "tst_commandchannel.moc"
