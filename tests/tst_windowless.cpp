// The program without a window, as a rig without a screen runs it: no
// display, the real port on a pseudo-terminal with the simulator, a script
// on a bus of the test's own, ended by SIGTERM.
#include "devicesimulator.h"
#include "privatebus.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestWindowless : public QObject
{
    Q_OBJECT

    static QString gdbus(const QStringList &arguments)
    {
        return gdbusCall(u"dev.kestravon.PwmPanel.RIG_1"_s, arguments);
    }

private slots:
    void identifiesPollsRecordsAndEndsWholeOnSigterm()
    {
        if (QStandardPaths::findExecutable(u"gdbus"_s).isEmpty())
            QSKIP("no gdbus on PATH (Debian package libglib2.0-bin; scripts/setup installs it)");
        PrivateBus bus;
        if (!bus.start())
            QSKIP(qPrintable(bus.errorString()));
        QTemporaryDir dir;
        QVERIFY(QFile::link(DeviceSimulator::buildDir() + u"/pwm-panel"_s, dir.filePath(u"RIG.1"_s)));
        QFile ini(dir.filePath(u"RIG.1.ini"_s));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(
            "1,\"9600\",\"-\",1,\"DUTY01\"\r\n\"PWM(%):\",\"Label2\",\"nc\",\"nc\"\r\n"); // polls every 2 s
        ini.close();
        DeviceSimulator sim(dir.path(), {u"--duty"_s, u"20"_s});
        QVERIFY2(sim.isUp(), qPrintable(sim.whyNot()));

        QProcess panel;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        panel.setProcessEnvironment(env);
        const QString recording = dir.filePath(u"rig.csv"_s);
        panel.start(dir.filePath(u"RIG.1"_s), {u"--no-window"_s, u"--record"_s, recording});
        QByteArray log;
        const auto logSays = [&](const char *text) {
            return QTest::qWaitFor(
                       [&] {
                           panel.waitForReadyRead(50);
                           log += panel.readAllStandardError();
                           return log.contains(text) || panel.state() == QProcess::NotRunning;
                       },
                       15000) &&
                   log.contains(text);
        };
        QVERIFY2(logSays("Found: DUTY01"), log.constData());
        // Each status change is one line, stamped with its time.
        QVERIFY2(log.split('\n').first().contains("T"), log.constData());

        QCOMPARE(gdbus({u"dev.kestravon.PwmPanel1.SetDuty"_s, u"50"_s}), u"()"_s);
        QVERIFY(QTest::qWaitFor(
            [&] {
                return gdbus({u"org.freedesktop.DBus.Properties.Get"_s, u"dev.kestravon.PwmPanel1"_s,
                              u"Duty"_s}) == u"(<'50'>,)";
            },
            5000));
        QFile csv(recording);
        QVERIFY(QTest::qWaitFor(
            [&] {
                csv.open(QIODevice::ReadOnly);
                const bool polled = csv.readAll().contains(",sent,PV01?,");
                csv.close();
                return polled;
            },
            8000));
        const auto recordingNow = [] {
            return gdbus(
                {u"org.freedesktop.DBus.Properties.Get"_s, u"dev.kestravon.PwmPanel1"_s, u"Recording"_s});
        };
        QCOMPARE(recordingNow(), u"(<'%1'>,)"_s.arg(recording));

        // A script moves the recording to another file; what it may not record to is refused.
        const QString second = dir.filePath(u"second.csv"_s);
        const QString refused = u"dev.kestravon.PwmPanel1.Error.RecordingRefused"_s;
        QVERIFY(gdbus({u"dev.kestravon.PwmPanel1.StartRecording"_s, second}).contains(refused)); // one runs
        QCOMPARE(gdbus({u"dev.kestravon.PwmPanel1.StopRecording"_s}), u"()"_s);
        QCOMPARE(recordingNow(), u"(<''>,)"_s);
        QVERIFY(gdbus({u"dev.kestravon.PwmPanel1.StartRecording"_s, u"relative.csv"_s}).contains(refused));
        QVERIFY(gdbus({u"dev.kestravon.PwmPanel1.StartRecording"_s, u"/dev/null"_s}).contains(refused));
        QVERIFY(gdbus({u"dev.kestravon.PwmPanel1.StartRecording"_s, dir.path()}).contains(refused));
        QCOMPARE(gdbus({u"dev.kestravon.PwmPanel1.StartRecording"_s, second}), u"()"_s);
        QVERIFY(logSays("Recording to " + second.toLocal8Bit()));

        panel.terminate(); // SIGTERM
        QVERIFY(panel.waitForFinished(5000));
        QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(panel.exitCode(), 0);
        for (const QString &path : {recording, second}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray rows = file.readAll();
            QVERIFY(rows.startsWith("time,elapsed_s,direction,text,name,value\r\n"));
            QVERIFY(rows.endsWith("\r\n")); // whole rows only
        }
        QFile first(recording);
        QVERIFY(first.open(QIODevice::ReadOnly));
        QVERIFY(first.readAll().contains(",sent,SV01=50,"));
    }
};

QTEST_GUILESS_MAIN(TestWindowless)
#include "tst_windowless.moc"
