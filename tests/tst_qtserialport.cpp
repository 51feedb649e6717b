#include "link/qtserialport.h"
#include "pty.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <unistd.h>

#define OPEN_PTY_OR_SKIP(pty)                                                                                \
    do {                                                                                                     \
        if (!(pty).open())                                                                                   \
            QSKIP(qPrintable(QStringLiteral("no pseudo-terminal: ") + (pty).errorString()));                 \
    } while (false)

namespace {

// The error number an operation throws, or 0 when it succeeds.
template <typename Operation> int errorNumberOf(Operation operation)
{
    try {
        operation();
    } catch (const SerialPortError &error) {
        return error.number;
    }
    return 0;
}

double cpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

} // namespace

class TestQtSerialPort : public QObject
{
    Q_OBJECT

private:
    // exeDir with com<number> pointing at target.
    bool link(QTemporaryDir &dir, int number, const QString &target)
    {
        const QString name = dir.filePath(QStringLiteral("com%1").arg(number));
        QFile::remove(name);
        return QFile::link(target, name);
    }

    void openThroughLink(QtSerialPort &port, PtyPair &pty, QTemporaryDir &dir)
    {
        QVERIFY(link(dir, 1, pty.slavePath()));
        QCOMPARE(errorNumberOf([&] {
                     port.setCommPort(1);
                     port.setSettings(QStringLiteral("9600,N,8,1"));
                     port.setHandshaking(0);
                     port.setPortOpen(true);
                 }),
                 0);
        QVERIFY(port.portOpen());
    }

private slots:
    void opensThroughTheLinkAndSends()
    {
        PtyPair pty;
        OPEN_PTY_OR_SKIP(pty);
        QTemporaryDir dir;
        QtSerialPort port(dir.path());
        openThroughLink(port, pty, dir);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(port.devicePath(), QFileInfo(pty.slavePath()).canonicalFilePath());

        QCOMPARE(errorNumberOf([&] { port.output("I?\r"); }), 0);
        QCOMPARE(pty.readMaster(2000, 3), QByteArray("I?\r"));
    }

    void receivedBytesAreSignalledAndRead()
    {
        PtyPair pty;
        OPEN_PTY_OR_SKIP(pty);
        QTemporaryDir dir;
        QtSerialPort port(dir.path());
        openThroughLink(port, pty, dir);
        if (QTest::currentTestFailed())
            return;
        QSignalSpy events(&port, &SerialPort::commEvent);

        pty.writeMaster("DUTY01\r\n");
        QByteArray got;
        QTRY_VERIFY((got += port.readAll()).size() >= 8);
        QCOMPARE(got, QByteArray("DUTY01\r\n"));
        QVERIFY(!events.isEmpty());
        QCOMPARE(events.first().first().toInt(), SerialPort::CommEventReceive);
        QCOMPARE(port.inBufferCount(), 0);
    }

    void modemLinesOnAPtyAreNoFailure()
    {
        PtyPair pty;
        OPEN_PTY_OR_SKIP(pty);
        QTemporaryDir dir;
        QtSerialPort port(dir.path());
        // Remembered while closed, applied at open.
        port.setDTREnable(false);
        port.setRTSEnable(false);
        openThroughLink(port, pty, dir);
        if (QTest::currentTestFailed())
            return;

        QCOMPARE(errorNumberOf([&] { port.setDTREnable(false); }), 0);
        QCOMPARE(errorNumberOf([&] { port.setRTSEnable(false); }), 0);
        QVERIFY(port.portOpen());
        QCOMPARE(errorNumberOf([&] { port.output("x"); }), 0);
        QCOMPARE(pty.readMaster(2000), QByteArray("x"));
    }

    void outputOnAClosedPortFails()
    {
        QtSerialPort port(QDir::tempPath());
        QCOMPARE(errorNumberOf([&] { port.output("I?\r"); }), SerialErrors::PortClosed);
        QVERIFY(!port.lastErrorText().isEmpty());
    }

    void settings_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("error");

        QTest::addRow("letters O for zeros are refused") << "96OO,N,8,1" << SerialErrors::BadSettings;
        QTest::addRow("a negative rate is refused") << "-9600,N,8,1" << SerialErrors::BadSettings;
        QTest::addRow("a fractional rate is refused") << "9600.5,N,8,1" << SerialErrors::BadSettings;
        QTest::addRow("a zero rate is refused") << "0,N,8,1" << SerialErrors::BadSettings;
        QTest::addRow("a rate termios cannot set is refused") << "9601,N,8,1" << SerialErrors::BadSettings;
        QTest::addRow("a rate beyond 32 bits is refused") << "99999999999,N,8,1" << SerialErrors::BadSettings;
        QTest::addRow("even parity is refused") << "9600,E,8,1" << SerialErrors::BadSettings;
        QTest::addRow("an empty text is refused") << "" << SerialErrors::BadSettings;
        QTest::addRow("a leading blank is refused") << " 9600,N,8,1" << SerialErrors::BadSettings;
        QTest::addRow("9600 with N is accepted") << "9600,N,8,1" << 0;
        QTest::addRow("115200 with lower-case n is accepted") << "115200,n,8,1" << 0;
        QTest::addRow("the fastest termios rate is accepted") << "4000000,N,8,1" << 0;
    }

    void settings()
    {
        QFETCH(QString, settings);
        QFETCH(int, error);
        QtSerialPort port(QDir::tempPath());
        port.setSettings(QStringLiteral("19200,N,8,1"));

        QCOMPARE(errorNumberOf([&] { port.setSettings(settings); }), error);
        QCOMPARE(port.settings(), error ? QStringLiteral("19200,N,8,1") : settings);
    }

    void portNumbers_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("error");

        QTest::addRow("0 is refused") << 0 << SerialErrors::InvalidPort;
        QTest::addRow("256 is refused") << 256 << SerialErrors::InvalidPort;
        QTest::addRow("255 is taken") << 255 << 0;
    }

    void portNumbers()
    {
        QFETCH(int, number);
        QFETCH(int, error);
        QtSerialPort port(QDir::tempPath());
        port.setCommPort(7);

        QCOMPARE(errorNumberOf([&] { port.setCommPort(number); }), error);
        QCOMPARE(port.commPort(), error ? 7 : number);
    }

    void openPortRefusesANewNumberAndASecondOpen()
    {
        PtyPair pty;
        OPEN_PTY_OR_SKIP(pty);
        QTemporaryDir dir;
        QtSerialPort port(dir.path());
        openThroughLink(port, pty, dir);
        if (QTest::currentTestFailed())
            return;

        QCOMPARE(errorNumberOf([&] { port.setCommPort(2); }), SerialErrors::PortInUse);
        QCOMPARE(errorNumberOf([&] { port.setPortOpen(true); }), SerialErrors::PortInUse);
        QCOMPARE(port.commPort(), 1);
        // The rate can change while open.
        QCOMPARE(errorNumberOf([&] { port.setSettings(QStringLiteral("115200,n,8,1")); }), 0);
        port.setPortOpen(false);
        QVERIFY(!port.portOpen());
        QCOMPARE(errorNumberOf([&] { port.setCommPort(2); }), 0);
    }

    void missingDevice_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("linkTarget"); // empty: no link

        QTest::addRow("a link to a device that is not there") << 5 << "/dev/pwm-panel-unplugged";
        QTest::addRow("a default device that is not there") << 96 << "";
        QTest::addRow("a number with no default device") << 200 << "";
    }

    void missingDevice()
    {
        QFETCH(int, number);
        QFETCH(QString, linkTarget);
        QTemporaryDir dir;
        if (linkTarget.isEmpty() && number == 96 && QFileInfo::exists(QStringLiteral("/dev/ttyACM31")))
            QSKIP("/dev/ttyACM31 exists on this machine");
        if (!linkTarget.isEmpty())
            QVERIFY(link(dir, number, linkTarget));
        QtSerialPort port(dir.path());
        port.setCommPort(number);

        QCOMPARE(errorNumberOf([&] { port.setPortOpen(true); }), SerialErrors::InvalidPort);
        QVERIFY(!port.portOpen());
        QVERIFY(!port.lastErrorText().isEmpty());
    }

    void openFailures_data()
    {
        QTest::addColumn<QFileDevice::Permissions>("permissions");

        QTest::addRow("a file that is no terminal") << (QFile::ReadOwner | QFile::WriteOwner);
        QTest::addRow("a device the user may not open, not mistaken for in use")
            << QFileDevice::Permissions();
    }

    void openFailures()
    {
        QFETCH(QFileDevice::Permissions, permissions);
        if (!permissions && ::geteuid() == 0)
            QSKIP("root may open any device");
        QTemporaryDir dir;
        QFile device(dir.filePath("device"));
        QVERIFY(device.open(QIODevice::WriteOnly));
        device.close();
        QVERIFY(device.setPermissions(permissions));
        QVERIFY(link(dir, 9, device.fileName()));
        QtSerialPort port(dir.path());
        port.setCommPort(9);

        QCOMPARE(errorNumberOf([&] { port.setPortOpen(true); }), SerialErrors::OpenFailed);
        QVERIFY(!port.portOpen());
        QVERIFY(!port.lastErrorText().isEmpty());
    }

    void secondProgramOnTheSameDeviceIsRefused()
    {
        PtyPair pty;
        OPEN_PTY_OR_SKIP(pty);
        QTemporaryDir dir;
        QtSerialPort first(dir.path());
        openThroughLink(first, pty, dir);
        if (QTest::currentTestFailed())
            return;
        // Another name for the same device: the lock must still be seen.
        QVERIFY(link(dir, 2, dir.filePath("com1")));
        QtSerialPort second(dir.path());
        second.setCommPort(2);

        QCOMPARE(errorNumberOf([&] { second.setPortOpen(true); }), SerialErrors::PortInUse);
        QVERIFY(!second.portOpen());
        QVERIFY(first.portOpen());

        first.setPortOpen(false);
        QCOMPARE(errorNumberOf([&] { second.setPortOpen(true); }), 0);
    }

    void otherEndGoingAwayClosesThePort()
    {
        PtyPair pty;
        OPEN_PTY_OR_SKIP(pty);
        QTemporaryDir dir;
        QtSerialPort port(dir.path());
        openThroughLink(port, pty, dir);
        if (QTest::currentTestFailed())
            return;

        const double cpuBefore = cpuSeconds();
        pty.closeMaster();
        QTRY_VERIFY(!port.portOpen());
        QTest::qWait(300);
        // Spinning on the error until the close would show up as a busy core.
        QVERIFY2(cpuSeconds() - cpuBefore < 0.2, qPrintable(QString::number(cpuSeconds() - cpuBefore)));
        QVERIFY(!port.lastErrorText().isEmpty());
        QCOMPARE(errorNumberOf([&] { port.output("I?\r"); }), SerialErrors::PortClosed);
        QCOMPARE(errorNumberOf([&] { port.setPortOpen(false); }), 0);

        // A new device behind the same number opens and works again.
        PtyPair replacement;
        OPEN_PTY_OR_SKIP(replacement);
        QVERIFY(link(dir, 1, replacement.slavePath()));
        QCOMPARE(errorNumberOf([&] { port.setPortOpen(true); }), 0);
        QCOMPARE(errorNumberOf([&] { port.output("I?\r"); }), 0);
        QCOMPARE(replacement.readMaster(2000, 3), QByteArray("I?\r"));
    }
};

QTEST_GUILESS_MAIN(TestQtSerialPort)
#include "tst_qtserialport.moc"
