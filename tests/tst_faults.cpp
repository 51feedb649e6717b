// What a bench does to the program over hours: devices unplugged and back,
// a second copy on the same port, a port it may not open, and devices that
// answer late, with CR LF, or with garbage. The real port, a pseudo-terminal.
#include "devicesimulator.h"
#include "link/systemserialport.h"
#include "testsupport/pty.h"
#include "windowharness.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <fcntl.h>
#include <unistd.h>

using Panel = WindowHarness<SystemSerialPort>;

#ifdef __SANITIZE_ADDRESS__
// The memory bound is this process's own: freed blocks must come back for
// reuse, not wait in AddressSanitizer's 256 MB quarantine.
extern "C" const char *__asan_default_options()
{
    return "quarantine_size_mb=4";
}
#endif

namespace {

// Writes without blocking the event loop the panel reads in.
void feed(PtyPair &pty, const QByteArray &bytes)
{
    const int fd = pty.masterFd();
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (errno == EAGAIN || errno == EINTR)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        else
            return;
    }
}

// Answers the identification and the two read-backs.
void answerIdentification(PtyPair &device, Panel &p)
{
    p.tick(SessionTimer::Search);
    QCOMPARE(device.readMaster(3000, 3), "I?\r"_ba);
    device.writeMaster("DUTY01\r");
    QTRY_COMPARE(p.status(), u"Found: DUTY01"_s);
    QCOMPARE(device.readMaster(3000, 12), "SV01?\rSV02?\r"_ba);
    device.writeMaster("SV01=10\rSV02=2\r");
    QTRY_COMPARE(p.w().dutyDisplay->text(), u"10"_s);
}

// The panel on a fresh pseudo-terminal through com1, identified and read back.
void plugIn(PtyPair &device, Panel &p)
{
    QVERIFY2(device.open(), qPrintable(device.errorString()));
    const QString com1 = p.dir.filePath(u"com1"_s);
    QFile::remove(com1);
    QVERIFY(QFile::link(device.slavePath(), com1));
    answerIdentification(device, p);
}

// Where QSerialPort keeps the lock file of a device, if it took one.
QString lockFileOf(const QString &device)
{
    const QString name = u"LCK.."_s + QString(device).remove(0, 5).replace(u'/', u'_'); // after "/dev/"
    for (const char *dir : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp",
                            "/var/tmp", "/var/lock/lockdev", "/run/lock"})
        if (const QString path = QLatin1String(dir) + u'/' + name; QFile::exists(path))
            return path;
    return {};
}

double residentMb()
{
    QFile f(u"/proc/self/status"_s);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // Unplugged, and back as another device behind the same by-id name (here
    // a link beside com1): found again without a tick, while what the user
    // typed in the settings boxes stays through the hang-up.
    void unpluggedAndPluggedBackIn()
    {
        auto device = std::make_unique<PtyPair>();
        Panel p;
        const QString byId = p.dir.filePath(u"by-id"_s);
        QVERIFY2(device->open(), qPrintable(device->errorString()));
        QVERIFY(QFile::link(device->slavePath(), byId) && QFile::link(byId, p.dir.filePath(u"com1"_s)));
        answerIdentification(*device, p);
        if (QTest::currentTestFailed())
            return;
        p.w().setButton->click();
        const std::pair<QLineEdit *, QString> typed[] = {
            {p.w().portBox, u"5"_s}, {p.w().deviceCodeBox, u"MYEDIT"_s}, {p.w().label1Box, u"Pump A"_s}};
        for (const auto &[box, text] : typed)
            box->setText(text);

        device.reset(); // unplugged: looked for again at once, nobody asked
        QVERIFY(QFile::remove(byId));
        QTRY_VERIFY(!p.port.isOpen());
        QTRY_COMPARE(p.status(), u"wait..."_s);
        QCOMPARE(p.session().state(), DeviceSession::State::Searching);
        QVERIFY(p.dialogs.shown.isEmpty());

        // Still unplugged: the link points nowhere; it keeps trying.
        p.tick(SessionTimer::Search);
        QCOMPARE(p.status(), u"Invalid Port Number!"_s);
        QVERIFY(!p.w().statusLabel->toolTip().isEmpty()); // the system's reason
        for (const auto &[box, text] : typed)
            QCOMPARE(box->text(), text);
        // A click meanwhile cannot be written: one question, Yes searches on.
        p.dialogs.defaultAnswer = QMessageBox::Yes;
        p.session().setDuty(0);
        QTRY_COMPARE(p.dialogs.shown.size(), 1);
        QCOMPARE(p.dialogs.shown[0].text,
                 u"NO RESPONSE! Check connected hardware! Do you want to continue ?"_s);
        QTRY_COMPARE(p.status(), u"wait..."_s);
        QCOMPARE(p.session().state(), DeviceSession::State::Searching);

        device = std::make_unique<PtyPair>(); // back: asked before the next search tick
        QVERIFY2(device->open(), qPrintable(device->errorString()));
        QVERIFY(QFile::link(device->slavePath(), byId));
        QCOMPARE(device->readMaster(3000, 3), "I?\r"_ba);
        device->writeMaster("DUTY01\r");
        QTRY_COMPARE(p.status(), u"Found: DUTY01"_s);
        QCOMPARE(device->readMaster(3000, 12), "SV01?\rSV02?\r"_ba);
        p.session().setDuty(100);
        QCOMPARE(device->readMaster(3000, 14), "SV01=100\rPV1?\r"_ba);
    }

    // The first copy is another process of the real program, found by the simulator.
    void aSecondCopyWaitsForTheFirst()
    {
        Panel second({}, u"pwm-panel"_s, kStepsByHand); // it searches once the first copy is in
        DeviceSimulator sim(second.dir.path(), {"--log", second.dir.filePath(u"device.log"_s)});
        QVERIFY2(sim.isUp(), qPrintable(sim.whyNot()));

        QVERIFY(QFile::link(DeviceSimulator::buildDir() + "/pwm-panel", second.dir.filePath(u"FIRST"_s)));
        QProcess first;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        first.setProcessEnvironment(env);
        first.start(second.dir.filePath(u"FIRST"_s), {});
        const auto stopFirst = qScopeGuard([&] {
            first.kill();
            first.waitForFinished(5000);
        });
        const auto deviceLog = [&] {
            QFile f(second.dir.filePath(u"device.log"_s));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        QTRY_VERIFY_WITH_TIMEOUT(deviceLog().contains("< SV02?"), 10000); // the first copy is in

        second.tick(SessionTimer::Search);
        QCOMPARE(second.status(), u"Port already open!"_s);
        QVERIFY2(second.w().statusLabel->toolTip().contains(u"another program"_s),
                 qPrintable(second.w().statusLabel->toolTip()));
        QCOMPARE(second.session().state(), DeviceSession::State::Searching); // keeps retrying

        // Ended as at logout: the port closed and its lock released, so that
        // a copy started by another user later can take the port.
        const QString lock = lockFileOf(QFileInfo(second.dir.filePath(u"com1"_s)).symLinkTarget());
        first.terminate();
        QVERIFY(first.waitForFinished(5000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QVERIFY2(lock.isEmpty() || !QFile::exists(lock), qPrintable(lock));
        second.tick(SessionTimer::Search);
        QTRY_COMPARE(second.status(), u"Found: DUTY01"_s);
    }

    // Root opens any device: the check then runs in a child as nobody, where it can.
    void aPortItMayNotOpen()
    {
        if (::geteuid() == 0) {
            QProcess child;
            child.start(u"setpriv"_s, {"--reuid=65534", "--regid=65534", "--clear-groups",
                                       QCoreApplication::applicationFilePath(), "aPortItMayNotOpen"});
            if (!child.waitForFinished(30000) || child.exitStatus() != QProcess::NormalExit)
                QSKIP("cannot run as nobody here");
            const QByteArray out = child.readAllStandardOutput() + child.readAllStandardError();
            if (child.exitCode() != 0 && !out.contains("FAIL!"))
                QSKIP(qPrintable(u"cannot run as nobody here: "_s + QString::fromLocal8Bit(out.left(300))));
            QVERIFY2(child.exitCode() == 0, out.constData());
            return;
        }
        PtyPair device;
        if (!device.open())
            QSKIP(qPrintable(device.errorString()));
        QVERIFY(QFile::setPermissions(device.slavePath(), QFileDevice::Permissions()));
        Panel p;
        QVERIFY(QFile::link(device.slavePath(), p.dir.filePath(u"com1"_s)));
        p.tick(SessionTimer::Search);
        QCOMPARE(p.status(), u"COM Port comm-error! 8020"_s);
        QCOMPARE(p.statusColor(), QColor::fromRgb(Colors::LightRed));
        const QString tip = p.w().statusLabel->toolTip();
        QVERIFY2(tip.contains(qt_error_string(EACCES)) && tip.contains(u"dialout"_s), qPrintable(tip));
        QCOMPARE(p.session().state(), DeviceSession::State::Searching);
    }

    void aSlowDeviceAndOneWithCrLf_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addRow("replies 3 s late") << QStringList{"--delay", "3000"};
        QTest::addRow("CR LF line ends") << QStringList{"--crlf"};
    }
    void aSlowDeviceAndOneWithCrLf()
    {
        QFETCH(QStringList, options);
        Panel p({}, u"pwm-panel"_s, SessionSchedule{}); // searching by itself from the start
        DeviceSimulator sim(p.dir.path(), QStringList{"--duty", "30", "--preset", "6"} + options);
        QVERIFY2(sim.isUp(), qPrintable(sim.whyNot()));
        QTRY_COMPARE_WITH_TIMEOUT(p.status(), u"Found: DUTY01"_s, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(p.w().dutyDisplay->text(), u"30"_s, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(highlighted(p.w()), QList{6}, 10000);
        p.session().setDuty(50);
        QTRY_COMPARE_WITH_TIMEOUT(p.w().dutyDisplay->text(), u"50"_s, 10000);
        QVERIFY(p.dialogs.shown.isEmpty());
    }

    // Whatever arrives is shown as text (never as markup), a failure as "???",
    // and a correct reply afterwards still works.
    void badLinesAreShownPlainAndDoNoHarm_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("status"); // after "COM:1 Baud:9600 COM data: "
        QTest::addRow("markup") << "<b>x</b>"_ba << u"<b>x</b>"_s;
        QTest::addRow("an image") << "<img src=\"file:///etc/passwd\">"_ba
                                  << u"<img src=\"file:///etc/passwd\">"_s;
        QTest::addRow("NUL bytes") << "SV0\x00"
                                      "1=5"_ba
                                   << u"SV0\u00001=5"_s;
        QTest::addRow("bytes above 127") << "\xff\xfe\x80 caf\xe9"_ba << u"\u00ff\u00fe\u0080 caf\u00e9"_s;
        QTest::addRow("control characters") << "\x1b[2J\x07\x08"_ba << u"\u001b[2J\u0007\u0008"_s;
        QTest::addRow("100,000 characters") << QByteArray(100000, 'Z') << u"???"_s;
    }
    void badLinesAreShownPlainAndDoNoHarm()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, status);
        PtyPair device;
        Panel p;
        plugIn(device, p);
        if (QTest::currentTestFailed())
            return;
        QSignalSpy lines(&p.session(), &DeviceSession::lineReceived);
        feed(device, line + '\r');
        QTRY_COMPARE(lines.size(), 1);
        QCOMPARE(p.status(), status == u"???"_s ? status : u"COM:1 Baud:9600 COM data: "_s + status);
        QCOMPARE(p.w().statusLabel->textFormat(), Qt::PlainText);
        QCOMPARE(p.w().dutyDisplay->text(), u"10"_s); // none of them a duty
        feed(device, "SV01=42\r");
        QTRY_COMPARE(p.w().dutyDisplay->text(), u"42"_s);
    }

    void aTalkativeDeviceKeepsMemoryBounded()
    {
        PtyPair device;
        Panel p;
        plugIn(device, p);
        if (QTest::currentTestFailed())
            return;
        const double before = residentMb();
        const QByteArray longLine = QByteArray(100000, 'L') + '\r';
        for (int i = 0; i < 50; ++i)
            feed(device, longLine);
        feed(device, QByteArray(20 << 20, 'N')); // 20 MB without a line end
        feed(device, "\rSV01=7\r");
        QTRY_COMPARE_WITH_TIMEOUT(p.w().dutyDisplay->text(), u"7"_s, 20000);
        const double grown = residentMb() - before;
        QVERIFY2(grown < 20, qPrintable(u"resident memory grew by %1 MB"_s.arg(grown)));
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
