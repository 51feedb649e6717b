// The window over the real serial port and its own timers, with a pseudo-terminal
// or the device simulator at the other end.
#include "devicesimulator.h"
#include "link/systemserialport.h"
#include "testsupport/pty.h"
#include "windowharness.h"

#include <QElapsedTimer>
#include <QProcess>
#include <csignal>
#include <fcntl.h>

using Panel = WindowHarness<SystemSerialPort>;

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void aSilentDeviceAnswersLate()
    {
        PtyPair device;
        if (!device.open())
            QSKIP(qPrintable(device.errorString()));
        QElapsedTimer clock;
        clock.start();
        Panel p({}, u"pwm-panel"_s, SessionSchedule{});
        QVERIFY(QFile::link(device.slavePath(), p.dir.filePath(u"com1"_s)));
        QCOMPARE(device.readMaster(6000, 3), "I?\r"_ba);
        const qint64 askedAt = clock.elapsed();
        QVERIFY2(askedAt >= 2300 && askedAt <= 3500, qPrintable(u"asked after %1 ms"_s.arg(askedAt)));

        QTRY_COMPARE_WITH_TIMEOUT(p.status(), u"No response!"_s, 8000);
        const qint64 shownAfter = clock.elapsed() - askedAt;
        QVERIFY2(shownAfter >= 4900 && shownAfter <= 6500,
                 qPrintable(u"shown after %1 ms"_s.arg(shownAfter)));
        QCOMPARE(p.statusColor(), QColor::fromRgb(Colors::LightRed));
        QCOMPARE(device.readMaster(1000, 6), "I?\rI?\r"_ba); // it kept asking

        device.writeMaster("DUTY01\r");
        QTRY_COMPARE(p.status(), u"Found: DUTY01"_s);
        QCOMPARE(device.readMaster(3000, 12), "SV01?\rSV02?\r"_ba);
        QCOMPARE(p.session().state(), DeviceSession::State::Identified);
        QCOMPARE(device.readMaster(2700, 3), QByteArray()); // no further identification
    }

    // Through a garbage burst to found, the read-backs, the controls, the settings saved, found again.
    void aUserSession()
    {
        Panel p;
        const QString log = p.dir.filePath(u"device.log"_s);
        DeviceSimulator sim(p.dir.path(),
                            {"--log", log, "--duty", "20", "--preset", "5", "--garbage", "100000"});
        QVERIFY2(sim.isUp(), qPrintable(sim.whyNot()));
        p.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.window));

        QElapsedTimer sinceTick;
        qint64 worstLateness = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this,
                [&] { worstLateness = std::max(worstLateness, sinceTick.restart() - 10); });
        sinceTick.start();
        ticker.start(10);
        QSignalSpy lines(&p.session(), &DeviceSession::lineReceived);
        p.tick(SessionTimer::Search); // rather than waiting for it
        QTRY_COMPARE_WITH_TIMEOUT(p.status(), u"Found: DUTY01"_s, 10000);
        ticker.stop();
        QVERIFY2(worstLateness < 500, qPrintable(u"a 10 ms timer was %1 ms late"_s.arg(worstLateness)));
        QVERIFY(lines.size() > 1000); // the garbage went through as lines

        QTRY_COMPARE(p.w().dutyDisplay->text(), u"20"_s);
        QTRY_COMPARE(highlighted(p.w()), QList{5}); // both read-backs answered
        QTest::mouseClick(p.w().duty50Button, Qt::LeftButton);
        QTRY_COMPARE(p.w().dutyDisplay->text(), u"50"_s);
        QTest::mouseClick(p.w().presetButtons[2], Qt::LeftButton);
        QTRY_COMPARE(highlighted(p.w()), QList{3});
        p.w().typedDutyBox->setText(u"37"_s);
        QTest::mouseClick(p.w().sendButton, Qt::LeftButton);
        QTRY_COMPARE(p.w().dutyDisplay->text(), u"37"_s);
        QTest::mouseClick(p.w().setButton, Qt::LeftButton);
        p.w().label1Box->setText(u"Fan A,B"_s);
        QTest::mouseClick(p.w().saveButton, Qt::LeftButton);
        QCOMPARE(p.iniBytes(),
                 "1,\"9600\",\"-\",0,\"DUTY01\"\r\n\"Fan A,B\",\"Label2\",\"nc\",\"nc\"\r\n"_ba);
        QVERIFY(!p.port.isOpen());
        p.tick(SessionTimer::Search);
        QTRY_COMPARE(p.status(), u"Found: DUTY01"_s);

        const auto wire = [&] { // what the device received, and its port opened and closed
            QFile f(log);
            QStringList events;
            for (const QByteArray &line :
                 f.open(QIODevice::ReadOnly) ? f.readAll().split('\n') : QByteArrayList())
                if (const QByteArray entry = line.mid(line.indexOf(' ') + 1);
                    entry.startsWith("< ") || entry.startsWith("* other side "))
                    events << QString::fromLatin1(entry);
            return events;
        };
        QTRY_COMPARE(wire(),
                     (QStringList{"* other side opened the port", "< I?", "< SV01?", "< SV02?", "< SV01=50",
                                  "< PV1?", "< SV02=3", "< SV01=37", "* other side closed the port",
                                  "* other side opened the port", "< I?", "< SV01?", "< SV02?"}));
        QVERIFY(p.dialogs.shown.isEmpty());
    }

    // The options work without a display, which the window itself needs: one
    // line and 1 without it; an unknown option ends with the usage and 2.
    void theCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment"); // NAME=value, on top of no display
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString usage = u"Usage: pwm-panel [options]"_s, noDisplay = u"pwm-panel: no display to open"_s;
        // clang-format off
        QTest::addRow("--help") << QStringList{u"--help"_s} << QStringList{} << 0 << usage << "";
        QTest::addRow("--help-all, with Qt's options") << QStringList{u"--help-all"_s} << QStringList{} << 0 << usage << "";
        QTest::addRow("--version") << QStringList{u"--version"_s} << QStringList{} << 0 << "pwm-panel 0.1\n" << "";
        QTest::addRow("unknown") << QStringList{u"--colour=red"_s} << QStringList{} << 2 << ""
                                 << "Unknown option 'colour'.\nUsage: pwm-panel [options]";
        QTest::addRow("an argument") << QStringList{u"COM3"_s} << QStringList{} << 2 << "" << "Unexpected argument 'COM3'.";
        QTest::addRow("no display") << QStringList{} << QStringList{} << 1 << "" << noDisplay;
        QTest::addRow("a display that does not answer") << QStringList{} << QStringList{u"DISPLAY=:65000"_s} << 1 << "" << noDisplay;
        QTest::addRow("a platform that cannot start") << QStringList{u"-platform"_s, u"nosuchplatform"_s} << QStringList{} << 1 << "" << noDisplay;
        // clang-format on
    }
    void theCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QProcess panel;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        for (const QString &setting : std::as_const(environment))
            env.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
        panel.setProcessEnvironment(env);
        panel.start(DeviceSimulator::buildDir() + u"/pwm-panel"_s, arguments);
        QVERIFY(panel.waitForFinished(10000));
        QCOMPARE(panel.exitStatus(), QProcess::NormalExit); // not Qt's abort
        QTEST(panel.exitCode(), "status");
        QFETCH(QString, out);
        QFETCH(QString, err);
        const QString printed = QString::fromLocal8Bit(panel.readAllStandardOutput());
        const QString said = QString::fromLocal8Bit(panel.readAllStandardError());
        // The expected start of each stream; nothing at all where none is expected.
        QCOMPARE(printed.left(out.size()), out);
        QCOMPARE(said.left(std::max(err.size(), qsizetype(1))), err);
        if (panel.exitCode() == 1)
            QCOMPARE(said.count(u'\n'), 1);
        QCOMPARE(printed.contains(u"--platform <name[:options]>"_s),
                 arguments == QStringList{u"--help-all"_s});
    }

    // The simulator on a device given by path ends when the other end hangs
    // up, and on SIGTERM or SIGINT, rather than spinning on a dead line.
    void theSimulatorEndsOnADeviceGivenByPath_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addRow("a hang-up") << u"hang-up"_s;
        QTest::addRow("SIGTERM") << u"SIGTERM"_s;
        QTest::addRow("SIGINT") << u"SIGINT"_s;
    }
    void theSimulatorEndsOnADeviceGivenByPath()
    {
        QFETCH(QString, end);
        PtyPair line;
        if (!line.open())
            QSKIP(qPrintable(line.errorString()));
        ::fcntl(line.masterFd(), F_SETFD, FD_CLOEXEC); // else the simulator holds the other end itself
        QProcess sim;
        sim.start(DeviceSimulator::buildDir() + u"/pwm-device-sim"_s, {u"--device"_s, line.slavePath()});
        QVERIFY(
            QTest::qWaitFor([&] { return sim.canReadLine() || sim.state() == QProcess::NotRunning; }, 10000));
        line.writeMaster("I?\r");
        QCOMPARE(line.readMaster(3000, 7), "DUTY01\r"_ba); // up and answering
        if (end == u"hang-up")
            line.closeMaster();
        else
            ::kill(pid_t(sim.processId()), end == u"SIGTERM" ? SIGTERM : SIGINT);
        QVERIFY2(sim.waitForFinished(5000), "still running");
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
