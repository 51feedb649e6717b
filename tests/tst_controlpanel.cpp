// The control panel: what each button sends and by which path, the dialog when a send fails,
// and the read-backs and sample polls after identification.
#include "testsupport.h"

namespace {
using Press = std::function<void(MainForm &)>;
const QStringList kNoResponse = {"NO RESPONSE! Check connected hardware! Do you want to continue ?", "276",
                                 "MsgBox: NO RESPONSE - COMMUNICATION ERROR!", "DEMO.HLP", "1000"};

// Identified; the tests then drive the ticks by hand.
void identifyAndTakeOverTimers(FormHarness &h)
{
    h.identify();
    h.form->Timer2.stop();
    h.form->StTimer.stop();
    h.port.writes.clear();
}
} // namespace

class TestControlPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void eachButtonSendsItsCommands_data()
    {
        QTest::addColumn<Press>("press");
        QTest::addColumn<QByteArrayList>("writes");
        using L = QByteArrayList;
        // clang-format off
        QTest::addRow("0%%, then PV1? apart") << Press(&MainForm::cmd0P_Click) << L{"SV01=0\r", "PV1?\r"};
        QTest::addRow("50%%") << Press(&MainForm::cmd50P_Click) << L{"SV01=50\r", "PV1?\r"};
        QTest::addRow("100%%") << Press(&MainForm::cmd100P_Click) << L{"SV01=100\r", "PV1?\r"};
        QTest::addRow("PV01? asks for the duty set value") << Press(&MainForm::cmdPV01_Click) << L{"SV01?\r"};
        QTest::addRow("the hidden SV02?") << Press(&MainForm::cmdSV02_Click) << L{"SV02?\r"};
        // clang-format on
        for (int k = 1; k <= 7; ++k)
            QTest::addRow("preset %d: its number, no query", k)
                << Press([k](MainForm &f) { f.cmdFpwm_Click(k); })
                << L{"SV02=" + QByteArray::number(k) + '\r'};
    }
    void eachButtonSendsItsCommands()
    {
        QFETCH(Press, press);
        QFETCH(QByteArrayList, writes);
        FormHarness h;
        identifyAndTakeOverTimers(h);
        h.port.simulateArrival("SV02=3\r");
        press(*h.form);
        QCOMPARE(h.port.writes, writes);
        QCOMPARE(highlighted(h.c()), QList{3}); // only the device's reply moves the highlight
        QCOMPARE(h.form->PendingCommand,
                 QString::fromLatin1(writes.last().chopped(1))); // kept, without its CR
    }

    void theSendButtonChecksTheTypedDuty_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QByteArray>("sent"); // empty: refused
        // clang-format off
        const std::pair<const char *, const char *> rows[] = {{"37", "SV01=37\r"}, {" 7 ", "SV01=7\r"},
            {"12.5", "SV01=12\r"}, {"-0.4", "SV01=0\r"}, {"0", "SV01=0\r"}, {"100", "SV01=100\r"},
            {"101", ""}, {"-1", ""}, {"-0.6", ""}, {"", ""}, {"abc", ""}, {"40000", ""}, {"error", ""}};
        // clang-format on
        for (const auto &[typed, sent] : rows)
            QTest::addRow("\"%s\"", typed) << QString::fromLatin1(typed) << QLocale::c() << QByteArray(sent);
        QTest::addRow("a German 13,5") << "13,5" << QLocale(QLocale::German) << "SV01=14\r"_ba;
    }
    void theSendButtonChecksTheTypedDuty()
    {
        QFETCH(QString, typed);
        QFETCH(QLocale, locale);
        QFETCH(QByteArray, sent);
        FormHarness h;
        identifyAndTakeOverTimers(h);
        h.c().txtSV01->setText(typed);
        QLocale::setDefault(locale);
        h.form->cmdSV01_Click();
        QLocale::setDefault(QLocale::c());
        QCOMPARE(h.port.writes, sent.isEmpty() ? QByteArrayList() : QByteArrayList{sent}); // no PV1? follows
        QCOMPARE(h.c().txtSV01->text(), sent.isEmpty() ? u"error"_s : typed);
    }

    void aFailedSendAsksAndYesRestartsTheCycleAndReturnsToThePresser()
    {
        FormHarness h(iniFile(2));
        h.identify();
        QCOMPARE(h.running(), u"Timer2 StTimer"_s);
        h.form->setEnabled(false); // as during a poll
        h.port.failures[u"Output"_s] = SerialErrors::WriteFailed;
        h.port.calls.clear();
        h.boxes.defaultAnswer = MsgBoxResult::Yes;
        h.form->cmd50P_Click();
        QCOMPARE(h.boxes.shown, QList<QStringList>(2, kNoResponse)); // for SV01=50, then for PV1?
        QCOMPARE(h.port.calls.mid(0, 3), (QStringList{"Output SV01=50\r", "Close", "CommPort 1"}));
        QCOMPARE(h.port.calls.filter(u"Output"_s), (QStringList{"Output SV01=50\r", "Output PV1?\r"}));
        QVERIFY(!h.port.portOpen() && h.form->isEnabled());
        QCOMPARE(h.status(), u"wait..."_s);
        QCOMPARE(h.running(), u"Timer1 Timer2"_s); // a running query sequence goes on
        QCOMPARE(h.endCalls, 0);
    }

    void noEndsTheProgramAndNothingAfterItRuns()
    {
        FormHarness h;
        h.identify();
        h.port.failures[u"Output"_s] = SerialErrors::WriteFailed;
        h.port.calls.clear();
        h.boxes.answers = {MsgBoxResult::No};
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, h.form->cmd50P_Click());
        QCOMPARE(h.endCalls, 1);
        QCOMPARE(h.boxes.shown, QList<QStringList>{kNoResponse});
        QCOMPARE(h.port.calls, QStringList{"Output SV01=50\r"}); // no PV1?, not even a close
    }

    void twoQueryStepsFollowEachIdentification()
    {
        FormHarness h;
        for (int identification = 1; identification <= 2; ++identification) {
            h.identify();
            h.port.writes.clear();
            h.form->Timer2_Timer();
            QVERIFY(h.c().frmTemp1->isEnabled());
            QCOMPARE(h.running(), u"Timer2"_s);
            h.form->Timer2_Timer();
            QCOMPARE(h.port.writes, (QByteArrayList{"SV01?\r", "SV02?\r"}));
            QCOMPARE(h.running(), QString()); // STime 0: no polls follow
        }
    }

    void pollsFollowTheSampleTime_data()
    {
        QTest::addColumn<int>("sTime");
        QTest::addColumn<QList<int>>("counts"); // shown by each tick
        QTest::addColumn<QList<int>>("polls");  // the ticks that poll
        using L = QList<int>;
        // clang-format off
        QTest::addRow("STime 0 never polls") << 0 << L{} << L{};
        QTest::addRow("STime 1 polls every second tick") << 1 << L{0, 1, 0, 1, 0} << L{2, 4};
        QTest::addRow("STime 3, the second tick, then every fourth") << 3 << L{2, 3, 0, 1, 2, 3, 0, 1, 2, 3}
                                                                     << L{2, 6, 10};
        QTest::addRow("STime 32767 saturates and never polls") << 32767 << L{32766, 32767, 32767} << L{};
        // clang-format on
    }
    void pollsFollowTheSampleTime()
    {
        QFETCH(int, sTime);
        QFETCH(QList<int>, counts);
        FormHarness h(iniFile(sTime));
        identifyAndTakeOverTimers(h);
        const QString prefix = u"STime:%1 STimer:"_s.arg(sTime);
        QList<int> shown, polls;
        for (int tick = 1; tick <= counts.size(); ++tick) {
            h.form->StTimer_Timer();
            QVERIFY2(h.status().startsWith(prefix), qPrintable(h.status()));
            shown << h.status().mid(prefix.size()).toInt();
            if (h.port.writes.size() > polls.size())
                polls << tick;
        }
        QCOMPARE(shown, counts);
        QTEST(polls, "polls");
        QCOMPARE(h.port.writes, QByteArrayList(polls.size(), "PV01?\r"));
        QCOMPARE(h.statusColor(), vbColor(VbColor::Green)); // the caption changes, the colour does not
        QVERIFY(h.form->PendingCommand.isEmpty());          // the poll bypasses the command channel
    }

    void theWindowTakesNoInputDuringAPollYetTheDutyBoxKeepsItsFocus()
    {
        FormHarness h(iniFile(1));
        identifyAndTakeOverTimers(h);
        h.form->Timer2_Timer(); // unlocks the panel
        h.form->show();
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        h.c().txtSV01->setFocus();
        QTRY_VERIFY(h.c().txtSV01->hasFocus());
        h.form->StTimer_Timer();
        bool disabledAfterTheWrite = false; // seen from the poll's pacing delay
        QTimer::singleShot(0, h.form.get(), [&] {
            disabledAfterTheWrite = !h.form->isEnabled() && h.port.writes.endsWith("PV01?\r");
        });
        h.form->StTimer_Timer();
        QVERIFY(disabledAfterTheWrite);
        QVERIFY(h.form->isEnabled() && h.c().txtSV01->hasFocus());
    }

    void aFailedPollIsShownAndPollingGoesOn()
    {
        FormHarness h(iniFile(1));
        identifyAndTakeOverTimers(h);
        h.port.failures[u"Output"_s] = SerialErrors::WriteFailed;
        h.form->StTimer_Timer();
        h.form->StTimer_Timer(); // due: the write fails
        QCOMPARE(h.status(), u"COM Port comm-error! 8021"_s);
        QVERIFY(h.form->isEnabled() && h.boxes.shown.isEmpty()); // no dialog for a poll
        h.form->StTimer_Timer();
        h.form->StTimer_Timer();
        QCOMPARE(h.port.writes, QByteArrayList{"PV01?\r"});
    }
};

QTEST_MAIN(TestControlPanel)
#include "tst_controlpanel.moc"
