// Speed and cost of the real window over the real serial port: the window
// reads a pseudo-terminal whose other end this program plays from threads of
// its own. Prints one table and optionally writes it as JSON.
#include "app/executableinfo.h"
#include "app/mainform.h"
#include "app/msgbox.h"
#include "link/qtserialport.h"
#include "tests/pty.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// ---------------------------------------------------------------- results

struct Metric
{
    QString name;
    double value = 0;
    QString unit;
    QString target;           // as printed
    std::optional<bool> pass; // empty: shown for information only
};

std::vector<Metric> g_metrics;
// Something did not work (a lost line, a wrong label), as opposed to being slow.
bool g_broken = false;

void report(QString name, double value, QString unit, QString target, std::optional<bool> pass)
{
    g_metrics.push_back({std::move(name), value, std::move(unit), std::move(target), pass});
}

void note(const QString &text)
{
    std::fprintf(stderr, "  %s\n", qPrintable(text));
}

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double cpuMs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Nearest rank.
double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t rank = size_t(std::ceil(p * double(v.size())));
    return v[std::clamp<size_t>(rank, 1, v.size()) - 1];
}

// ---------------------------------------------------------------- device side

// Writes all bytes to the (non-blocking) master, waiting while the pty is full.
bool writeAll(int fd, const char *data, size_t size, const std::atomic<bool> &stop)
{
    size_t done = 0;
    while (done < size && !stop) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd pfd{fd, POLLOUT, 0};
            ::poll(&pfd, 1, 100);
        } else {
            return false;
        }
    }
    return done == size;
}

// The controller: drains the master and answers the queries the window sends
// during identification and read-back, and echoes a frequency preset.
class Device
{
public:
    explicit Device(int masterFd) : m_fd(masterFd)
    {
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        m_wake = ::eventfd(0, EFD_NONBLOCK);
        m_thread = std::thread([this] { run(); });
    }
    ~Device()
    {
        m_stop = true;
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake, &one, sizeof one);
        m_thread.join();
        ::close(m_wake);
    }
    int fd() const { return m_fd; }
    const std::atomic<bool> &stopping() const { return m_stop; }
    std::atomic<quint64> commandsSeen{0};
    // A real controller echoes a set command; off, only queries are answered.
    std::atomic<bool> answerSettings{true};

private:
    std::string answer(const std::string &cmd)
    {
        if (!answerSettings && cmd.starts_with("SV0") && cmd[4] == '=')
            return {};
        if (cmd == "I?")
            return "DUTY01";
        if (cmd == "SV01?")
            return "SV01=50";
        if (cmd == "SV02?")
            return "SV02=" + m_preset;
        if (cmd.starts_with("SV02=")) {
            m_preset = cmd.substr(5);
            return cmd;
        }
        return {};
    }

    void run()
    {
        std::string pending;
        char buffer[4096];
        // Blocks without a time-out: an idle device side wakes nobody.
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake, POLLIN, 0}};
        while (!m_stop) {
            if (::poll(fds, 2, -1) < 0 && errno != EINTR)
                break;
            if (fds[1].revents)
                break;
            if (!(fds[0].revents & POLLIN))
                continue;
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                continue;
            pending.append(buffer, size_t(n));
            size_t cr;
            while ((cr = pending.find('\r')) != std::string::npos) {
                const std::string cmd = pending.substr(0, cr);
                pending.erase(0, cr + 1);
                ++commandsSeen;
                const std::string reply = answer(cmd);
                if (!reply.empty()) {
                    const std::string line = reply + '\r';
                    writeAll(m_fd, line.data(), line.size(), m_stop);
                }
            }
        }
    }

    int m_fd;
    int m_wake = -1;
    std::string m_preset = "3";
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// ---------------------------------------------------------------- window side

class SilentMessageBoxes final : public MessageBoxes
{
public:
    int MsgBox(const QString &prompt, int, const QString &title, const QString &, int) override
    {
        std::fprintf(stderr, "pwm-bench: the window raised a message box: %s / %s\n", qPrintable(title),
                     qPrintable(prompt));
        return MsgBoxResult::Cancel;
    }
};

// Runs the event loop for a while (a window of observation).
void runEventsFor(std::chrono::milliseconds length)
{
    QEventLoop loop;
    QTimer::singleShot(length, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool runEventsUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        runEventsFor(5ms);
    }
    return true;
}

[[noreturn]] void fatal(const QString &why)
{
    std::fprintf(stderr, "pwm-bench: %s\n", qPrintable(why));
    std::fflush(stderr);
    std::_Exit(2);
}

// The window as the program builds it, shown, over a real port whose com1
// link points at a fresh pseudo-terminal with the device thread at its master.
struct Rig
{
    PtyPair pty;
    QTemporaryDir dir;
    std::unique_ptr<QtSerialPort> port;
    SilentMessageBoxes boxes;
    std::unique_ptr<MainForm> form;
    std::unique_ptr<Device> device;

    Rig()
    {
        if (!pty.open())
            fatal(QStringLiteral("no pseudo-terminal: ") + pty.errorString());
        if (!dir.isValid() || !QFile::link(pty.slavePath(), dir.filePath(QStringLiteral("com1"))))
            fatal(QStringLiteral("cannot link com1 in ") + dir.path());
        device = std::make_unique<Device>(pty.masterFd());
        port = std::make_unique<QtSerialPort>(dir.path());
        form =
            std::make_unique<MainForm>(*port, boxes, ExecutableInfo{dir.path(), QStringLiteral("pwm-panel")},
                                       [] { fatal(QStringLiteral("the window ended the program")); });
        form->show();
    }
    ~Rig()
    {
        form.reset();
        port.reset();
        device.reset(); // before the pty closes
    }

    // Identification as the first Timer1 tick does it, then Timer2's two
    // read-back steps run on their own timer as in real use. Afterwards, with
    // STime 0, no timer of the window is active.
    void identify()
    {
        form->Timer1_Timer();
        const bool ok = runEventsUntil(
            [&] {
                return form->repliesInterpreted() >= 3 && !form->Timer1.isActive() &&
                       !form->Timer2.isActive() && !form->TimerCom.isActive() && form->QueryStep == 0;
            },
            10s);
        if (!ok)
            fatal(QStringLiteral("identification did not finish; status: ") +
                  form->controls().lblStatus->text());
        if (form->StTimer.isActive())
            fatal(QStringLiteral("StTimer runs although STime is 0"));
    }
};

// ---------------------------------------------------------------- 1. latency

// Where the reading side says a line has arrived; the writer waits on it.
struct Arrivals
{
    std::mutex mutex;
    std::condition_variable cv;
    quint64 count = 0;
    Clock::time_point at;

    void seen(quint64 total, Clock::time_point when)
    {
        {
            std::lock_guard lock(mutex);
            if (total == count)
                return;
            count = total;
            at = when;
        }
        cv.notify_one();
    }
};

// The device side of the latency figure: one line at a time, timed right
// after write() returns, the next one 0.2 to 2 ms after the previous arrived.
std::vector<double> writeTimedLines(int fd, int samples, Arrivals &arrivals, std::atomic<int> &lastValue,
                                    const std::atomic<bool> &stop)
{
    std::vector<double> latencies;
    latencies.reserve(size_t(samples));
    QRandomGenerator rng(4711);
    for (int i = 0; i < samples && !stop; ++i) {
        const int value = 1 + i % 100;
        lastValue = value;
        const std::string line = "SV01=" + std::to_string(value) + '\r';
        writeAll(fd, line.data(), line.size(), stop);
        const Clock::time_point written = Clock::now();
        std::unique_lock lock(arrivals.mutex);
        if (!arrivals.cv.wait_for(lock, 2s, [&] { return arrivals.count >= quint64(i + 1); })) {
            note(QStringLiteral("latency: line %1 never arrived").arg(i));
            break;
        }
        latencies.push_back(ms(arrivals.at - written));
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::microseconds(rng.bounded(200, 2001)));
    }
    return latencies;
}

QString describeLatencies(const std::vector<double> &v)
{
    // Below zero: the writer lost the processor between write() and reading the clock.
    const auto early = std::count_if(v.begin(), v.end(), [](double x) { return x < 0; });
    return QStringLiteral("min %1, median %2, p90 %3, p99 %4, p99.9 %5, max %6 ms; %7 below zero")
        .arg(percentile(v, 0), 0, 'f', 3)
        .arg(percentile(v, 0.5), 0, 'f', 3)
        .arg(percentile(v, 0.9), 0, 'f', 3)
        .arg(percentile(v, 0.99), 0, 'f', 3)
        .arg(percentile(v, 0.999), 0, 'f', 3)
        .arg(percentile(v, 1), 0, 'f', 3)
        .arg(early);
}

// The same pattern over a bare pseudo-terminal read by a plain thread: what
// the kernel and this machine's scheduling cost, without the program.
std::vector<double> bareLineLatencies(int samples)
{
    PtyPair pty;
    if (!pty.open())
        fatal(QStringLiteral("no pseudo-terminal: ") + pty.errorString());
    const int master = pty.masterFd();
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    const int slave = ::open(qPrintable(pty.slavePath()), O_RDWR | O_NOCTTY | O_NONBLOCK);
    Arrivals arrivals;
    std::atomic<int> lastValue{0};
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        char buffer[4096];
        quint64 lines = 0;
        pollfd pfd{slave, POLLIN, 0};
        while (!stop) {
            if (::poll(&pfd, 1, 100) <= 0)
                continue;
            const ssize_t n = ::read(slave, buffer, sizeof buffer);
            const Clock::time_point now = Clock::now();
            for (ssize_t i = 0; i < n; ++i)
                lines += buffer[i] == '\r';
            arrivals.seen(lines, now);
        }
    });
    std::vector<double> latencies = writeTimedLines(master, samples, arrivals, lastValue, stop);
    stop = true;
    reader.join();
    ::close(slave);
    return latencies;
}

void benchLatency(int samples)
{
    std::fprintf(stderr, "latency: %d samples\n", samples);
    Rig rig;
    rig.identify();
    const quint64 base = rig.form->repliesInterpreted();
    QLabel *const label = rig.form->controls().lblTemp[1];

    Arrivals arrivals;
    std::atomic<int> lastValue{-1};
    int wrongText = 0;
    // Connected after the form's own slot, so it runs once the labels are set.
    QObject observer;
    QObject::connect(rig.port.get(), &SerialPort::commEvent, &observer, [&](int) {
        const Clock::time_point now = Clock::now();
        // Checked before the writer is released to change lastValue.
        if (label->text() != QString::number(lastValue.load()))
            ++wrongText;
        arrivals.seen(rig.form->repliesInterpreted() - base, now);
    });

    std::vector<double> latencies;
    std::atomic<bool> finished{false};
    std::thread writer([&] {
        latencies = writeTimedLines(rig.device->fd(), samples, arrivals, lastValue, rig.device->stopping());
        finished = true;
    });
    runEventsUntil([&] { return finished.load(); }, 600s);
    writer.join();
    QObject::disconnect(rig.port.get(), nullptr, &observer, nullptr);

    if (int(latencies.size()) != samples || wrongText) {
        g_broken = true;
        note(QStringLiteral("latency: %1 of %2 samples, %3 wrong label texts")
                 .arg(latencies.size())
                 .arg(samples)
                 .arg(wrongText));
    }
    note(QStringLiteral("latency, window: ") + describeLatencies(latencies));
    const std::vector<double> bare = bareLineLatencies(samples);
    note(QStringLiteral("latency, bare pty: ") + describeLatencies(bare));

    const double median = percentile(latencies, 0.5);
    const double p99 = percentile(latencies, 0.99);
    const bool complete = int(latencies.size()) == samples && wrongText == 0;
    report(QStringLiteral("latency median"), median, QStringLiteral("ms"), QStringLiteral("< 0.5"),
           complete && median < 0.5);
    report(QStringLiteral("latency p99"), p99, QStringLiteral("ms"), QStringLiteral("< 2"),
           complete && p99 < 2);
    report(QStringLiteral("latency max"), percentile(latencies, 1.0), QStringLiteral("ms"), QString(), {});
    report(QStringLiteral("latency p99, bare pty (no program)"), percentile(bare, 0.99), QStringLiteral("ms"),
           QString(), {});
}

// A 10 ms timer in the window thread: its longest gap between two firings
// tells how responsive the thread stayed. onTick runs at every firing.
struct LatenessProbe
{
    QTimer timer;
    Clock::time_point last;
    Clock::duration worstGap{};
    std::function<void(Clock::time_point)> onTick;

    LatenessProbe()
    {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            worstGap = std::max(worstGap, now - last);
            last = now;
            if (onTick)
                onTick(now);
        });
    }
    void start()
    {
        last = Clock::now();
        timer.start();
    }
    double latenessMs() const { return ms(worstGap - 10ms); }
};

// Runs `loop` until something quits it, or 10 minutes at most.
void runGuarded(QEventLoop &loop)
{
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, &loop, &QEventLoop::quit);
    giveUp.start(600s);
    loop.exec();
}

// ---------------------------------------------------------------- 2. flood

void benchFlood(int lines)
{
    std::fprintf(stderr, "flood: %d lines\n", lines);
    Rig rig;
    rig.identify();
    const quint64 base = rig.form->repliesInterpreted();

    QByteArray bytes;
    bytes.reserve(qsizetype(lines) * 10);
    for (int i = 0; i < lines; ++i)
        bytes += "SV01=" + QByteArray::number(i % 1000) + '\r';
    const QString lastText = QString::number((lines - 1) % 1000);

    QEventLoop loop;
    Clock::time_point lastSeen;
    quint64 counted = 0;
    QObject observer;
    QObject::connect(rig.port.get(), &SerialPort::commEvent, &observer, [&](int) {
        counted = rig.form->repliesInterpreted() - base;
        lastSeen = Clock::now();
        if (counted >= quint64(lines))
            loop.quit();
    });

    LatenessProbe probe;
    std::atomic<bool> written{false};
    probe.onTick = [&](Clock::time_point now) {
        // Nothing more is coming: whatever is missing was lost.
        if (written && now - lastSeen > 3s)
            loop.quit();
    };

    const double cpuBefore = cpuMs(CLOCK_THREAD_CPUTIME_ID);
    const Clock::time_point start = Clock::now();
    lastSeen = start;
    Clock::time_point writeEnd;
    std::thread writer([&] {
        writeAll(rig.device->fd(), bytes.constData(), size_t(bytes.size()), rig.device->stopping());
        writeEnd = Clock::now();
        written = true;
    });
    probe.start();
    runGuarded(loop);
    probe.timer.stop();
    const double cpu = cpuMs(CLOCK_THREAD_CPUTIME_ID) - cpuBefore;
    writer.join();

    const double seconds = ms(lastSeen - start) / 1e3;
    const double rate = double(counted) / seconds;
    const qint64 lost = qint64(lines) - qint64(counted);
    const QString shown = rig.form->controls().lblTemp[1]->text();
    g_broken |= lost != 0 || shown != lastText;
    if (shown != lastText)
        note(QStringLiteral("flood: label shows %1, expected %2").arg(shown, lastText));
    note(QStringLiteral("flood: %1 lines in %2 s; writer done after %3 s; window thread CPU %4 us per line")
             .arg(counted)
             .arg(seconds, 0, 'f', 3)
             .arg(ms(writeEnd - start) / 1e3, 0, 'f', 3)
             .arg(cpu * 1e3 / double(std::max<quint64>(counted, 1)), 0, 'f', 2));
    report(QStringLiteral("flood throughput"), rate, QStringLiteral("lines/s"), QStringLiteral(">= 125000"),
           rate >= 125000 && lost == 0);
    report(QStringLiteral("flood lines lost"), double(lost), QStringLiteral("lines"), QStringLiteral("0"),
           lost == 0 && shown == lastText);
    report(QStringLiteral("flood CPU per line (window thread)"),
           cpu * 1e3 / double(std::max<quint64>(counted, 1)), QStringLiteral("us"), QString(), {});
    const double lateness = probe.latenessMs();
    report(QStringLiteral("flood 10 ms timer worst lateness"), lateness, QStringLiteral("ms"),
           QStringLiteral("< 50"), lateness < 50);
}

// ---------------------------------------------------------------- 3. pacing

struct PacingRun
{
    std::vector<double> wall, cpu;      // ms per send
    std::vector<long> faults, switches; // minor page faults, involuntary switches per send
    quint64 commands = 0, replies = 0;
    double cpuMean() const
    {
        double total = 0;
        for (double c : cpu)
            total += c;
        return cpu.empty() ? 0 : total / double(cpu.size());
    }
};

// Presses a frequency preset `sends` times: one command and one pacing delay each.
PacingRun pressPresets(Rig &rig, int sends)
{
    PacingRun run;
    run.wall.reserve(size_t(sends));
    run.cpu.reserve(size_t(sends));
    const quint64 base = rig.form->repliesInterpreted();
    const quint64 commandsBefore = rig.device->commandsSeen;
    // Pressed from inside the running event loop, as a click would be.
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
        for (int i = 0; i < sends; ++i) {
            rusage r0{}, r1{};
            getrusage(RUSAGE_THREAD, &r0);
            const double cpu0 = cpuMs(CLOCK_THREAD_CPUTIME_ID);
            const Clock::time_point t0 = Clock::now();
            rig.form->cmdFpwm_Click(3);
            const Clock::time_point t1 = Clock::now();
            run.cpu.push_back(cpuMs(CLOCK_THREAD_CPUTIME_ID) - cpu0);
            getrusage(RUSAGE_THREAD, &r1);
            run.faults.push_back(r1.ru_minflt - r0.ru_minflt);
            run.switches.push_back(r1.ru_nivcsw - r0.ru_nivcsw);
            run.wall.push_back(ms(t1 - t0));
        }
        loop.quit();
    });
    loop.exec();
    const quint64 expectedReplies = rig.device->answerSettings ? quint64(sends) : 0;
    runEventsUntil([&] { return rig.form->repliesInterpreted() - base >= expectedReplies; }, 2s);
    run.commands = rig.device->commandsSeen - commandsBefore;
    run.replies = rig.form->repliesInterpreted() - base;
    if (run.commands != quint64(sends) || run.replies != expectedReplies) {
        g_broken = true;
        note(QStringLiteral("pacing: device saw %1 commands, window interpreted %2 replies")
                 .arg(run.commands)
                 .arg(run.replies));
    }
    return run;
}

// The same wait without the program: write a command to a bare pty, its echo
// comes back, poll until 50 ms have passed. What this machine charges a
// thread for such a wait by itself.
std::vector<double> bareWaitCpu(int sends)
{
    PtyPair pty;
    if (!pty.open())
        fatal(QStringLiteral("no pseudo-terminal: ") + pty.errorString());
    const int slave = ::open(qPrintable(pty.slavePath()), O_RDWR | O_NOCTTY | O_NONBLOCK);
    Device echo(pty.masterFd());
    std::vector<double> cpu;
    char buffer[256];
    for (int i = 0; i < sends; ++i) {
        const double cpu0 = cpuMs(CLOCK_THREAD_CPUTIME_ID);
        const Clock::time_point t0 = Clock::now();
        [[maybe_unused]] ssize_t n = ::write(slave, "SV02=3\r", 7);
        for (auto left = 50ms - (Clock::now() - t0); left > 0ms; left = 50ms - (Clock::now() - t0)) {
            pollfd pfd{slave, POLLIN, 0};
            if (::poll(&pfd, 1, int(std::chrono::ceil<std::chrono::milliseconds>(left).count())) > 0)
                n = ::read(slave, buffer, sizeof buffer);
        }
        cpu.push_back(cpuMs(CLOCK_THREAD_CPUTIME_ID) - cpu0);
    }
    ::close(slave);
    return cpu;
}

void benchPacing(int sends)
{
    std::fprintf(stderr, "pacing: %d sends\n", sends);
    Rig rig;
    rig.identify();

    // As in use: the controller echoes each preset ("SV02=3") during the delay.
    const PacingRun echoed = pressPresets(rig, sends);
    const double median = percentile(echoed.wall, 0.5);
    report(QStringLiteral("pacing wall per delay, median"), median, QStringLiteral("ms"),
           QStringLiteral("50 .. 52"), median >= 50 && median <= 52 && echoed.commands == quint64(sends));
    report(QStringLiteral("pacing wall per delay, p99"), percentile(echoed.wall, 0.99), QStringLiteral("ms"),
           QString(), {});
    QStringList tenths;
    for (size_t part = 0; part < 10 && echoed.cpu.size() >= 10; ++part) {
        const size_t from = part * echoed.cpu.size() / 10, to = (part + 1) * echoed.cpu.size() / 10;
        double sum = 0;
        for (size_t i = from; i < to; ++i)
            sum += echoed.cpu[i];
        tenths << QString::number(sum / double(to - from), 'f', 3);
    }
    note(QStringLiteral("pacing CPU per delay: median %1, p90 %2, max %3 ms; mean by tenth of the run: %4")
             .arg(percentile(echoed.cpu, 0.5), 0, 'f', 3)
             .arg(percentile(echoed.cpu, 0.9), 0, 'f', 3)
             .arg(percentile(echoed.cpu, 1), 0, 'f', 3)
             .arg(tenths.join(u' ')));
    {
        long slowFaults = 0, fastFaults = 0, slowSwitches = 0, fastSwitches = 0, slow = 0;
        for (size_t i = 0; i < echoed.cpu.size(); ++i) {
            if (echoed.cpu[i] > 1.0) {
                ++slow;
                slowFaults += echoed.faults[i];
                slowSwitches += echoed.switches[i];
            } else {
                fastFaults += echoed.faults[i];
                fastSwitches += echoed.switches[i];
            }
        }
        const long fast = long(echoed.cpu.size()) - slow;
        note(QStringLiteral("pacing: %1 sends over 1 ms CPU, with %2 page faults and %3 involuntary switches "
                            "each on average; the others %4 and %5")
                 .arg(slow)
                 .arg(slow ? double(slowFaults) / double(slow) : 0.0, 0, 'f', 1)
                 .arg(slow ? double(slowSwitches) / double(slow) : 0.0, 0, 'f', 1)
                 .arg(fast ? double(fastFaults) / double(fast) : 0.0, 0, 'f', 1)
                 .arg(fast ? double(fastSwitches) / double(fast) : 0.0, 0, 'f', 1));
    }
    report(QStringLiteral("pacing CPU per delay (mean)"), echoed.cpuMean(), QStringLiteral("ms"),
           QStringLiteral("< 0.5"), echoed.cpuMean() < 0.5);
    report(QStringLiteral("pacing CPU per delay, median"), percentile(echoed.cpu, 0.5), QStringLiteral("ms"),
           QString(), {});
    const std::vector<double> bare = bareWaitCpu(std::min(sends, 300));
    double bareMean = 0;
    for (double c : bare)
        bareMean += c / double(bare.size());
    const auto bareSlow = std::count_if(bare.begin(), bare.end(), [](double c) { return c > 1.0; });
    note(QStringLiteral("pacing, bare pty wait: mean %1, median %2, p90 %3, max %4 ms; %5 of %6 over 1 ms")
             .arg(bareMean, 0, 'f', 3)
             .arg(percentile(bare, 0.5), 0, 'f', 3)
             .arg(percentile(bare, 0.9), 0, 'f', 3)
             .arg(percentile(bare, 1), 0, 'f', 3)
             .arg(bareSlow)
             .arg(bare.size()));
    report(QStringLiteral("pacing CPU, same wait on a bare pty (mean)"), bareMean, QStringLiteral("ms"),
           QString(), {});

    // The delay alone, with nothing to interpret meanwhile: tells the wait from the reply's handling.
    rig.device->answerSettings = false;
    const PacingRun silent = pressPresets(rig, std::min(sends, 100));
    rig.device->answerSettings = true;
    report(QStringLiteral("pacing CPU per delay, no echo (mean)"), silent.cpuMean(), QStringLiteral("ms"),
           QString(), {});
}

// ---------------------------------------------------------------- 4. idle

void collectObjects(QObject *o, std::vector<QObject *> &out)
{
    if (std::find(out.begin(), out.end(), o) != out.end())
        return;
    out.push_back(o);
    for (QObject *child : o->children())
        collectObjects(child, out);
}

// Fires the timers registered anywhere in the GUI thread's objects would need in `length`.
double timerFiresDue(std::chrono::milliseconds length, QStringList *described)
{
    std::vector<QObject *> objects;
    collectObjects(QCoreApplication::instance(), objects);
    for (QWidget *w : QApplication::allWidgets())
        collectObjects(w, objects);
    for (QWindow *w : QGuiApplication::allWindows())
        collectObjects(w, objects);
    double due = 0;
    QAbstractEventDispatcher *const dispatcher = QAbstractEventDispatcher::instance();
    for (QObject *o : objects) {
        for (const QAbstractEventDispatcher::TimerInfo &t : dispatcher->registeredTimers(o)) {
            due += double(length.count()) / std::max(1, t.interval);
            described->append(QStringLiteral("%1(%2) every %3 ms")
                                  .arg(QLatin1String(o->metaObject()->className()), o->objectName())
                                  .arg(t.interval));
        }
    }
    return due;
}

void benchIdle(std::chrono::milliseconds length)
{
    std::fprintf(stderr, "idle: %lld ms\n", static_cast<long long>(length.count()));
    Rig rig;
    rig.identify();
    runEventsFor(200ms); // repaints and the last reply settle
    // Qt's raster engine paints with pooled helper threads that exit 30 s
    // after their last use, waking the window thread once; retired here so a
    // left-over from an earlier phase does not land inside the window.
    QThreadPool::globalInstance()->waitForDone();

    QStringList timers;
    const double due = timerFiresDue(length, &timers);
    const QWidget *const focus = QApplication::focusWidget();
    note(QStringLiteral("idle: active timers: %1; active window: %2; focus: %3")
             .arg(timers.isEmpty() ? QStringLiteral("none") : timers.join(QStringLiteral(", ")),
                  QApplication::activeWindow() == rig.form.get() ? QStringLiteral("the form")
                                                                 : QStringLiteral("none"),
                  focus ? QLatin1String(focus->metaObject()->className()) + u' ' + focus->objectName()
                        : QStringLiteral("none")));

    int awakenings = 0;
    QObject observer;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, &observer,
                     [&] { ++awakenings; });

    rusage threadBefore{}, processBefore{}, threadAfter{}, processAfter{}, ender{};
    // The window is ended from a thread of ours rather than by a timer: a
    // timer's poll may return a hair early and wake the loop twice. Its one
    // wake-up of the window thread, and the thread's own costs, are not the program's.
    QEventLoop loop;
    getrusage(RUSAGE_THREAD, &threadBefore);
    getrusage(RUSAGE_SELF, &processBefore);
    const double cpu0 = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
    std::thread enderThread([&] {
        std::this_thread::sleep_for(length);
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
        getrusage(RUSAGE_THREAD, &ender);
    });
    loop.exec();
    enderThread.join();
    getrusage(RUSAGE_THREAD, &threadAfter);
    getrusage(RUSAGE_SELF, &processAfter);
    const double enderCpu = double(ender.ru_utime.tv_sec + ender.ru_stime.tv_sec) * 1e3 +
                            double(ender.ru_utime.tv_usec + ender.ru_stime.tv_usec) / 1e3;
    const double cpu = cpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpu0 - enderCpu;
    QObject::disconnect(QAbstractEventDispatcher::instance(), nullptr, &observer, nullptr);

    const long threadWakes = threadAfter.ru_nvcsw - threadBefore.ru_nvcsw;
    const long processWakes = processAfter.ru_nvcsw - processBefore.ru_nvcsw - ender.ru_nvcsw;
    const double beyond = std::max(0.0, double(processWakes) - 1 - due);
    note(QStringLiteral(
             "idle: %1 ms CPU; voluntary switches: window thread %2, all threads of the program %3; "
             "dispatcher awake %4 times; timer fires due %5 (the end of the window is 1 of each)")
             .arg(cpu, 0, 'f', 3)
             .arg(threadWakes)
             .arg(processWakes)
             .arg(awakenings)
             .arg(due, 0, 'f', 1));
    const double per10s = 10000.0 / double(length.count());
    report(QStringLiteral("idle CPU per 10 s"), cpu * per10s, QStringLiteral("ms"), QStringLiteral("< 10"),
           cpu * per10s < 10);
    report(QStringLiteral("idle wake-ups beyond active timers per 10 s"), beyond * per10s,
           QStringLiteral("wake-ups"), QStringLiteral("0 (pass <= 2)"), beyond * per10s <= 2);
}

// ---------------------------------------------------------------- 5. start-up and memory

// A kilobyte figure from /proc/<pid>/status ("VmRSS", "VmHWM").
double statusKb(const QString &pid, const char *field)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field) && line.size() > qsizetype(std::strlen(field)) &&
            line[qsizetype(std::strlen(field))] == ':')
            return line.mid(qsizetype(std::strlen(field)) + 1).trimmed().split(' ').value(0).toDouble();
    return -1;
}

// The real program, started through a link in a folder of its own (as a
// bench user's copy would be), offscreen, stderr to `errFd` or nowhere.
pid_t startPanel(const QString &link, int errFd, bool tracePaint)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry(*e);
        if (!entry.starts_with("QT_QPA_PLATFORM=") && !entry.starts_with("QT_LOGGING_RULES="))
            env.push_back(entry);
    }
    env.push_back("QT_QPA_PLATFORM=offscreen");
    // The first frame handed to the window system is logged as
    // "Flushing QRegion(...) of MainForm": that moment is "first shown".
    if (tracePaint)
        env.push_back("QT_LOGGING_RULES=qt.widgets.painting=true");
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const QByteArray path = QFile::encodeName(link);
    const QByteArray dir = QFile::encodeName(QFileInfo(link).absolutePath());
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, 0);
        ::dup2(devnull, 1);
        ::dup2(errFd >= 0 ? errFd : devnull, 2);
        if (::chdir(dir.constData()) != 0)
            ::_exit(126);
        char *argv[] = {const_cast<char *>("pwm-panel"), nullptr};
        ::execve(path.constData(), argv, envp.data());
        ::_exit(127);
    }
    return pid;
}

void stopPanel(pid_t pid)
{
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

// Milliseconds from fork to the first frame, or a negative number if none came.
double timeOneStart(const QString &link)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        fatal(QStringLiteral("pipe failed"));
    const Clock::time_point t0 = Clock::now();
    const pid_t pid = startPanel(link, pipeFds[1], true);
    ::close(pipeFds[1]);
    std::string seen;
    double result = -1;
    char buffer[8192];
    pollfd pfd{pipeFds[0], POLLIN, 0};
    const Clock::time_point deadline = t0 + 10s;
    while (Clock::now() < deadline) {
        if (::poll(&pfd, 1, 100) <= 0)
            continue;
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0)
            continue;
        seen.append(buffer, size_t(n));
        const size_t at = seen.find("Flushing QRegion");
        if (at != std::string::npos && seen.find("of MainForm", at) != std::string::npos) {
            result = ms(Clock::now() - t0);
            break;
        }
        if (seen.size() > 65536)
            seen.erase(0, seen.size() - 1024);
    }
    stopPanel(pid);
    ::close(pipeFds[0]);
    if (result < 0)
        note(QStringLiteral("start-up: no first frame; the program said: ") +
             QString::fromLocal8Bit(seen.substr(0, 2000)));
    return result;
}

void benchStartup(int samples)
{
    std::fprintf(stderr, "start-up: %d starts of %s\n", samples, PWM_PANEL_PATH);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("pwm-panel"));
    if (!dir.isValid() || !QFile::link(QStringLiteral(PWM_PANEL_PATH), link))
        fatal(QStringLiteral("cannot link the program into ") + dir.path());

    timeOneStart(link); // the first start reads the libraries from disk
    std::vector<double> times;
    for (int i = 0; i < samples; ++i) {
        const double t = timeOneStart(link);
        if (t < 0) {
            g_broken = true;
            note(QStringLiteral("start-up: the window never showed"));
            return;
        }
        times.push_back(t);
    }
    note(QStringLiteral("start-up: min %1, median %2, max %3 ms")
             .arg(percentile(times, 0), 0, 'f', 1)
             .arg(percentile(times, 0.5), 0, 'f', 1)
             .arg(percentile(times, 1), 0, 'f', 1));
    report(QStringLiteral("start-up to window shown, median"), percentile(times, 0.5), QStringLiteral("ms"),
           QStringLiteral("< 250"), percentile(times, 0.5) < 250);

    // Peak memory: the program finds the simulated controller on com1 (its
    // first identification tick comes 2.5 s after start) and reads back.
    PtyPair pty;
    if (!pty.open() || !QFile::link(pty.slavePath(), dir.filePath(QStringLiteral("com1"))))
        fatal(QStringLiteral("no pseudo-terminal for the memory run"));
    Device device(pty.masterFd());
    const pid_t pid = startPanel(link, -1, false);
    const Clock::time_point deadline = Clock::now() + 15s;
    while (device.commandsSeen < 3 && Clock::now() < deadline) // I?, SV01?, SV02?
        std::this_thread::sleep_for(20ms);
    std::this_thread::sleep_for(300ms); // the last replies are shown
    const QString pidText = QString::number(pid);
    const double peakKb = statusKb(pidText, "VmHWM");
    const quint64 seen = device.commandsSeen;
    stopPanel(pid);
    if (seen < 3 || peakKb < 0) {
        g_broken = true;
        note(QStringLiteral("memory: the program was not identified (%1 commands seen)").arg(seen));
        return;
    }
    note(QStringLiteral("memory: peak resident %1 MB after identification and read-back")
             .arg(peakKb / 1024, 0, 'f', 1));
    report(QStringLiteral("peak resident memory after identification"), peakKb / 1024, QStringLiteral("MB"),
           QStringLiteral("< 60"), peakKb / 1024 < 60);
}

// ---------------------------------------------------------------- 6. no line end

void benchNoLineEnd(qint64 megabytes)
{
    std::fprintf(stderr, "no line end: %lld MB\n", static_cast<long long>(megabytes));
    Rig rig;
    rig.identify();
    runEventsFor(200ms);
    const QString self = QString::number(::getpid());
    const double rssBefore = statusKb(self, "VmRSS");
    double rssPeak = rssBefore;

    QEventLoop loop;
    LatenessProbe probe;
    std::atomic<bool> written{false};
    probe.onTick = [&](Clock::time_point) {
        rssPeak = std::max(rssPeak, statusKb(self, "VmRSS"));
        // Done when the reply written after the stream has been shown.
        if (written && rig.form->controls().lblTemp[1]->text() == QLatin1String("42"))
            loop.quit();
    };
    const quint64 before = rig.form->repliesInterpreted();
    const Clock::time_point start = Clock::now();
    std::thread writer([&] {
        // One reused chunk: the writer's own memory stays out of the figure.
        std::string chunk(1 << 16, 'A');
        for (size_t i = 0; i < chunk.size(); i += 61)
            chunk[i] = char('0' + i % 10);
        const qint64 total = megabytes << 20;
        for (qint64 done = 0; done < total && !rig.device->stopping(); done += qint64(chunk.size()))
            writeAll(rig.device->fd(), chunk.data(), chunk.size(), rig.device->stopping());
        // The CR ends the overlong line; then a good reply must still work.
        writeAll(rig.device->fd(), "\rSV01=42\r", 9, rig.device->stopping());
        written = true;
    });
    probe.start();
    runGuarded(loop);
    probe.timer.stop();
    writer.join();
    const double seconds = ms(Clock::now() - start) / 1e3;
    // Two lines in all: the overlong one ("???") and the reply.
    const quint64 lines = rig.form->repliesInterpreted() - before;
    const bool recovered = rig.form->controls().lblTemp[1]->text() == QLatin1String("42") && lines == 2;
    g_broken |= !recovered;
    if (!recovered)
        note(QStringLiteral("no line end: %1 lines interpreted, label %2")
                 .arg(lines)
                 .arg(rig.form->controls().lblTemp[1]->text()));
    const double growthMb = (rssPeak - rssBefore) / 1024;
    const double lateness = probe.latenessMs();
    note(QStringLiteral("no line end: %1 MB in %2 s (%3 MB/s); resident %4 MB before, peak %5 MB")
             .arg(megabytes)
             .arg(seconds, 0, 'f', 2)
             .arg(double(megabytes) / seconds, 0, 'f', 1)
             .arg(rssBefore / 1024, 0, 'f', 1)
             .arg(rssPeak / 1024, 0, 'f', 1));
    report(QStringLiteral("no line end: resident memory growth"), growthMb, QStringLiteral("MB"),
           QStringLiteral("< 5"), growthMb < 5 && recovered);
    report(QStringLiteral("no line end: 10 ms timer worst lateness"), lateness, QStringLiteral("ms"),
           QStringLiteral("< 50"), lateness < 50);
}

// ---------------------------------------------------------------- output

QString readCpuModel()
{
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("model name"))
            return QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
    return {};
}

QJsonObject machine()
{
    utsname u{};
    uname(&u);
    return {{QStringLiteral("cpu"), readCpuModel()},
            {QStringLiteral("cores"), int(std::thread::hardware_concurrency())},
            {QStringLiteral("kernel"), QString::fromLatin1(u.release)},
            {QStringLiteral("qt"), QString::fromLatin1(qVersion())}};
}

QString formatValue(double v)
{
    if (v >= 1000)
        return QString::number(v, 'f', 0);
    if (v >= 10)
        return QString::number(v, 'f', 1);
    return QString::number(v, 'f', 3);
}

bool printAndSave(const QString &jsonPath, bool quick)
{
    bool allPass = true;
    int nameWidth = 6;
    for (const Metric &m : g_metrics)
        nameWidth = std::max(nameWidth, int(m.name.size()));
    const auto row = [&](const QString &a, const QString &b, const QString &c, const QString &d) {
        std::printf("| %-*s | %16s | %-14s | %-4s |\n", nameWidth, qPrintable(a), qPrintable(b),
                    qPrintable(c), qPrintable(d));
    };
    row(QStringLiteral("metric"), QStringLiteral("value"), QStringLiteral("target"), QStringLiteral("pass"));
    std::printf("|%s|%s|%s|%s|\n", qPrintable(QString(nameWidth + 2, u'-')), qPrintable(QString(18, u'-')),
                qPrintable(QString(16, u'-')), qPrintable(QString(6, u'-')));
    QJsonArray rows;
    for (const Metric &m : g_metrics) {
        const QString result = !m.pass   ? QStringLiteral("info")
                               : *m.pass ? QStringLiteral("pass")
                                         : QStringLiteral("FAIL");
        if (m.pass && !*m.pass)
            allPass = false;
        row(m.name, formatValue(m.value) + QLatin1Char(' ') + m.unit,
            m.target.isEmpty() ? QStringLiteral("-") : m.target, result);
        QJsonObject o{{QStringLiteral("metric"), m.name},
                      {QStringLiteral("value"), m.value},
                      {QStringLiteral("unit"), m.unit},
                      {QStringLiteral("target"), m.target}};
        o.insert(QStringLiteral("pass"), m.pass ? QJsonValue(*m.pass) : QJsonValue());
        rows.append(o);
    }
    const QJsonObject machineInfo = machine();
    std::printf("machine: %s, %d cores, kernel %s, Qt %s%s\n", qPrintable(machineInfo[u"cpu"].toString()),
                machineInfo[u"cores"].toInt(), qPrintable(machineInfo[u"kernel"].toString()),
                qPrintable(machineInfo[u"qt"].toString()), quick ? " (quick run)" : "");
    if (!jsonPath.isEmpty()) {
        QFile f(jsonPath);
        const QJsonObject doc{{QStringLiteral("machine"), machineInfo},
                              {QStringLiteral("quick"), quick},
                              {QStringLiteral("pass"), allPass},
                              {QStringLiteral("results"), rows}};
        if (!f.open(QIODevice::WriteOnly) || f.write(QJsonDocument(doc).toJson()) < 0) {
            std::fprintf(stderr, "pwm-bench: cannot write %s\n", qPrintable(jsonPath));
            g_broken = true;
        }
    }
    return allPass;
}

void usage()
{
    std::fprintf(stderr, "usage: pwm-bench [--quick | --smoke] [--json FILE] [--only "
                         "latency,flood,pacing,idle,startup,nolineend]\n"
                         "  --quick  fewer samples (1000 replies, 100000 flood lines, 100 sends, 2 s idle,\n"
                         "           5 starts, 10 MB without a line end)\n"
                         "  --smoke  as --quick, but the exit status only says whether everything\n"
                         "           worked (no lost lines, right labels), not whether targets were met\n"
                         "Exit status: 0 all targets met, 1 a target missed, 2 the run broke.\n");
}

} // namespace

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // the table after the progress lines, even through a pipe
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));

    bool quick = false;
    bool smoke = false;
    QString jsonPath;
    QStringList only{QStringLiteral("latency"), QStringLiteral("flood"),   QStringLiteral("pacing"),
                     QStringLiteral("idle"),    QStringLiteral("startup"), QStringLiteral("nolineend")};
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--quick")) {
            quick = true;
        } else if (args[i] == QLatin1String("--smoke")) {
            quick = smoke = true;
        } else if (args[i] == QLatin1String("--json") && i + 1 < args.size()) {
            jsonPath = args[++i];
        } else if (args[i] == QLatin1String("--only") && i + 1 < args.size()) {
            only = args[++i].split(u',');
        } else {
            usage();
            return 2;
        }
    }

    if (only.contains(QLatin1String("latency")))
        benchLatency(quick ? 1000 : 10000);
    if (only.contains(QLatin1String("flood")))
        benchFlood(quick ? 100000 : 1000000);
    if (only.contains(QLatin1String("pacing")))
        benchPacing(quick ? 100 : 1000);
    if (only.contains(QLatin1String("idle")))
        benchIdle(quick ? 2000ms : 10000ms);
    if (only.contains(QLatin1String("startup")))
        benchStartup(quick ? 5 : 20);
    if (only.contains(QLatin1String("nolineend")))
        benchNoLineEnd(quick ? 10 : 100);

    const bool met = printAndSave(jsonPath, quick);
    if (g_broken)
        return 2;
    return met || smoke ? 0 : 1;
}
