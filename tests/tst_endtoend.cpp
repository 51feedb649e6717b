// The window over the real serial port and its own timers, with a pseudo-terminal
// or the device simulator at the other end.
#include "devicesimulator.h"
#include "link/systemserialport.h"
#include "testsupport/pty.h"
#include "windowharness.h"

#include <QElapsedTimer>
#include <QProcess>

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

    // The options work without a display; an unknown one ends with the usage and 2.
    void theCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addRow("--help") << QStringList{u"--help"_s} << 0 << "Usage: pwm-panel [options]"
                                << "";
        QTest::addRow("--version") << QStringList{u"--version"_s} << 0 << "pwm-panel 0.1\n"
                                   << "";
        QTest::addRow("unknown") << QStringList{u"--colour=red"_s} << 2 << ""
                                 << "Unknown option 'colour'.\nUsage: pwm-panel [options]";
        QTest::addRow("an argument") << QStringList{u"COM3"_s} << 2 << ""
                                     << "Unexpected argument 'COM3'.";
    }
    void theCommandLine()
    {
        QFETCH(QStringList, arguments);
        QProcess panel;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"DISPLAY"_s);
        env.remove(u"QT_QPA_PLATFORM"_s);
        panel.setProcessEnvironment(env);
        panel.start(DeviceSimulator::buildDir() + u"/pwm-panel"_s, arguments);
        QVERIFY(panel.waitForFinished(10000));
        QTEST(panel.exitCode(), "status");
        QFETCH(QString, out);
        QFETCH(QString, err);
        // The expected start of each stream; nothing at all where none is expected.
        QCOMPARE(QString::fromLocal8Bit(panel.readAllStandardOutput()).left(out.size()), out);
        QCOMPARE(
            QString::fromLocal8Bit(panel.readAllStandardError()).left(std::max(err.size(), qsizetype(1))),
            err);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
