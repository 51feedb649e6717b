// The control panel: what each command sends and when, the bound on the
// queue, the question when a send fails, and which new connections refill
// the settings boxes.
#include "sessionharness.h"

#include <QElapsedTimer>
#include <QThread>

namespace {
using Press = std::function<void(DeviceSession &)>;
using Cycle = std::function<void(SessionHarness &)>;

// The texts the settings panel shows for the settings.
SettingsTexts shownTexts(const SettingsRecord &s)
{
    return {QString::number(s.portNumber), s.baudRate,   s.password,
            QString::number(s.sampleTime), s.deviceCode, s.labels[0]};
}
} // namespace
Q_DECLARE_METATYPE(Cycle)

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
        h.identifyAndForget();
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
        h.identifyAndForget();
        QLocale::setDefault(locale);
        const bool accepted = h.session->sendTypedDuty(typed) == DeviceSession::TypedDuty::Queued;
        QLocale::setDefault(QLocale::c());
        QCOMPARE(accepted, !sent.isEmpty());
        QVERIFY(h.session->status().detail.isEmpty()); // not a dropped press
        QCOMPARE(h.writesUpToMarker(),
                 sent.isEmpty() ? QByteArrayList() : QByteArrayList{sent}); // no PV1? follows
    }

    // Holding Return on Send queues faster than the wire takes: what does not
    // fit is dropped and says so until the next press, what was queued goes
    // out in order, and the read-back after identification still finds room.
    void theQueueIsBounded()
    {
        SessionHarness h;
        h.identifyAndForget();
        qsizetype accepted = 0;
        for (int i = 0; i < 40; ++i)
            accepted += h.session->sendTypedDuty(QString::number(i)) == DeviceSession::TypedDuty::Queued;
        const qsizetype taken = CommandQueue::kMaxWaiting + 1; // one written at once, the rest waiting
        QCOMPARE(accepted, taken);
        QCOMPARE(h.session->sendTypedDuty(u"37"_s), DeviceSession::TypedDuty::NotSent); // not "no duty"
        QVERIFY(!h.session->setDuty(50));
        QCOMPARE(h.status(), u"Found: DUTY01"_s); // the caption and its colour stay
        QCOMPARE(h.tone(), StatusTone::Found);
        const QString notSent = u"Not sent: 16 commands are already waiting for the device."_s;
        QCOMPARE(h.session->status().detail, notSent);
        h.port.simulateArrival("SV01=3\r"); // the device talks on: the drop is still said
        QCOMPARE(h.status(), u"COM:1 Baud:9600 COM data: SV01=3"_s);
        QCOMPARE(h.session->status().detail, notSent);
        QVERIFY(h.tick(SessionTimer::ReadBack));
        QVERIFY(waitForWrites(h.port, taken + 1));
        const QByteArrayList written = h.writesUpToMarker();
        QCOMPARE(written.size(), taken + 1);
        QCOMPARE(written.first(), "SV01=0\r"_ba);
        QCOMPARE(written[taken - 1], "SV01=" + QByteArray::number(taken - 1) + '\r');
        QCOMPARE(written.last(), "SV01?\r"_ba);
        QVERIFY(h.session->status().detail.isEmpty()); // the marker was the next press
    }

    // One question at a time, asked after the write, and Yes drops the
    // connection with everything that waited behind the failed command.
    void aFailedSendAsksOnceAndYesSearchesAgain()
    {
        SessionHarness h(iniFile(2));
        h.identifyAndForget();
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
        h.identifyAndForget();
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

    // Only the start, Yes after no response and a save put the file in the
    // boxes; any other new connection leaves what the user typed there.
    void whichConnectionsRefillTheBoxes_data()
    {
        QTest::addColumn<Cycle>("cycle");
        QTest::addColumn<bool>("refilled");
        const auto failing = [](Cycle cycle) {
            return Cycle([cycle](SessionHarness &h) {
                h.port.failures[u"Write"_s] = PortError::WriteFailed;
                cycle(h);
            });
        };
        // clang-format off
        QTest::addRow("a hang-up") << Cycle([](SessionHarness &h) { h.port.simulateLineLost(); }) << false;
        QTest::addRow("a port chosen") << Cycle([](SessionHarness &h) { h.session->searchFromStart(); }) << false;
        QTest::addRow("a script's failed write") << failing([](SessionHarness &h) { h.session->askPreset(DeviceSession::Origin::Script); }) << false;
        QTest::addRow("a failed poll") << failing([](SessionHarness &h) { h.tick(SessionTimer::SampleTick); h.tick(SessionTimer::SampleTick); }) << false;
        QTest::addRow("Yes after no response") << failing([](SessionHarness &h) { h.session->askPreset(); }) << true;
        QTest::addRow("a save") << Cycle([](SessionHarness &h) { h.session->saveSettings(shownTexts(h.screen.settings)); }) << true;
        // clang-format on
    }
    void whichConnectionsRefillTheBoxes()
    {
        QFETCH(Cycle, cycle);
        SessionHarness h(iniFile(1));
        h.identifyAndForget();
        h.prompts.answers = {true};
        QSignalSpy refills(h.session.get(), &DeviceSession::settingsLoaded);
        QStringList shown;
        connect(h.session.get(), &DeviceSession::statusChanged, this,
                [&shown](const StatusLine &status) { shown << status.text; });
        cycle(h);
        QTRY_VERIFY(shown.contains(u"wait..."_s)); // a new connection either way
        QTEST(refills.size() == 1, "refilled");
        QVERIFY(refills.size() <= 1);
    }
};

QTEST_GUILESS_MAIN(TestControlPanel)
#include "tst_controlpanel.moc"
