#include "link/portnumber.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestPortNumber : public QObject
{
    Q_OBJECT

private slots:
    void defaultMapping_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("device");

        QTest::addRow("0 is no port") << 0 << "";
        QTest::addRow("-1 is no port") << -1 << "";
        QTest::addRow("1 is the first on-board port") << 1 << "/dev/ttyS0";
        QTest::addRow("32 is the last on-board port") << 32 << "/dev/ttyS31";
        QTest::addRow("33 is the first USB adapter") << 33 << "/dev/ttyUSB0";
        QTest::addRow("64 is the last USB adapter") << 64 << "/dev/ttyUSB31";
        QTest::addRow("65 is the first modem-class device") << 65 << "/dev/ttyACM0";
        QTest::addRow("96 is the last modem-class device") << 96 << "/dev/ttyACM31";
        QTest::addRow("97 has no default") << 97 << "";
        QTest::addRow("255 has no default") << 255 << "";
        QTest::addRow("256 is no port") << 256 << "";
    }

    void defaultMapping()
    {
        QFETCH(int, number);
        QTEST(defaultPortDevice(number), "device");
    }

    void linkInExeDirWins()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString target = dir.filePath("device");
        QVERIFY(QFile(target).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(target, dir.filePath("com3")));

        QCOMPARE(resolvePortDevice(3, dir.path()), target);
        // A link beyond the default ranges still names a port.
        QVERIFY(QFile::link(target, dir.filePath("com200")));
        QCOMPARE(resolvePortDevice(200, dir.path()), target);
    }

    void chainOfLinksResolvesToTheDevice()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString target = dir.filePath("device");
        QVERIFY(QFile(target).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(target, dir.filePath("by-id")));
        QVERIFY(QFile::link("by-id", dir.filePath("com7"))); // relative, like /dev/serial/by-id

        QCOMPARE(resolvePortDevice(7, dir.path()), target);
    }

    void danglingLinkNamesItsTarget()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString missing = dir.filePath("unplugged");
        QVERIFY(QFile::link(missing, dir.filePath("com1")));

        QCOMPARE(resolvePortDevice(1, dir.path()), missing);
    }

    void numbersOutsidePortRangeIgnoreLinks()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QFile::link("/dev/null", dir.filePath("com0")));
        QVERIFY(QFile::link("/dev/null", dir.filePath("com256")));

        QCOMPARE(resolvePortDevice(0, dir.path()), QString());
        QCOMPARE(resolvePortDevice(256, dir.path()), QString());
    }
};

QTEST_GUILESS_MAIN(TestPortNumber)
#include "tst_portnumber.moc"
