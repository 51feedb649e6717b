// Pacing delay: wall and processor time of one preset press, i.e. one command
// and the wait the device needs after it.
#include "bench/benchmarks.h"
#include "bench/harness.h"

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
    const quint64 base = rig.session().repliesHandled();
    const quint64 commandsBefore = rig.device->commandsSeen;
    // Pressed from inside the running event loop, as a click would be.
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
        for (int i = 0; i < sends; ++i) {
            rusage r0{}, r1{};
            getrusage(RUSAGE_THREAD, &r0);
            const double cpu0 = cpuMs(CLOCK_THREAD_CPUTIME_ID);
            const Clock::time_point t0 = Clock::now();
            rig.session().selectPreset(3);
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
    runEventsUntil([&] { return rig.session().repliesHandled() - base >= expectedReplies; }, 2s);
    run.commands = rig.device->commandsSeen - commandsBefore;
    run.replies = rig.session().repliesHandled() - base;
    if (run.commands != quint64(sends) || run.replies != expectedReplies) {
        markBroken();
        note(QStringLiteral("pacing: device saw %1 commands, window interpreted %2 replies")
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

// Splits the presses into those charged over 1 ms and the rest, with their
// page faults and involuntary switches: tells a costly wait from costly work.
void noteSlowPresses(const PacingRun &run)
{
    long slowFaults = 0, fastFaults = 0, slowSwitches = 0, fastSwitches = 0, slow = 0;
    for (size_t i = 0; i < run.cpu.size(); ++i) {
        if (run.cpu[i] > 1.0) {
            ++slow;
            slowFaults += run.faults[i];
            slowSwitches += run.switches[i];
        } else {
            fastFaults += run.faults[i];
            fastSwitches += run.switches[i];
        }
    }
    const long fast = long(run.cpu.size()) - slow;
    note(QStringLiteral("pacing: %1 sends over 1 ms CPU, with %2 page faults and %3 involuntary switches "
                        "each on average; the others %4 and %5")
             .arg(slow)
             .arg(slow ? double(slowFaults) / double(slow) : 0.0, 0, 'f', 1)
             .arg(slow ? double(slowSwitches) / double(slow) : 0.0, 0, 'f', 1)
             .arg(fast ? double(fastFaults) / double(fast) : 0.0, 0, 'f', 1)
             .arg(fast ? double(fastSwitches) / double(fast) : 0.0, 0, 'f', 1));
}

} // namespace

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
    noteSlowPresses(echoed);
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

} // namespace bench
