// Pacing: the gap between two queued commands on the wire and the processor
// time each costs, against the same wait in a bare Qt event loop (and, for
// information, on a bare pseudo-terminal).
#include "benchmarks.h"
#include "harness.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

namespace bench {
namespace {

struct PacingRun
{
    std::vector<double> gap, cpu; // per command: ms since the previous write, window-thread CPU ms
    quint64 commands = 0, replies = 0;
};

// Presses a frequency preset again each time the previous press is on the
// wire, so that one command always waits for the pause: per command, the
// press, the timer's wake-up, the write and (with the echo) the reply.
PacingRun pressPresets(Rig &rig, int sends)
{
    PacingRun run;
    run.gap.reserve(size_t(sends));
    run.cpu.reserve(size_t(sends));
    const quint64 base = rig.linesReceived;
    const quint64 commandsBefore = rig.device->commandsSeen;
    QEventLoop loop;
    int pressed = 0;
    Clock::time_point lastWrite;
    double lastCpu = 0;
    const QMetaObject::Connection written =
        QObject::connect(&rig.session(), &DeviceSession::commandWritten, &loop, [&] {
            const Clock::time_point now = Clock::now();
            const double cpu = cpuMs(CLOCK_THREAD_CPUTIME_ID);
            if (pressed > 1) {
                run.gap.push_back(ms(now - lastWrite));
                run.cpu.push_back(cpu - lastCpu);
            }
            lastWrite = now;
            lastCpu = cpu;
            if (pressed <= sends) {
                ++pressed;
                rig.session().selectPreset(3);
            } else {
                loop.quit();
            }
        });
    QTimer::singleShot(0, &loop, [&] {
        ++pressed;
        rig.session().selectPreset(3);
    });
    runGuarded(loop);
    QObject::disconnect(written);
    const quint64 presses = quint64(pressed);
    const quint64 expectedReplies = rig.device->answerSettings ? presses : 0;
    runEventsUntil([&] { return rig.linesReceived - base >= expectedReplies; }, 2s);
    runEventsFor(100ms); // the last press's pause
    run.commands = rig.device->commandsSeen - commandsBefore;
    run.replies = rig.linesReceived - base;
    if (run.commands != presses || run.replies != expectedReplies) {
        markBroken();
        note(QStringLiteral("pacing: %1 presses, device saw %2 commands, window interpreted %3 replies")
                 .arg(presses)
                 .arg(run.commands)
                 .arg(run.replies));
    }
    return run;
}

// The same wait without the program: write a command to a bare pty, its echo
// comes back, poll until the pacing delay has passed. What this machine
// charges a thread for such a wait by itself.
std::vector<double> bareWaitCpu(int sends)
{
    constexpr std::chrono::milliseconds wait = DeviceSession::kPacing;
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
        for (auto left = wait - (Clock::now() - t0); left > 0ms; left = wait - (Clock::now() - t0)) {
            pollfd pfd{slave, POLLIN, 0};
            if (::poll(&pfd, 1, int(std::chrono::ceil<std::chrono::milliseconds>(left).count())) > 0)
                n = ::read(slave, buffer, sizeof buffer);
        }
        cpu.push_back(cpuMs(CLOCK_THREAD_CPUTIME_ID) - cpu0);
    }
    ::close(slave);
    return cpu;
}

// The same wait in a Qt event loop of the benchmark's own, without the
// program: a precise single-shot timer writes the command, a socket notifier
// reads the echo. What Qt's own wake-ups cost here, the floor for any design
// that waits in the event loop.
std::vector<double> qtLoopWaitCpu(int sends)
{
    PtyPair pty;
    if (!pty.open())
        fatal(QStringLiteral("no pseudo-terminal: ") + pty.errorString());
    const int slave = ::open(qPrintable(pty.slavePath()), O_RDWR | O_NOCTTY | O_NONBLOCK);
    Device echo(pty.masterFd());
    std::vector<double> cpu;
    QEventLoop loop;
    QSocketNotifier echoed(slave, QSocketNotifier::Read);
    QObject::connect(&echoed, &QSocketNotifier::activated, [slave] {
        char buffer[256];
        [[maybe_unused]] const ssize_t n = ::read(slave, buffer, sizeof buffer);
    });
    QTimer due;
    due.setSingleShot(true);
    due.setTimerType(Qt::PreciseTimer);
    double last = 0;
    QObject::connect(&due, &QTimer::timeout, [&] {
        const double now = cpuMs(CLOCK_THREAD_CPUTIME_ID);
        if (last > 0)
            cpu.push_back(now - last);
        last = now;
        [[maybe_unused]] const ssize_t n = ::write(slave, "SV02=3\r", 7);
        if (int(cpu.size()) < sends)
            due.start(DeviceSession::kPacing);
        else
            loop.quit();
    });
    due.start(DeviceSession::kPacing);
    runGuarded(loop);
    ::close(slave);
    return cpu;
}

} // namespace

void benchPacing(int sends)
{
    std::fprintf(stderr, "pacing: %d sends\n", sends);
    Rig rig;
    rig.identify();

    // As in use: the controller echoes each preset ("SV02=3") during the pause.
    const PacingRun echoed = pressPresets(rig, sends);
    const double median = percentile(echoed.gap, 0.5);
    report(QStringLiteral("pacing gap between commands, median"), median, QStringLiteral("ms"),
           QStringLiteral("50 .. 52"), median >= 50 && median <= 52);
    report(QStringLiteral("pacing gap between commands, min"), percentile(echoed.gap, 0),
           QStringLiteral("ms"), QStringLiteral(">= 50"), percentile(echoed.gap, 0) >= 50);
    report(QStringLiteral("pacing gap between commands, p99"), percentile(echoed.gap, 0.99),
           QStringLiteral("ms"), QString(), {});
    QStringList tenths;
    for (size_t part = 0; part < 10 && echoed.cpu.size() >= 10; ++part) {
        const size_t from = part * echoed.cpu.size() / 10, to = (part + 1) * echoed.cpu.size() / 10;
        double sum = 0;
        for (size_t i = from; i < to; ++i)
            sum += echoed.cpu[i];
        tenths << QString::number(sum / double(to - from), 'f', 3);
    }
    note(QStringLiteral("pacing CPU per command: median %1, p90 %2, max %3 ms; mean by tenth of the run: %4")
             .arg(percentile(echoed.cpu, 0.5), 0, 'f', 3)
             .arg(percentile(echoed.cpu, 0.9), 0, 'f', 3)
             .arg(percentile(echoed.cpu, 1), 0, 'f', 3)
             .arg(tenths.join(u' ')));

    const std::vector<double> bare = bareWaitCpu(std::min(sends, 300));
    const double bareMean = mean(bare);
    const double bareMedian = percentile(bare, 0.5);
    note(QStringLiteral("pacing, bare pty wait: mean %1, median %2, p90 %3, max %4 ms")
             .arg(bareMean, 0, 'f', 3)
             .arg(bareMedian, 0, 'f', 3)
             .arg(percentile(bare, 0.9), 0, 'f', 3)
             .arg(percentile(bare, 1), 0, 'f', 3));
    // Any design that waits in a Qt event loop pays Qt's own wake-ups: the
    // target is against the same wait in a bare Qt loop, measured now; the
    // bare pty is shown for what the kernel alone costs.
    const std::vector<double> qtLoop = qtLoopWaitCpu(std::min(sends, 300));
    const double qtMean = mean(qtLoop);
    const double qtMedian = percentile(qtLoop, 0.5);
    const double cpuMedian = percentile(echoed.cpu, 0.5);
    report(QStringLiteral("pacing CPU per command (mean)"), mean(echoed.cpu), QStringLiteral("ms"),
           QStringLiteral("<= 1.5 x bare Qt loop"), mean(echoed.cpu) <= 1.5 * qtMean);
    report(QStringLiteral("pacing CPU per command, median"), cpuMedian, QStringLiteral("ms"),
           QStringLiteral("<= 1.5 x bare Qt loop"), cpuMedian <= 1.5 * qtMedian);
    report(QStringLiteral("pacing CPU, same wait in a bare Qt event loop (mean)"), qtMean,
           QStringLiteral("ms"), QString(), {});
    report(QStringLiteral("pacing CPU, same wait in a bare Qt event loop (median)"), qtMedian,
           QStringLiteral("ms"), QString(), {});
    report(QStringLiteral("pacing CPU, same wait on a bare pty (mean)"), bareMean, QStringLiteral("ms"),
           QString(), {});
    report(QStringLiteral("pacing CPU, same wait on a bare pty (median)"), bareMedian, QStringLiteral("ms"),
           QString(), {});

    // The queue alone, with nothing to interpret meanwhile: tells the wait from the reply's handling.
    rig.device->answerSettings = false;
    const PacingRun silent = pressPresets(rig, std::min(sends, 100));
    rig.device->answerSettings = true;
    report(QStringLiteral("pacing CPU per command, no echo (mean)"), mean(silent.cpu), QStringLiteral("ms"),
           QString(), {});
}

} // namespace bench
