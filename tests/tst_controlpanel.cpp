// The control panel: what each command sends and when, the question when a
// send fails, and the read-backs and sample polls after identification.
#include "sessionharness.h"

#include <QElapsedTimer>
#include <QThread>

namespace {
using Press = std::function<void(DeviceSession &)>;

// Identified, with what the search wrote forgotten and its pause over.
void identified(SessionHarness &h)
{
    h.identify();
    h.waitOutThePause();
    h.port.writes.clear();
    h.port.calls.clear();
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
        QTest::addRow("the duty set value") << Press([](DeviceSession &s) { s.askDutySetValue(); }) << L{"SV01?\r"};
        QTest::addRow("50%% then 100%% quickly: the second follows the first")
            << Press([](DeviceSession &s) { s.setDuty(50); s.setDuty(100); })
            << L{"SV01=50\r", "PV1?\r", "SV01=100\r", "PV1?\r"};
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
        identified(h);
        h.port.simulateArrival("SV02=3\r");
        // Each write takes a while to return; the device counts its pause from the end of a command.
        QList<qint64> started, ended;
        QElapsedTimer clock;
        clock.start();
        h.port.whileWriting = [&] {
            started << clock.elapsed();
            QThread::msleep(30);
        };
        connect(h.session.get(), &DeviceSession::commandWritten, this, [&] { ended << clock.elapsed(); });
        press(*h.session);
        QCOMPARE(h.writesUpToMarker(), writes);
        QCOMPARE(h.screen.preset, 3); // only the device's reply moves the highlight
        QCOMPARE(started.size(), ended.size());
        for (qsizetype i = 1; i < started.size(); ++i) {
            const qint64 gap = started[i] - ended[i - 1];
            QVERIFY2(gap >= 50, qPrintable(u"a command %1 ms after the end of the one before"_s.arg(gap)));
        }
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
        identified(h);
        QLocale::setDefault(locale);
        const bool accepted = h.session->sendTypedDuty(typed);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(accepted, !sent.isEmpty());
        QCOMPARE(h.writesUpToMarker(),
                 sent.isEmpty() ? QByteArrayList() : QByteArrayList{sent}); // no PV1? follows
    }

    // Holding Return on Send queues faster than the wire takes: what does not
    // fit is dropped and says so, what was queued goes out in order, and the
    // read-back after identification still finds room.
    void theQueueIsBounded()
    {
        SessionHarness h;
        identified(h);
        qsizetype accepted = 0;
        for (int i = 0; i < 40; ++i)
            accepted += h.session->sendTypedDuty(QString::number(i));
        const qsizetype taken = CommandQueue::kMaxWaiting + 1; // one written at once, the rest waiting
        QCOMPARE(accepted, taken);
        QVERIFY(!h.session->setDuty(50));
        QCOMPARE(h.status(), u"Found: DUTY01"_s); // the caption and its colour stay
        QCOMPARE(h.tone(), StatusTone::Found);
        QCOMPARE(h.session->status().detail, u"Not sent: 16 commands are already waiting for the device."_s);
        QVERIFY(h.tick(SessionTimer::ReadBack));
        QVERIFY(waitForWrites(h.port, taken + 1));
        const QByteArrayList written = h.writesUpToMarker();
        QCOMPARE(written.size(), taken + 1);
        QCOMPARE(written.first(), "SV01=0\r"_ba);
        QCOMPARE(written[taken - 1], "SV01=" + QByteArray::number(taken - 1) + '\r');
        QCOMPARE(written.last(), "SV01?\r"_ba);
    }

    // One question at a time, asked after the write, and Yes drops the
    // connection with everything that waited behind the failed command.
    void aFailedSendAsksOnceAndYesSearchesAgain()
    {
        SessionHarness h(iniFile(2));
        identified(h);
        h.port.failures[u"Write"_s] = PortError::WriteFailed;
        h.prompts.holdAnswers = true;
        h.session->setDuty(50);
        QCOMPARE(h.prompts.noResponseAsked, 0); // not from inside the click
        QTRY_COMPARE(h.prompts.noResponseAsked, 1);
        // Timers tick while the box is open: the poll due at the second sample
        // tick waits, and the count stays at the sample time.
        QVERIFY(h.tick(SessionTimer::ReadBack));
        for (int tick = 1; tick <= 4; ++tick)
            QVERIFY(h.tick(SessionTimer::SampleTick));
        QCOMPARE(h.status(), u"STime:2 STimer:2"_s);
        // The user clicks behind the box; a script is told that nothing goes out.
        h.session->setDuty(0);
        QVERIFY(!h.session->askPreset(DeviceSession::Origin::Script));
        QTest::qWait(150);
        QCOMPARE(h.prompts.noResponseAsked, 1);
        QCOMPARE(h.port.calls, QStringList{"Write SV01=50\r"}); // nothing written while it is open
        h.prompts.answer(true);
        QCOMPARE(h.port.calls, (QStringList{"Write SV01=50\r", "Close"}));
        QCOMPARE(h.status(), u"wait..."_s);
        QCOMPARE(h.session->state(), DeviceSession::State::Searching);
        h.tick(SessionTimer::Search); // the next connection starts clean
        QCOMPARE(h.writesUpToMarker(), QByteArrayList{"I?\r"});
        QCOMPARE(h.prompts.noResponseAsked, 1);
        QCOMPARE(h.screen.endRequests, 0);
    }

    void noEndsTheSessionAndAsksTheProgramToEnd()
    {
        SessionHarness h;
        identified(h);
        h.port.failures[u"Write"_s] = PortError::WriteFailed;
        h.prompts.answers = {false};
        h.session->setDuty(50);
        QTRY_COMPARE(h.screen.endRequests, 1);
        QCOMPARE(h.session->state(), DeviceSession::State::Ended);
        QCOMPARE(h.port.calls, (QStringList{"Write SV01=50\r", "Close"})); // no PV1?
        h.session->setDuty(0); // whatever comes after writes nothing
        QTest::qWait(100);
        QCOMPARE(h.port.calls.size(), 2);
        QCOMPARE(h.prompts.noResponseAsked, 1);
    }

    void twoReadBacksFollowEachIdentification()
    {
        SessionHarness h;
        for (int identification = 1; identification <= 2; ++identification) {
            identified(h);
            QVERIFY(h.tick(SessionTimer::ReadBack));
            QVERIFY(h.screen.panelEnabled);
            QVERIFY(h.tick(SessionTimer::ReadBack));
            QVERIFY(!h.tick(SessionTimer::ReadBack)); // two steps, then it stops
            QCOMPARE(h.writesUpToMarker(), (QByteArrayList{"SV01?\r", "SV02?\r"}));
        }
    }

    // A pause after 800 ms and after 1.6 s. A coarse timer may tick up to 5% of
    // its interval early or late, depending on when in the second it started:
    // sessions found 13 ms apart make sure some of them start badly for one.
    void theReadBacksComeOnTime()
    {
        constexpr int kSessions = 5;
        constexpr qint64 kDue[] = {800 + 50, 1600 + 50};
        std::vector<std::unique_ptr<SessionHarness>> panels;
        QElapsedTimer clock;
        clock.start();
        QList<qint64> foundAt(kSessions);
        QList<QList<qint64>> late(kSessions); // after each question's moment, in ms
        for (int i = 0; i < kSessions; ++i) {
            panels.push_back(std::make_unique<SessionHarness>(
                QByteArray(), u"pwm-panel"_s, ticksByHand({SessionTimer::Search}, SessionSchedule{})));
            QVERIFY(panels[i]->tick(SessionTimer::Search));
            connect(panels[i]->session.get(), &DeviceSession::commandWritten, this,
                    [&, i](const WireLine &c) {
                        if ((c.bytes == "SV01?" || c.bytes == "SV02?") && late[i].size() < 2)
                            late[i] << clock.elapsed() - foundAt[i] - kDue[late[i].size()];
                    });
        }
        for (int i = 0; i < kSessions; ++i) {
            QTest::qWait(13);
            foundAt[i] = clock.elapsed();
            panels[i]->port.simulateArrival("DUTY01\r");
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            std::all_of(late.cbegin(), late.cend(), [](auto &l) { return l.size() == 2; }), 3000);
        for (const QList<qint64> &l : std::as_const(late))
            for (qint64 ms : l)
                QVERIFY2(ms >= -1 && ms <= 30, qPrintable(u"a read-back %1 ms off"_s.arg(ms)));
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
        identified(h);
        const QString prefix = u"STime:%1 STimer:"_s.arg(sampleTime);
        QList<int> shown, polls;
        for (int tick = 1; tick <= counts.size(); ++tick) {
            QVERIFY(h.tick(SessionTimer::SampleTick));
            QVERIFY2(h.status().startsWith(prefix), qPrintable(h.status()));
            shown << h.status().mid(prefix.size()).toInt();
            if (h.port.writes.size() > polls.size()) {
                polls << tick;
                h.waitOutThePause(); // as the next tick, a second later, would be
            }
        }
        QCOMPARE(shown, counts);
        QTEST(polls, "polls");
        QCOMPARE(h.port.writes, QByteArrayList(polls.size(), "PV01?\r"));
        QCOMPARE(h.tone(), StatusTone::Found); // the caption changes, the colour does not
    }

    // The count starts again after the poll's pause: a code line in the pause
    // does not bring the next poll forward.
    void theDeviceCodeDuringAPollsPauseKeepsTheSchedule()
    {
        SessionHarness h(iniFile(3));
        identified(h);
        h.tick(SessionTimer::SampleTick);
        h.tick(SessionTimer::SampleTick); // polls
        QTRY_COMPARE(h.port.writes, QByteArrayList{"PV01?\r"});
        h.port.simulateArrival("DUTY01\r");
        h.waitOutThePause();
        h.tick(SessionTimer::SampleTick);
        QCOMPARE(h.status(), u"STime:3 STimer:0"_s);
    }

    // Nothing is kept out during a poll: a click behind it is written after it.
    void aClickDuringAPollIsQueuedBehindIt()
    {
        SessionHarness h(iniFile(1));
        identified(h);
        h.tick(SessionTimer::SampleTick);
        h.tick(SessionTimer::SampleTick); // polls
        h.session->setDuty(50);
        QCOMPARE(h.writesUpToMarker(), (QByteArrayList{"PV01?\r", "SV01=50\r", "PV1?\r"}));
    }

    // Nobody may be at the panel: a device that comes back is found and polled again by itself.
    void aPollOnADeadLinkSearchesAgainWithoutAsking()
    {
        SessionHarness h(iniFile(1));
        identified(h);
        h.port.failures[u"Write"_s] = PortError::WriteFailed;
        h.tick(SessionTimer::SampleTick);
        h.tick(SessionTimer::SampleTick); // due: the write fails
        QTRY_COMPARE(h.status(), u"wait..."_s);
        QCOMPARE(h.tone(), StatusTone::Searching);
        QCOMPARE(h.session->state(), DeviceSession::State::Searching);
        QVERIFY(!h.port.isOpen());
        QTest::qWait(20);
        QCOMPARE(h.prompts.noResponseAsked, 0);
        h.identify();
        QCOMPARE(h.session->state(), DeviceSession::State::Identified);
    }
};

QTEST_GUILESS_MAIN(TestControlPanel)
#include "tst_controlpanel.moc"
