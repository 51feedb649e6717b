// The port layer: port numbers to devices, and the real port on a pseudo-terminal.
#include "link/linesettings.h"
#include "link/portnumber.h"
#include "link/serialhardware.h"
#include "link/systemserialport.h"
#include "testsupport/pty.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <ctime>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// The failure number of an operation, or 0 when it succeeded.
int failureOf(const SerialPort &port, bool done)
{
    return done ? 0 : int(port.lastFailure().error);
}

LineSettings onPort(int number)
{
    return {number, 9600, {}};
}

// What the real probe says of the pty behind com1 in dir: opened, asked, closed.
bool realProbeSaysPresent(const QString &dir)
{
    bool asked = false, present = false;
    SystemSerialPort port(dir, [&](int fd) {
        asked = true;
        present = serialHardwarePresent(fd);
        return present;
    });
    const bool opened = port.open(onPort(1));
    port.close();
    return opened && asked && present;
}
} // namespace

class TestSystemSerialPort : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    bool link(int number, const QString &target)
    {
        QFile::remove(dir.filePath(u"com%1"_s.arg(number)));
        return QFile::link(target, dir.filePath(u"com%1"_s.arg(number)));
    }

private slots:
    void numbersMapToDefaultDevices_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("device");
        // clang-format off
        const std::pair<int, const char *> rows[] = {{0, ""}, {1, "/dev/ttyS0"}, {32, "/dev/ttyS31"},
            {33, "/dev/ttyUSB0"}, {64, "/dev/ttyUSB31"}, {65, "/dev/ttyACM0"}, {96, "/dev/ttyACM31"},
            {97, ""}};
        // clang-format on
        for (const auto &[number, device] : rows)
            QTest::addRow("%d", number) << number << QString::fromLatin1(device);
    }
    void numbersMapToDefaultDevices()
    {
        QFETCH(int, number);
        QTEST(defaultPortDevice(number), "device");
    }

    void aComLinkWinsAndAMissingDeviceIsAnInvalidPort()
    {
        const QString target = dir.filePath("device");
        QVERIFY(QFile(target).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(target, dir.filePath("by-id")) &&
                link(3, "by-id")); // relative, like /dev/serial/by-id
        QCOMPARE(resolvePortDevice(3, dir.path()), target);
        QVERIFY(link(200, target)); // beyond the default ranges
        QCOMPARE(resolvePortDevice(200, dir.path()), target);
        QVERIFY(link(4, dir.filePath("unplugged"))); // dangling: it still names the port
        QCOMPARE(resolvePortDevice(4, dir.path()), dir.filePath("unplugged"));
        SystemSerialPort port(dir.path());
        for (int number : {4, 150}) { // a dangling link, a number without default device
            QCOMPARE(failureOf(port, port.open(onPort(number))), int(PortError::InvalidPort));
            QVERIFY(!port.lastFailure().message.isEmpty());
        }
    }

    // What a by-id name says of its device, and how the status line words it
    // while it is waited for and once found.
    void aLinkNamesItsDevice_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("identity");
        QTest::addColumn<QString>("waiting");
        const QString ftdi = u"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0"_s;
        QTest::addRow("ftdi") << ftdi << "FTDI FT232R USB UART, serial A12345"
                              << "Waiting for FTDI FT232R USB UART, serial A12345 (" + ftdi + ")";
        const QString arduino = u"/dev/serial/by-id/usb-Arduino__www.arduino.cc__0043_7573-if00"_s;
        QTest::addRow("acm, doubled underscores")
            << arduino << "Arduino www.arduino.cc 0043, serial 7573"
            << "Waiting for Arduino www.arduino.cc 0043, serial 7573 (" + arduino + ")";
        QTest::addRow("escaped space, no serial")
            << u"/dev/serial/by-id/usb-Acme\x20Labs_Widget-if00"_s << "Acme Labs Widget"
            << "Waiting for Acme Labs Widget (/dev/serial/by-id/usb-Acme\x20Labs_Widget-if00)";
        QTest::addRow("by-path tells nothing")
            << u"/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"_s << ""
            << "";
        QTest::addRow("a pty") << u"/dev/pts/4"_s << ""
                               << "";
    }
    void aLinkNamesItsDevice()
    {
        QFETCH(QString, target);
        QTEST(identityFromStableName(target).text(), "identity");
        QVERIFY(link(9, target));
        const PortNaming naming = namePort(9, dir.path(), false);
        QCOMPARE(naming.link, target);
        QTEST(naming.waitingText(), "waiting");
        const QString found = naming.connectedText(9);
        QVERIFY2(
            found.endsWith(u" (com9 -> "_s + target + u')') &&
                found.startsWith(naming.identity.isEmpty() ? target : naming.identity.text() + u" on "_s),
            qPrintable(found));
        QVERIFY(QFile::remove(dir.filePath(u"com9"_s)));
    }

    // The other end of the line sees the rate, also one termios has no name for.
    void opensAtTheRateGiven_data()
    {
        QTest::addColumn<qint32>("rate");
        QTest::addRow("9600") << 9600;
        QTest::addRow("14400") << 14400;
    }
    void opensAtTheRateGiven()
    {
        QFETCH(qint32, rate);
        PtyPair pty;
        if (!pty.open())
            QSKIP(qPrintable("no pseudo-terminal: " + pty.errorString()));
        QVERIFY(link(1, pty.slavePath()));
        SystemSerialPort port(dir.path());
        QCOMPARE(failureOf(port, port.open({1, rate, {}})), 0);
        QCOMPARE(pty.lineSpeed(), rate);
    }

    // A node such as /dev/ttyS2 with no UART behind it opens, then fails every
    // line setting: it names no port. Played by a pty whose probe says so.
    void aDeviceNodeWithoutHardwareIsNoPort()
    {
        PtyPair pty;
        if (!pty.open())
            QSKIP(qPrintable("no pseudo-terminal: " + pty.errorString()));
        QVERIFY(link(1, pty.slavePath()));
        QVERIFY(realProbeSaysPresent(dir.path())); // a pty does not say it has none
        SystemSerialPort port(dir.path(), [](int) { return false; });
        QCOMPARE(failureOf(port, port.open(onPort(1))), int(PortError::InvalidPort));
        QVERIFY2(port.lastFailure().message.contains(u"no serial hardware"_s),
                 qPrintable(port.lastFailure().message));
        QVERIFY(!port.isOpen());
    }

    void talksToAPtyThroughItsLinkUntilTheOtherEndGoesAway()
    {
        PtyPair pty;
        SystemSerialPort port(dir.path());
        QCOMPARE(failureOf(port, port.write("I?\r")), int(PortError::PortClosed));
        if (!pty.open())
            QSKIP(qPrintable("no pseudo-terminal: " + pty.errorString()));
        QVERIFY(link(1, pty.slavePath()));
        // A pty has no modem lines to lower: no reason to fail.
        QCOMPARE(failureOf(port, port.open(onPort(1))), 0);
        QCOMPARE(failureOf(port, port.write("I?\r")), 0);
        QCOMPARE(pty.readMaster(2000, 3), "I?\r"_ba);
        QSignalSpy ready(&port, &SerialPort::readyRead);
        pty.writeMaster("DUTY01\r\n");
        QByteArray got;
        QTRY_VERIFY((got += port.readAll()).size() >= 8);
        QCOMPARE(got, "DUTY01\r\n"_ba);
        QVERIFY(!ready.isEmpty());

        QVERIFY(link(2, dir.filePath("com1"))); // another name for the same device
        SystemSerialPort second(dir.path());
        QCOMPARE(failureOf(second, second.open(onPort(2))), int(PortError::PortInUse));
        QVERIFY2(second.lastFailure().message.contains(u"held by another program"_s),
                 qPrintable(second.lastFailure().message));
        port.close();
        QCOMPARE(failureOf(second, second.open(onPort(2))), 0);
        second.close();

        QCOMPARE(failureOf(port, port.open(onPort(1))), 0);
        const QString earlier = port.lastFailure().message;
        const std::clock_t before = std::clock();
        pty.closeMaster();
        QTRY_VERIFY(!port.isOpen());
        QTest::qWait(300);
        QVERIFY2(std::clock() - before < CLOCKS_PER_SEC / 5, "a busy processor after the hang-up");
        // The hang-up leaves its own reason, not one from before.
        QVERIFY(!port.lastFailure().message.isEmpty() && port.lastFailure().message != earlier);
        QCOMPARE(failureOf(port, port.write("I?\r")), int(PortError::PortClosed));
        PtyPair replacement; // a new device behind the same number
        QVERIFY(replacement.open() && link(1, replacement.slavePath()));
        QCOMPARE(failureOf(port, port.open(onPort(1))) + failureOf(port, port.write("I?\r")), 0);
        QCOMPARE(replacement.readMaster(2000, 3), "I?\r"_ba);
    }

    // Commands go straight to the line; what the line cannot take at once
    // follows through the queue, and a line already gone fails the write itself.
    void writesWholeOrFailsAtOnce()
    {
        PtyPair pty;
        if (!pty.open())
            QSKIP(qPrintable("no pseudo-terminal: " + pty.errorString()));
        QVERIFY(link(1, pty.slavePath()));
        SystemSerialPort port(dir.path());
        QCOMPARE(failureOf(port, port.open(onPort(1))), 0);
        QByteArray big(200000, 'x'); // more than a pty holds
        for (qsizetype i = 0; i < big.size(); i += 97)
            big[i] = char('0' + i % 10);
        QCOMPARE(failureOf(port, port.write(big)), 0);
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < big.size() && clock.elapsed() < 5000) {
            got += pty.readMaster(50);
            QCoreApplication::processEvents();
        }
        QCOMPARE(got.size(), big.size());
        QVERIFY(got == big);

        pty.closeMaster(); // no event has run: only the write can tell
        QCOMPARE(failureOf(port, port.write("I?\r")), int(PortError::WriteFailed));
        QVERIFY(!port.lastFailure().message.isEmpty());
        QTRY_VERIFY(!port.isOpen());
        QCOMPARE(failureOf(port, port.write("I?\r")), int(PortError::PortClosed));
    }

    void aPortWithoutPermissionSaysWhatToDo()
    {
        if (::geteuid() == 0)
            QSKIP("root may open any device");
        PtyPair pty;
        if (!pty.open())
            QSKIP(qPrintable("no pseudo-terminal: " + pty.errorString()));
        QVERIFY(link(1, pty.slavePath()));
        QVERIFY(QFile::setPermissions(pty.slavePath(), QFileDevice::Permissions()));
        SystemSerialPort port(dir.path());
        QCOMPARE(failureOf(port, port.open(onPort(1))), int(PortError::OpenFailed));
        const QString message = port.lastFailure().message;
        QVERIFY2(message.contains(qt_error_string(EACCES)), qPrintable(message));
        QVERIFY2(message.contains(u"dialout"_s), qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(TestSystemSerialPort)
#include "tst_systemserialport.moc"
