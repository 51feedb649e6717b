// Finding the device among several real ports, and a device found again after
// a replug through its stable name: pseudo-terminals, the simulator, the real port.
#include "devicesimulator.h"
#include "link/portlisting.h"
#include "link/systemserialport.h"
#include "session/portprobe.h"
#include "sessionharness.h"
#include "testsupport/pty.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <unistd.h>

namespace {

// How many of this process's descriptors are open on the device.
int openHere(const QString &device)
{
    int count = 0;
    const QDir fds(u"/proc/self/fd"_s);
    for (const QString &fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        count += QFileInfo(fds.filePath(fd)).symLinkTarget() == device;
    return count;
}

PortProbe::PortMaker realPorts()
{
    return [] { return std::make_unique<SystemSerialPort>(QString()); };
}

PortFacts factsOf(const QString &device)
{
    PortFacts facts;
    facts.device = device;
    return facts;
}

} // namespace

class TestPortProbe : public QObject
{
    Q_OBJECT

private slots:
    // One answers, one is silent but for a stale reply, one is held by another
    // program and never written to.
    void findsTheDeviceAmongThree()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(u"device.log"_s);
        DeviceSimulator sim(dir.path(), {"--log", log});
        QVERIFY2(sim.isUp(), qPrintable(sim.whyNot()));
        const QString answering = QFileInfo(dir.filePath(u"com1"_s)).canonicalFilePath();
        // The program that holds the third port's lock; started first, so
        // that it inherits no descriptor of the pairs (it would be Busy on them).
        QProcess holder;
        holder.start(u"sleep"_s, {u"30"_s});
        QVERIFY(holder.waitForStarted());
        const auto stopHolder = qScopeGuard([&] {
            holder.kill();
            holder.waitForFinished();
        });
        PtyPair silent, held;
        QVERIFY2(silent.open() && held.open(), qPrintable(silent.errorString() + held.errorString()));
        const QString lockFolder = dir.filePath(u"lock"_s);
        QVERIFY(QDir().mkpath(lockFolder));
        QFile lock(lockFolder + u"/LCK.."_s + held.slavePath().mid(5).replace(u'/', u'_'));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(holder.processId()).rightJustified(10) + "\nsleep\n");
        lock.close();

        const SystemPortLister lister({{}, {lockFolder}, u"/proc"_s}, [&] {
            return QList<PortFacts>{factsOf(answering), factsOf(silent.slavePath()),
                                    factsOf(held.slavePath())};
        });
        const QList<PortRow> rows = lister.list({});
        const QStringList candidates = probeCandidates(rows);
        QCOMPARE(QSet<QString>(candidates.cbegin(), candidates.cend()),
                 (QSet<QString>{answering, silent.slavePath()}));

        // A reply left in the silent port by an earlier search is no answer to this one.
        silent.writeMaster("DUTY01\r");
        PortProbe probe(realPorts());
        QSignalSpy answered(&probe, &PortProbe::answered);
        QSignalSpy answeredOther(&probe, &PortProbe::answeredOther);
        QSignalSpy finished(&probe, &PortProbe::finished);
        probe.start(candidates, 9600, u"DUTY01"_s,
                    {std::chrono::milliseconds(200), std::chrono::milliseconds(600)});
        QVERIFY(finished.wait(3000));
        QCOMPARE(answered.size(), 1);
        QCOMPARE(answered[0][0].toString(), answering);
        QCOMPARE(answeredOther.size(), 0);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toStringList(), QStringList{answering});

        QVERIFY(silent.readMaster(500, 6).startsWith("I?\rI?\r")); // asked again while it stayed silent
        QCOMPARE(held.readMaster(300), QByteArray());
        // Every port closed again: only the pairs' own descriptors are left.
        QCOMPARE(openHere(answering), 0);
        QCOMPARE(openHere(silent.slavePath()), 1);
        QTRY_VERIFY(readFile(log).contains("other side closed the port"));
        QTest::qWait(300);
        QCOMPARE(finished.size(), 1);
    }

    void nothingToAskFinishesFromTheEventLoop()
    {
        PortProbe probe(realPorts());
        QSignalSpy finished(&probe, &PortProbe::finished);
        probe.start({u"/nonexistent/ttyUSB9"_s}, 9600, u"DUTY01"_s);
        QCOMPARE(finished.size(), 0); // not from inside start()
        QVERIFY(finished.wait(1000));
        QCOMPARE(finished[0][0].toStringList(), QStringList{});
    }

    void cancelClosesWithoutASignal()
    {
        PtyPair device;
        QVERIFY2(device.open(), qPrintable(device.errorString()));
        PortProbe probe(realPorts());
        QSignalSpy answered(&probe, &PortProbe::answered);
        QSignalSpy finished(&probe, &PortProbe::finished);
        probe.start({device.slavePath()}, 9600, u"DUTY01"_s,
                    {std::chrono::milliseconds(100), std::chrono::milliseconds(300)});
        QCOMPARE(device.readMaster(1000, 3), "I?\r"_ba);
        probe.cancel();
        QCOMPARE(openHere(device.slavePath()), 1);
        device.writeMaster("DUTY01\r");
        QTest::qWait(500);
        QCOMPARE(answered.size() + finished.size(), 0);
        QCOMPARE(device.readMaster(100), QByteArray());
    }

    // com1 names the device by its stable name; it is unplugged and comes back
    // on another port under the same name, and is found with no help.
    void foundAgainAfterAReplug()
    {
        QTemporaryDir exeDir, devA, devB;
        writeIni(exeDir, u"pwm-panel"_s, iniFile(0)); // no polls: the hang-up itself is noticed
        const QString byId = exeDir.filePath(u"by-id/usb-ACME_Widget_S123-if00-port0"_s);
        QVERIFY(QDir().mkpath(QFileInfo(byId).absolutePath()));
        QVERIFY(QFile::link(byId, exeDir.filePath(u"com1"_s)));

        auto simA = std::make_unique<DeviceSimulator>(devA.path());
        QVERIFY2(simA->isUp(), qPrintable(simA->whyNot()));
        QVERIFY(QFile::link(QFileInfo(devA.filePath(u"com1"_s)).canonicalFilePath(), byId));

        SessionSchedule fast;
        fast.search = std::chrono::milliseconds(200);
        fast.responseTimeout = std::chrono::milliseconds(400);
        fast.readBack = std::chrono::milliseconds(100);
        fast.sampleTick = std::chrono::milliseconds(100);
        SystemSerialPort port(exeDir.path());
        ScriptedPrompts prompts;
        DeviceSession session(port, prompts, ExecutableInfo{exeDir.path(), u"pwm-panel"_s}, fast);
        QCOMPARE(session.portFolder(), exeDir.path());
        QSignalSpy states(&session, &DeviceSession::stateChanged);
        session.start();
        QTRY_COMPARE_WITH_TIMEOUT(session.state(), DeviceSession::State::Identified, 3000);
        QSignalSpy received(&session, &DeviceSession::lineReceived);
        QTRY_VERIFY(std::any_of(received.cbegin(), received.cend(), [](const QList<QVariant> &line) {
            return line[0].value<WireLine>().bytes.startsWith("SV02=");
        }));          // the read-backs are through
        simA.reset(); // unplugged: the line hangs up and the name goes
        QVERIFY(QFile::remove(byId));
        QTRY_COMPARE_WITH_TIMEOUT(session.state(), DeviceSession::State::Searching, 3000);
        QTRY_COMPARE(session.status().text, u"Invalid Port Number!"_s);
        QCOMPARE(session.status().device, u"Waiting for ACME Widget, serial S123 ("_s + byId + u')');

        DeviceSimulator simB(devB.path());
        QVERIFY2(simB.isUp(), qPrintable(simB.whyNot()));
        const QString portB = QFileInfo(devB.filePath(u"com1"_s)).canonicalFilePath();
        QVERIFY(QFile::link(portB, byId)); // plugged back in, elsewhere
        QTRY_COMPARE_WITH_TIMEOUT(session.state(), DeviceSession::State::Identified, 2000);
        QCOMPARE(session.portDevice(), portB);
        QCOMPARE(prompts.noResponseAsked, 0);
        QCOMPARE(states.size(), 3);
        session.shutdown();
    }
};

QTEST_GUILESS_MAIN(TestPortProbe)
#include "tst_portprobe.moc"
