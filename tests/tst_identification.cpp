// Bringing the link up: opening the port, its failure steps and the response time-out.
#include "link/portnumber.h"
#include "sessionharness.h"

#include <QElapsedTimer>
#include <QRegularExpression>

class TestIdentification : public QObject
{
    Q_OBJECT

private slots:
    void theFirstTickOpensAndAsksLaterOnesAskUntilTheTimeOut()
    {
        using namespace std::chrono_literals;
        SessionHarness h({}, u"pwm-panel"_s,
                         ticksByHand({SessionTimer::Search}, SessionSchedule{1h, 400ms, 1h, 1h}));
        QVERIFY(h.port.calls.isEmpty()); // loading the settings leaves the port alone
        QElapsedTimer clock;
        clock.start();
        h.tick(SessionTimer::Search);
        QCOMPARE(h.port.calls, (QStringList{"Open 1 9600", "Write I?\r"}));
        QCOMPARE(h.status(), u"Searching for uc code..."_s);
        QCOMPARE(h.tone(), StatusTone::Searching);
        QTest::qWait(250);
        h.tick(SessionTimer::Search); // does not restart the time-out
        QTRY_COMPARE(h.status(), u"No response!"_s);
        QVERIFY2(clock.elapsed() < 600, "the time-out was restarted by the second tick");
        QCOMPARE(h.tone(), StatusTone::Failed);
        QCOMPARE(h.port.calls.count(u"Open 1 9600"_s), 1);
        QCOMPARE(h.port.writes, (QByteArrayList{"I?\r", "I?\r"}));
        QVERIFY(h.port.isOpen());
        QCOMPARE(h.session->state(), DeviceSession::State::Searching);
    }

    void opensWithTheSettingsOfTheFile()
    {
        SessionHarness h("7,\"19200\",\"-\",0,\"DUTY01\"\r\n\"a\",\"b\",\"c\",\"d\"\r\n");
        h.tick(SessionTimer::Search);
        QCOMPARE(h.port.calls.value(0), u"Open 7 19200"_s);
    }

    void aFailedStepLeavesWhatTheStepsBeforeDid_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("open");
        const QString error = u"COM Port comm-error! "_s;
        // clang-format off
        QTest::addRow("no such port") << "Open" << 8002 << "Invalid Port Number!" << false;
        QTest::addRow("a port held elsewhere") << "Open" << 8005 << "Port already open!" << false;
        QTest::addRow("a line setting refused") << "Open" << 8010 << error + "8010" << false;
        QTest::addRow("another open failure") << "Open" << 8020 << error + "8020" << false;
        QTest::addRow("DTR refused") << "Open" << 8022 << error + "8022" << false;
        QTest::addRow("the query not written") << "Write" << 8021 << error + "8021" << true;
        // clang-format on
    }
    void aFailedStepLeavesWhatTheStepsBeforeDid()
    {
        QFETCH(QString, operation);
        QFETCH(int, number);
        SessionHarness h;
        h.port.failures[operation] = PortError(number);
        h.tick(SessionTimer::Search);
        QTEST(h.status(), "caption");
        QCOMPARE(h.tone(), StatusTone::Failed);
        QCOMPARE(h.session->status().detail, u"injected %1"_s.arg(number)); // the system's words
        QTEST(h.port.isOpen(), "open");
        QVERIFY(h.port.writes.isEmpty());
        QVERIFY(!h.tick(SessionTimer::ResponseTimeout)); // no question out: no "No response!" over it
        h.port.simulateArrival("SV01=5\r");              // any other caption drops the error's words
        QVERIFY(h.session->status().detail.isEmpty());
        h.tick(SessionTimer::Search); // the next tick tries again
        QCOMPARE(h.status(), u"Searching for uc code..."_s);
        QVERIFY(h.session->status().detail.isEmpty());
        QCOMPARE(h.writesUpToMarker(), QByteArrayList{"I?\r"});
    }

    // A port bound to a device by its by-id name: while it is away the status
    // says whom it waits for, once found which device answered where, and a
    // search from the start (after a new binding) looks at the link again.
    void theStatusNamesTheDeviceOfTheLink()
    {
        SessionHarness h;
        const QString byId = h.dir.filePath(u"by-id/usb-ACME_Widget_S123-if00-port0"_s);
        QVERIFY(QFile::link(byId, h.dir.filePath(u"com1"_s)));
        h.port.failures[u"Open"_s] = PortError::InvalidPort;
        h.tick(SessionTimer::Search);
        QCOMPARE(h.session->status().device, u"Waiting for ACME Widget, serial S123 ("_s + byId + u')');
        QCOMPARE(h.session->portNaming().identity.text(), u"ACME Widget, serial S123"_s);
        h.port.failures.clear();
        h.tick(SessionTimer::Search);
        h.port.simulateArrival("DUTY01\r");
        QCOMPARE(h.session->status().device,
                 u"ACME Widget, serial S123 on "_s + byId + u" (com1 -> "_s + byId + u')');
        QVERIFY(QFile::remove(h.dir.filePath(u"com1"_s))); // bound anew, to a name that tells nothing
        QVERIFY(QFile::link(h.dir.filePath(u"pty"_s), h.dir.filePath(u"com1"_s)));
        h.port.calls.clear();
        h.session->searchFromStart();
        QCOMPARE(h.status(), u"Searching for uc code..."_s);
        QVERIFY(h.session->portNaming().identity.isEmpty());
        QCOMPARE(h.port.calls.first(2), (QStringList{u"Close"_s, u"Open 1 9600"_s}));
    }

    // com<N> is looked up again at every tick: a link made anew closes the
    // port before the new one opens, and a link that goes missing is waited
    // for rather than replaced by the number's own device (/dev/ttyS0).
    void eachTickOpensWhatTheLinkNamesNow()
    {
        SessionHarness h;
        const QString com1 = h.dir.filePath(u"com1"_s);
        QVERIFY(QFile(h.dir.filePath(u"ptyA"_s)).open(QIODevice::WriteOnly));
        QVERIFY(QFile(h.dir.filePath(u"ptyB"_s)).open(QIODevice::WriteOnly));
        const QString a = QFileInfo(h.dir.filePath(u"ptyA"_s)).canonicalFilePath(),
                      b = QFileInfo(h.dir.filePath(u"ptyB"_s)).canonicalFilePath();
        const auto linkTo = [&](const QString &target) {
            QFile::remove(com1);
            return QFile::link(target, com1);
        };
        QVERIFY(linkTo(a));
        h.tick(SessionTimer::Search);
        QVERIFY(QFile::remove(com1)); // the simulator ended; ln -sf unlinks first
        h.tick(SessionTimer::Search);
        QCOMPARE(h.status(), u"Waiting for com1..."_s);
        QVERIFY(h.session->status().detail.contains(h.dir.path()));
        QVERIFY(!h.port.isOpen());
        h.tick(SessionTimer::Search);
        QVERIFY(!h.tick(SessionTimer::ResponseTimeout));
        QVERIFY(linkTo(b));
        h.tick(SessionTimer::Search);
        QVERIFY(linkTo(a)); // replaced while open: closed before the other opens
        h.tick(SessionTimer::Search);
        QCOMPARE(h.port.devices, (QStringList{a, b, a}));
        QCOMPARE(h.port.calls.filter(QRegularExpression(u"^(Open|Close)"_s)),
                 (QStringList{"Open 1 9600", "Close", "Open 1 9600", "Close", "Open 1 9600"}));
        h.port.simulateArrival("DUTY01\r");
        QCOMPARE(h.session->portDevice(), a);
        QVERIFY(h.session->status().device.startsWith(a)); // the tooltip names the port open
        QCOMPARE(h.session->portNaming().device, a);
    }

    // A device waited for behind its link is asked as soon as it is back.
    void aLinkThatComesBackIsOpenedAtOnce()
    {
        SessionHarness h;
        const QString byId = QFileInfo(h.dir.path()).canonicalFilePath() + u"/by-id"_s;
        QVERIFY(QFile::link(byId, h.dir.filePath(u"com1"_s)));
        h.port.failures[u"Open"_s] = PortError::InvalidPort;
        h.tick(SessionTimer::Search);
        QCOMPARE(h.status(), u"Invalid Port Number!"_s);
        h.session->lookAgainAtPort(); // still away: nothing
        QCOMPARE(h.port.calls.count(u"Open 1 9600"_s), 1);
        QVERIFY(QFile(byId).open(QIODevice::WriteOnly));
        h.session->lookAgainAtPort();
        QCOMPARE(h.port.devices.last(), byId);
        QCOMPARE(h.status(), u"Searching for uc code..."_s);
        h.session->lookAgainAtPort(); // open already: no second question
        QCOMPARE(h.writesUpToMarker(), QByteArrayList{"I?\r"});
    }

    // com<N> in the settings file's folder, else beside the executable, else the number's device.
    void whereTheLinkIsLookedUp_data()
    {
        QTest::addColumn<QStringList>("made"); // "settings:<target>", "program:<target>"
        QTest::addColumn<QString>("named");
        QTest::addRow("beside the settings") << QStringList{"settings:a"} << "a";
        QTest::addRow("beside the program") << QStringList{"program:b"} << "b";
        QTest::addRow("both: the settings folder's") << QStringList{"settings:a", "program:b"} << "a";
        QTest::addRow("a dangling one beside the settings")
            << QStringList{"settings:gone", "program:b"} << "gone";
        QTest::addRow("none") << QStringList{} << "/dev/ttyS0";
    }
    void whereTheLinkIsLookedUp()
    {
        QFETCH(QStringList, made);
        QTemporaryDir settings, program;
        QVERIFY(QFile(program.filePath(u"a"_s)).open(QIODevice::WriteOnly));
        QVERIFY(QFile(program.filePath(u"b"_s)).open(QIODevice::WriteOnly));
        for (const QString &link : made) {
            const QString folder = (link.startsWith(u"settings") ? settings : program).path();
            QVERIFY(QFile::link(program.filePath(link.section(u':', 1)), folder + u"/com1"_s));
        }
        QFETCH(QString, named);
        const QFileInfo target(named.startsWith(u'/') ? named : program.filePath(named));
        QCOMPARE(resolvePortDevice(1, QStringList{settings.path(), program.path()}),
                 target.exists() ? target.canonicalFilePath() : target.filePath());
    }

    // The device went away in the middle of a line; what came of it must not
    // glue onto the first reply after the port is opened again.
    void aLineCutOffByAReconnectIsDropped()
    {
        SessionHarness h;
        h.tick(SessionTimer::Search);
        h.port.simulateArrival("SV01=");
        h.port.close();
        h.tick(SessionTimer::Search);
        h.port.simulateArrival("DUTY01\r");
        QCOMPARE(h.status(), u"Found: DUTY01"_s);
        QCOMPARE(h.screen.duty, u"-"_s);
    }

    // The time-out started at one tick falls due together with the second tick
    // after it: the tick runs first, so "No response!" stays until the next one.
    void noResponseStaysUntilTheFollowingTick()
    {
        using namespace std::chrono_literals;
        SessionHarness h({}, u"pwm-panel"_s, SessionSchedule{250ms, 500ms, 1h, 1h}); // ten times faster
        QElapsedTimer clock;
        clock.start();
        QList<qint64> shownFor; // how long each "No response!" stayed
        qint64 noResponseAt = -1;
        connect(h.session.get(), &DeviceSession::statusChanged, this, [&](const StatusLine &status) {
            if (status.text == u"No response!")
                noResponseAt = clock.elapsed();
            else if (noResponseAt >= 0)
                shownFor << clock.elapsed() - std::exchange(noResponseAt, -1);
        });
        QTRY_VERIFY_WITH_TIMEOUT(shownFor.size() >= 2, 5000);
        for (qint64 ms : std::as_const(shownFor))
            QVERIFY2(ms > 150, qPrintable(u"\"No response!\" shown for only %1 ms"_s.arg(ms)));
    }
};

QTEST_GUILESS_MAIN(TestIdentification)
#include "tst_identification.moc"
