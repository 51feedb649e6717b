// The window over the real serial port, with a pseudo-terminal or the device
// simulator at the other end and the window's own timers running.
#include "app/vbcolor.h"
#include "link/qtserialport.h"
#include "tests/pty.h"
#include "tests/testsupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#define OPEN_PTY_OR_SKIP(pty)                                                                                \
    do {                                                                                                     \
        if (!(pty).open())                                                                                   \
            QSKIP(qPrintable(QStringLiteral("no pseudo-terminal: ") + (pty).errorString()));                 \
    } while (false)

namespace {

const QString kNoResponsePrompt =
    QStringLiteral("NO RESPONSE! Check connected hardware! Do you want to continue ?");

QString buildDir()
{
    const QString fromEnv = qEnvironmentVariable("PWM_BUILD_DIR");
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath();
}

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Lets the program run undisturbed for a while: a window of observation,
// not a wait for something to happen.
void runEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// The window over a real QtSerialPort, its executable folder a fresh temporary one.
struct Panel
{
    QTemporaryDir dir;
    QtSerialPort port{dir.path()};
    ScriptedMessageBoxes boxes;
    std::unique_ptr<MainForm> form;
    int endCalls = 0;

    void start()
    {
        form = std::make_unique<MainForm>(port, boxes,
                                          ExecutableInfo{dir.path(), QStringLiteral("pwm-panel")}, [this] {
                                              ++endCalls;
                                              throw ProgramEnded{};
                                          });
    }
    bool linkCom1(const QString &target) { return QFile::link(target, dir.filePath(QStringLiteral("com1"))); }
    bool writeIni(const QByteArray &bytes)
    {
        QFile f(dir.filePath(QStringLiteral("pwm-panel.ini")));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    const MainFormControls &c() const { return form->controls(); }
    QString status() const { return c().lblStatus->text(); }
    QColor statusColor() const { return c().lblStatus->palette().color(QPalette::Window); }
};

// The device simulator as a child process; stopped when this goes away.
class Simulator
{
public:
    ~Simulator() { stop(); }

    // Starts it and reads the port path from its first line. On failure
    // *skipReason is set when the machine has no pseudo-terminal to give.
    bool start(const QStringList &args, QString *error, QString *skipReason)
    {
        const QString program = buildDir() + QStringLiteral("/pwm-device-sim");
        if (!QFileInfo(program).isExecutable()) {
            *error = QStringLiteral("no simulator at %1").arg(program);
            return false;
        }
        m_process.setProgram(program);
        // Gone with us even if the test dies before its cleanup.
        m_process.setArguments(args + QStringList{QStringLiteral("--exit-with"),
                                                  QString::number(QCoreApplication::applicationPid())});
        m_process.start();
        if (!m_process.waitForStarted(5000)) {
            *error = m_process.errorString();
            return false;
        }
        const QDeadlineTimer deadline(10000);
        while (!m_process.canReadLine() && m_process.state() == QProcess::Running && !deadline.hasExpired())
            m_process.waitForReadyRead(100);
        if (!m_process.canReadLine()) {
            m_process.waitForFinished(1000);
            const QString err = QString::fromLocal8Bit(m_process.readAllStandardError());
            if (err.contains(QStringLiteral("openpty")))
                *skipReason = QStringLiteral("no pseudo-terminal: ") + err.trimmed();
            *error = QStringLiteral("simulator gave no port: ") + err.trimmed();
            return false;
        }
        m_portPath = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        return true;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QString portPath() const { return m_portPath; }

private:
    QProcess m_process;
    QString m_portPath;
};

#define START_SIMULATOR_OR_FAIL(sim, args)                                                                   \
    do {                                                                                                     \
        QString error_, skip_;                                                                               \
        if (!(sim).start((args), &error_, &skip_)) {                                                         \
            if (!skip_.isEmpty())                                                                            \
                QSKIP(qPrintable(skip_));                                                                    \
            QFAIL(qPrintable(error_));                                                                       \
        }                                                                                                    \
    } while (false)

// Writes to the pty master from a thread of its own: the window reads the
// other end in this thread, so a blocking write here would never finish.
class MasterWriter
{
public:
    MasterWriter(int masterFd, QByteArray bytes) : m_fd(masterFd), m_bytes(std::move(bytes))
    {
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        m_thread = std::thread([this] { run(); });
    }
    ~MasterWriter()
    {
        m_stop = true;
        m_thread.join();
    }
    bool done() const { return m_done; }

private:
    void run()
    {
        qsizetype at = 0;
        while (!m_stop && at < m_bytes.size()) {
            const ssize_t n = ::write(m_fd, m_bytes.constData() + at,
                                      size_t(std::min<qsizetype>(4096, m_bytes.size() - at)));
            if (n > 0) {
                at += n;
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd pfd{m_fd, POLLOUT, 0};
                ::poll(&pfd, 1, 50);
            } else {
                break;
            }
        }
        m_done = at == m_bytes.size();
    }

    int m_fd;
    QByteArray m_bytes;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// Random bytes of every value: a long run without CR (a line the assembler has
// to cut), then many short lines of noise.
QByteArray garbageBurst()
{
    QRandomGenerator rng(20240607);
    QByteArray bytes;
    bytes.reserve(200 * 1024);
    for (int i = 0; i < 120 * 1024; ++i) {
        char b = char(rng.bounded(256));
        bytes.append(b == '\r' ? '\0' : b);
    }
    while (bytes.size() < 200 * 1024) {
        const int runLength = int(rng.bounded(1, 64));
        for (int i = 0; i < runLength; ++i) {
            const char b = char(rng.bounded(256));
            bytes.append(b == '\r' ? '\xff' : b);
        }
        bytes.append('\r');
    }
    return bytes;
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    void identifiesOnTheFirstTickAndThenReadsBack()
    {
        PtyPair device;
        OPEN_PTY_OR_SKIP(device);
        Panel p;
        QVERIFY(p.linkCom1(device.slavePath()));

        QElapsedTimer sinceStart;
        sinceStart.start();
        p.start();
        const QByteArray query = device.readMaster(6000, 3);
        const qint64 askedAt = sinceStart.elapsed();
        QCOMPARE(query, QByteArray("I?\r"));
        QVERIFY2(askedAt >= 2300 && askedAt <= 3500,
                 qPrintable(QStringLiteral("asked after %1 ms").arg(askedAt)));
        QCOMPARE(p.status(), QStringLiteral("Searching for uc code..."));

        device.writeMaster("DUTY01\r");
        QTRY_COMPARE(p.status(), QStringLiteral("Found: DUTY01"));
        QCOMPARE(p.statusColor(), vbColor(VbColor::Green));
        QCOMPARE(p.c().lblDevCode->text(), QStringLiteral("Kestravon: uc=DUTY01  pc=pwm-panel"));
        QVERIFY(!p.form->Timer1.isActive());
        QVERIFY(!p.form->TimerCom.isActive());

        // Three seconds on the wire: the two read-backs and no further identification.
        const QByteArray after = device.readMaster(3000, std::numeric_limits<qsizetype>::max());
        QCOMPARE(after, QByteArray("SV01?\rSV02?\r"));
        QCOMPARE(p.status(), QStringLiteral("Found: DUTY01"));
        QVERIFY(p.port.portOpen());
    }

    void silentDeviceGivesNoResponseOnOneOpenPort()
    {
        PtyPair device;
        OPEN_PTY_OR_SKIP(device);
        Panel p;
        QVERIFY(p.linkCom1(device.slavePath()));
        p.start();

        QElapsedTimer sinceQuery;
        p.form->Timer1_Timer();
        sinceQuery.start();
        QCOMPARE(p.status(), QStringLiteral("Searching for uc code..."));
        QVERIFY(p.port.portOpen());
        // A mark in the line settings that the port's next open would overwrite
        // (termios calls on the master act on the slave).
        termios mark{};
        QVERIFY(::tcgetattr(device.masterFd(), &mark) == 0);
        QVERIFY(mark.c_cc[VMIN] != 7);
        mark.c_cc[VMIN] = 7;
        QVERIFY(::tcsetattr(device.masterFd(), TCSANOW, &mark) == 0);

        QTRY_COMPARE_WITH_TIMEOUT(p.status(), QStringLiteral("No response!"), 8000);
        const qint64 shownAfter = sinceQuery.elapsed();
        QCOMPARE(p.statusColor(), vbColor(VbColor::LightRed));
        QVERIFY2(shownAfter >= 4900 && shownAfter <= 6500,
                 qPrintable(QStringLiteral("shown %1 ms after the first query").arg(shownAfter)));
        QVERIFY(p.form->Timer1.isActive()); // it keeps asking

        // The first query and the ticks at 2.5 s and 5 s, all over the port opened once.
        QCOMPARE(device.readMaster(1000, 9), QByteArray("I?\rI?\rI?\r"));
        QVERIFY(p.port.portOpen());
        termios now{};
        QVERIFY(::tcgetattr(device.masterFd(), &now) == 0);
        QCOMPARE(int(now.c_cc[VMIN]), 7);
    }

    void missingPortIsAnInvalidPortNumber_data()
    {
        QTest::addColumn<QString>("linkTarget"); // empty: no com1 link
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("needsAbsent"); // a device that must not exist for the row to mean anything

        QTest::addRow("com1 link to nowhere")
            << QStringLiteral("/nonexistent/ttyPWM") << QByteArray() << QString();
        QTest::addRow("no link, no default device") << QString()
                                                    << QByteArray("200,\"9600\",\"-\",0,\"DUTY01\"\r\n"
                                                                  "\"PWM(%):\",\"Label2\",\"nc\",\"nc\"\r\n")
                                                    << QString();
        QTest::addRow("no com1 link") << QString() << QByteArray() << QStringLiteral("/dev/ttyS0");
    }

    void missingPortIsAnInvalidPortNumber()
    {
        QFETCH(QString, linkTarget);
        QFETCH(QByteArray, ini);
        QFETCH(QString, needsAbsent);
        if (!needsAbsent.isEmpty() && QFileInfo::exists(needsAbsent))
            QSKIP(qPrintable(QStringLiteral("com1 falls back to %1, which exists here").arg(needsAbsent)));

        Panel p;
        if (!linkTarget.isEmpty())
            QVERIFY(p.linkCom1(linkTarget));
        if (!ini.isEmpty())
            QVERIFY(p.writeIni(ini));
        p.start();
        p.form->Timer1_Timer();

        QCOMPARE(p.status(), QStringLiteral("Invalid Port Number!"));
        QCOMPARE(p.statusColor(), vbColor(VbColor::LightRed));
        QVERIFY(!p.c().lblStatus->toolTip().isEmpty()); // the system's reason
        QVERIFY(!p.port.portOpen());
        QVERIFY(p.form->Timer1.isActive());
        QVERIFY(p.boxes.shown.isEmpty());
    }

    void garbageBurstLeavesTheProgramResponsive_data()
    {
        QTest::addColumn<bool>("fromSimulator");
        QTest::addRow("200 KB written on the line") << false;
        QTest::addRow("the simulator's burst") << true;
    }

    void garbageBurstLeavesTheProgramResponsive()
    {
        QFETCH(bool, fromSimulator);
        PtyPair device;
        Panel p;
        Simulator sim;
        std::optional<MasterWriter> writer;
        if (fromSimulator) {
            // It sends the burst on the first command, then answers it.
            START_SIMULATOR_OR_FAIL(sim, (QStringList{QStringLiteral("--garbage"), QStringLiteral("100000"),
                                                      QStringLiteral("--link"), p.dir.path()}));
        } else {
            OPEN_PTY_OR_SKIP(device);
            QVERIFY(p.linkCom1(device.slavePath()));
        }
        p.start();
        p.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.form.get()));

        QElapsedTimer sinceTick;
        qint64 worstLateness = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            worstLateness = std::max(worstLateness, sinceTick.restart() - 10);
        });
        sinceTick.start();
        ticker.start();

        p.form->Timer1_Timer();
        if (!fromSimulator) {
            QCOMPARE(device.readMaster(3000, 3), QByteArray("I?\r"));
            writer.emplace(device.masterFd(), garbageBurst() + QByteArray("DUTY01\r"));
            QTRY_VERIFY_WITH_TIMEOUT(writer->done(), 20000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(p.status(), QStringLiteral("Found: DUTY01"), 10000);
        ticker.stop();

        QCOMPARE(p.statusColor(), vbColor(VbColor::Green));
        QCOMPARE(p.c().lblDevCode->text(), QStringLiteral("Kestravon: uc=DUTY01  pc=pwm-panel"));
        QVERIFY(p.form->repliesInterpreted() > 1000); // the noise went through as lines
        QVERIFY2(worstLateness < 500, qPrintable(QStringLiteral("a 10 ms timer was %1 ms late").arg(worstLateness)));
        QVERIFY(p.port.portOpen());
    }

    void deviceGoneWhileIdentified()
    {
        PtyPair device;
        OPEN_PTY_OR_SKIP(device);
        Panel p;
        QVERIFY(p.linkCom1(device.slavePath()));
        p.start();
        p.form->Timer1_Timer();
        QCOMPARE(device.readMaster(3000, 3), QByteArray("I?\r"));
        device.writeMaster("DUTY01\r");
        QTRY_COMPARE(p.status(), QStringLiteral("Found: DUTY01"));
        // Let the read-backs go out first, so that nothing is due when the line drops.
        QCOMPARE(device.readMaster(4000, 12), QByteArray("SV01?\rSV02?\r"));
        device.writeMaster("SV01=10\rSV02=1\r");
        QTRY_VERIFY(!p.form->Timer2.isActive());
        QTRY_COMPARE(p.c().lblTemp[1]->text(), QStringLiteral("10"));

        device.closeMaster();
        const double cpuBefore = processCpuSeconds();
        runEventsFor(2000);
        const double cpuUsed = processCpuSeconds() - cpuBefore;
        QVERIFY2(cpuUsed < 0.3,
                 qPrintable(QStringLiteral("%1 s of CPU in 2 s with the line down").arg(cpuUsed)));
        QVERIFY(p.boxes.shown.isEmpty()); // nothing said until the next send

        p.boxes.defaultAnswer = MsgBoxResult::Yes;
        try {
            p.form->cmd50P_Click();
        } catch (const ProgramEnded &) {
            QFAIL("the program ended although the dialog was answered Yes");
        }
        QVERIFY(!p.boxes.shown.isEmpty());
        for (const ScriptedMessageBoxes::Shown &box : p.boxes.shown)
            QCOMPARE(box.prompt, kNoResponsePrompt);
        QCOMPARE(p.endCalls, 0);
        QCOMPARE(p.status(), QStringLiteral("wait..."));
        QCOMPARE(p.statusColor(), vbColor(VbColor::LightYellow));
        QVERIFY(p.form->Timer1.isActive());
        QVERIFY(!p.port.portOpen());
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
