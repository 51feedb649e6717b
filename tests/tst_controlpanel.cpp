// The control panel: what each command sends, the question when a send fails,
// and the read-backs and sample polls after identification.
#include "tests/sessionharness.h"

namespace {
using Press = std::function<void(DeviceSession &)>;

// Identified; the tests then drive the ticks by hand.
void identifyAndTakeOverTimers(SessionHarness &h)
{
    h.identify();
    h.session->readBackTimer().stop();
    h.session->sampleTimer().stop();
    h.port.writes.clear();
}
} // namespace

class TestControlPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void eachCommandSendsItsBytes_data()
    {
        QTest::addColumn<Press>("press");
        QTest::addColumn<QByteArrayList>("writes");
        using L = QByteArrayList;
        // clang-format off
        QTest::addRow("0%%, then PV1? apart") << Press([](DeviceSession &s) { s.setDuty(0); }) << L{"SV01=0\r", "PV1?\r"};
        QTest::addRow("50%%") << Press([](DeviceSession &s) { s.setDuty(50); }) << L{"SV01=50\r", "PV1?\r"};
        QTest::addRow("100%%") << Press([](DeviceSession &s) { s.setDuty(100); }) << L{"SV01=100\r", "PV1?\r"};
        QTest::addRow("the duty set value") << Press(&DeviceSession::askDutySetValue) << L{"SV01?\r"};
        QTest::addRow("the preset") << Press(&DeviceSession::askPreset) << L{"SV02?\r"};
        // clang-format on
        for (int k = 1; k <= 7; ++k)
            QTest::addRow("preset %d: its number, no query", k)
                << Press([k](DeviceSession &s) { s.selectPreset(k); })
                << L{"SV02=" + QByteArray::number(k) + '\r'};
    }
    void eachCommandSendsItsBytes()
    {
        QFETCH(Press, press);
        QFETCH(QByteArrayList, writes);
        SessionHarness h;
        identifyAndTakeOverTimers(h);
        h.port.simulateArrival("SV02=3\r");
        press(*h.session);
        QCOMPARE(h.port.writes, writes);
        QCOMPARE(h.screen.preset, 3); // only the device's reply moves the highlight
    }

    void aTypedDutyIsChecked_data()
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
    void aTypedDutyIsChecked()
    {
        QFETCH(QString, typed);
        QFETCH(QLocale, locale);
        QFETCH(QByteArray, sent);
        SessionHarness h;
        identifyAndTakeOverTimers(h);
        QLocale::setDefault(locale);
        const bool accepted = h.session->sendTypedDuty(typed);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(accepted, !sent.isEmpty());
        QCOMPARE(h.port.writes, sent.isEmpty() ? QByteArrayList() : QByteArrayList{sent}); // no PV1? follows
    }

    void aFailedSendAsksAndYesRestartsTheCycle()
    {
        SessionHarness h(iniFile(2));
        h.identify();
        QCOMPARE(h.running(), u"readBack sample"_s);
        h.port.failures[u"Write"_s] = PortErrors::WriteFailed;
        h.port.calls.clear();
        h.prompts.defaultAnswer = true;
        h.session->setDuty(50);
        QCOMPARE(h.prompts.noResponseAsked, 2); // for SV01=50, then for PV1?
        QCOMPARE(h.port.calls, (QStringList{"Write SV01=50\r", "Close", "Write PV1?\r"}));
        QVERIFY(!h.port.isOpen());
        QCOMPARE(h.screen.blockChanges, QList<bool>(2, false)); // input is let in again
        QCOMPARE(h.status(), u"wait..."_s);
        QCOMPARE(h.running(), u"search readBack"_s); // a running read-back goes on
        QCOMPARE(h.endCalls, 0);
    }

    void noEndsTheProgramAndNothingAfterItRuns()
    {
        SessionHarness h;
        h.identify();
        h.port.failures[u"Write"_s] = PortErrors::WriteFailed;
        h.port.calls.clear();
        h.prompts.answers = {false};
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, h.session->setDuty(50));
        QCOMPARE(h.endCalls, 1);
        QCOMPARE(h.prompts.noResponseAsked, 1);
        QCOMPARE(h.port.calls, QStringList{"Write SV01=50\r"}); // no PV1?, not even a close
    }

    void twoReadBacksFollowEachIdentification()
    {
        SessionHarness h;
        for (int identification = 1; identification <= 2; ++identification) {
            h.identify();
            h.port.writes.clear();
            h.session->readBackStep();
            QVERIFY(h.screen.panelEnabled);
            QCOMPARE(h.running(), u"readBack"_s);
            h.session->readBackStep();
            QCOMPARE(h.port.writes, (QByteArrayList{"SV01?\r", "SV02?\r"}));
            QCOMPARE(h.running(), QString()); // sample time 0: no polls follow
        }
    }

    void pollsFollowTheSampleTime_data()
    {
        QTest::addColumn<int>("sampleTime");
        QTest::addColumn<QList<int>>("counts"); // shown by each tick
        QTest::addColumn<QList<int>>("polls");  // the ticks that poll
        using L = QList<int>;
        // clang-format off
        QTest::addRow("0 never polls") << 0 << L{} << L{};
        QTest::addRow("1 polls every second tick") << 1 << L{0, 1, 0, 1, 0} << L{2, 4};
        QTest::addRow("3: the second tick, then every fourth") << 3 << L{2, 3, 0, 1, 2, 3, 0, 1, 2, 3}
                                                               << L{2, 6, 10};
        QTest::addRow("32767 saturates and never polls") << 32767 << L{32766, 32767, 32767} << L{};
        // clang-format on
    }
    void pollsFollowTheSampleTime()
    {
        QFETCH(int, sampleTime);
        QFETCH(QList<int>, counts);
        SessionHarness h(iniFile(sampleTime));
        identifyAndTakeOverTimers(h);
        const QString prefix = u"STime:%1 STimer:"_s.arg(sampleTime);
        QList<int> shown, polls;
        for (int tick = 1; tick <= counts.size(); ++tick) {
            h.session->sampleTick();
            QVERIFY2(h.status().startsWith(prefix), qPrintable(h.status()));
            shown << h.status().mid(prefix.size()).toInt();
            if (h.port.writes.size() > polls.size())
                polls << tick;
        }
        QCOMPARE(shown, counts);
        QTEST(polls, "polls");
        QCOMPARE(h.port.writes, QByteArrayList(polls.size(), "PV01?\r"));
        QCOMPARE(h.tone(), StatusTone::Found); // the caption changes, the colour does not
    }

    void inputIsKeptOutWhileAPollIsOnTheWire()
    {
        SessionHarness h(iniFile(1));
        identifyAndTakeOverTimers(h);
        h.session->sampleTick();
        bool blockedAfterTheWrite = false; // seen from the poll's pacing delay
        QTimer::singleShot(0, h.session.get(), [&] {
            blockedAfterTheWrite = h.screen.inputBlocked && h.port.writes.endsWith("PV01?\r");
        });
        h.session->sampleTick();
        QVERIFY(blockedAfterTheWrite);
        QVERIFY(!h.screen.inputBlocked);
    }

    // Nobody may be at the panel: a device that comes back is found and polled again by itself.
    void aPollOnADeadLinkSearchesAgainWithoutAsking()
    {
        SessionHarness h(iniFile(1));
        identifyAndTakeOverTimers(h);
        h.session->sampleTimer().start();
        h.port.failures[u"Write"_s] = PortErrors::WriteFailed;
        h.session->sampleTick();
        h.session->sampleTick(); // due: the write fails
        QCOMPARE(h.status(), u"wait..."_s);
        QCOMPARE(h.tone(), StatusTone::Searching);
        QCOMPARE(h.running(), u"search"_s);
        QVERIFY(!h.port.isOpen() && !h.screen.inputBlocked);
        QCOMPARE(h.prompts.noResponseAsked, 0);
        h.identify();
        QCOMPARE(h.running(), u"readBack sample"_s);
    }
};

QTEST_GUILESS_MAIN(TestControlPanel)
#include "tst_controlpanel.moc"
