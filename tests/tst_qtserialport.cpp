// The port layer: port numbers to devices, and the real port on a pseudo-terminal.
#include "link/portadvice.h"
#include "link/portnumber.h"
#include "link/qtserialport.h"
#include "pty.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <ctime>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// The error number an operation throws, or 0.
int errorOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const SerialPortError &error) {
        return error.number;
    }
    return 0;
}
} // namespace

class TestQtSerialPort : public QObject
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
        QtSerialPort port(dir.path());
        for (int number : {4, 150}) { // a dangling link, a number without default device
            port.setCommPort(number);
            QCOMPARE(errorOf([&] { port.setPortOpen(true); }), SerialErrors::InvalidPort);
            QVERIFY(!port.lastErrorText().isEmpty());
        }
    }

    void badSettingsAreRefused_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("error");
        for (const char *refused : {"96OO,N,8,1", "-9600,N,8,1", "9600.5,N,8,1", "0,N,8,1", "9601,N,8,1",
                                    "99999999999,N,8,1", "9600,E,8,1", "", " 9600,N,8,1"})
            QTest::addRow("\"%s\"", refused) << QString::fromLatin1(refused) << SerialErrors::BadSettings;
        for (const char *accepted : {"9600,N,8,1", "115200,n,8,1", "4000000,N,8,1"})
            QTest::addRow("\"%s\"", accepted) << QString::fromLatin1(accepted) << 0;
    }
    void badSettingsAreRefused()
    {
        QFETCH(QString, settings);
        QtSerialPort port(dir.path());
        port.setSettings(u"19200,N,8,1"_s);
        const int error = errorOf([&] { port.setSettings(settings); });
        QTEST(error, "error");
        QCOMPARE(port.settings(), error ? u"19200,N,8,1"_s : settings);
    }

    void talksToAPtyThroughItsLinkUntilTheOtherEndGoesAway()
    {
        PtyPair pty;
        QtSerialPort port(dir.path());
        QCOMPARE(errorOf([&] { port.output("I?\r"); }), SerialErrors::PortClosed);
        port.setDTREnable(false); // remembered while closed, applied at open
        port.setRTSEnable(false);
        if (!pty.open())
            QSKIP(qPrintable("no pseudo-terminal: " + pty.errorString()));
        QVERIFY(link(1, pty.slavePath()));
        QCOMPARE(errorOf([&] { port.setPortOpen(true); }), 0);
        // A pty has no modem lines: no reason to fail.
        QCOMPARE(errorOf([&] { port.setDTREnable(false); }) + errorOf([&] { port.setRTSEnable(false); }), 0);
        QCOMPARE(errorOf([&] { port.output("I?\r"); }), 0);
        QCOMPARE(pty.readMaster(2000, 3), "I?\r"_ba);
        QSignalSpy events(&port, &SerialPort::commEvent);
        pty.writeMaster("DUTY01\r\n");
        QByteArray got;
        QTRY_VERIFY((got += port.readAll()).size() >= 8);
        QCOMPARE(got, "DUTY01\r\n"_ba);
        QCOMPARE(events.value(0), QVariantList{SerialPort::CommEventReceive});

        QVERIFY(link(2, dir.filePath("com1"))); // another name for the same device
        QtSerialPort second(dir.path());
        second.setCommPort(2);
        QCOMPARE(errorOf([&] { second.setPortOpen(true); }), SerialErrors::PortInUse);
        QVERIFY2(second.lastErrorText().contains(u"held by another program"_s),
                 qPrintable(second.lastErrorText()));
        port.setPortOpen(false);
        QCOMPARE(errorOf([&] { second.setPortOpen(true); }), 0);
        second.setPortOpen(false);

        QCOMPARE(errorOf([&] { port.setPortOpen(true); }), 0);
        const std::clock_t before = std::clock();
        pty.closeMaster();
        QTRY_VERIFY(!port.portOpen());
        QTest::qWait(300);
        QVERIFY2(std::clock() - before < CLOCKS_PER_SEC / 5, "a busy processor after the hang-up");
        QVERIFY(!port.lastErrorText().isEmpty());
        QCOMPARE(errorOf([&] { port.output("I?\r"); }), SerialErrors::PortClosed);
        PtyPair replacement; // a new device behind the same number
        QVERIFY(replacement.open() && link(1, replacement.slavePath()));
        QCOMPARE(errorOf([&] { port.setPortOpen(true); }) + errorOf([&] { port.output("I?\r"); }), 0);
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
        QtSerialPort port(dir.path());
        QCOMPARE(errorOf([&] { port.setPortOpen(true); }), 0);
        QByteArray big(200000, 'x'); // more than a pty holds
        for (qsizetype i = 0; i < big.size(); i += 97)
            big[i] = char('0' + i % 10);
        QCOMPARE(errorOf([&] { port.output(big); }), 0);
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
        QCOMPARE(errorOf([&] { port.output("I?\r"); }), SerialErrors::WriteFailed);
        QVERIFY(!port.lastErrorText().isEmpty());
        QTRY_VERIFY(!port.portOpen());
        QCOMPARE(errorOf([&] { port.output("I?\r"); }), SerialErrors::PortClosed);
    }

    void adviceNamesTheWayOut_data()
    {
        QTest::addColumn<int>("trouble");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QStringList>("says");
        QTest::addColumn<QStringList>("doesNotSay");
        QTest::addRow("no permission")
            << int(PortTrouble::NoPermission) << u"/dev/ttyUSB0"_s
            << QStringList{u"/dev/ttyUSB0"_s, u"dialout"_s, u"usermod"_s} << QStringList{u"ModemManager"_s};
        QTest::addRow("held, a USB serial adapter") << int(PortTrouble::HeldByOther) << u"/dev/ttyUSB1"_s
                                                    << QStringList{u"/dev/ttyUSB1"_s, u"another program"_s}
                                                    << QStringList{u"ModemManager"_s, u"dialout"_s};
        QTest::addRow("held, a CDC device")
            << int(PortTrouble::HeldByOther) << u"/dev/ttyACM0"_s
            << QStringList{u"another program"_s, u"ModemManager"_s, u"udev"_s} << QStringList{u"dialout"_s};
    }
    void adviceNamesTheWayOut()
    {
        QFETCH(int, trouble);
        QFETCH(QString, device);
        QFETCH(QStringList, says);
        QFETCH(QStringList, doesNotSay);
        const QString advice = portAdvice(PortTrouble(trouble), device);
        for (const QString &word : says)
            QVERIFY2(advice.contains(word), qPrintable(word + u" missing from: "_s + advice));
        for (const QString &word : doesNotSay)
            QVERIFY2(!advice.contains(word), qPrintable(word + u" in: "_s + advice));
    }

    // Only testable without root: root opens any device.
    void aPortWithoutPermissionSaysWhatToDo()
    {
        if (::geteuid() == 0)
            QSKIP("root may open any device");
        PtyPair pty;
        if (!pty.open())
            QSKIP(qPrintable("no pseudo-terminal: " + pty.errorString()));
        QVERIFY(link(1, pty.slavePath()));
        QVERIFY(QFile::setPermissions(pty.slavePath(), QFileDevice::Permissions()));
        QtSerialPort port(dir.path());
        QCOMPARE(errorOf([&] { port.setPortOpen(true); }), SerialErrors::OpenFailed);
        QVERIFY2(port.lastErrorText().contains(qt_error_string(EACCES)), qPrintable(port.lastErrorText()));
        QVERIFY2(port.lastErrorText().contains(u"dialout"_s), qPrintable(port.lastErrorText()));
    }
};

QTEST_GUILESS_MAIN(TestQtSerialPort)
#include "tst_qtserialport.moc"
