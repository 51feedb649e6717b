// Reply-to-screen latency: one line at a time, from write() on the master to
// the moment the session has handled it and the duty display shows it.
#include "benchmarks.h"
#include "harness.h"

#include <QLabel>
#include <QRandomGenerator>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <unistd.h>

namespace bench {
namespace {

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

} // namespace

void benchLatency(int samples)
{
    std::fprintf(stderr, "latency: %d samples\n", samples);
    Rig rig;
    rig.identify();
    const quint64 base = rig.linesReceived;
    QLabel *const label = rig.widgets.dutyDisplay;

    Arrivals arrivals;
    std::atomic<int> lastValue{-1};
    int wrongText = 0;
    // Connected after the session's own slot, so it runs once the display is set.
    QObject observer;
    QObject::connect(rig.port.get(), &SerialPort::readyRead, &observer, [&] {
        const Clock::time_point now = Clock::now();
        // Checked before the writer is released to change lastValue.
        if (label->text() != QString::number(lastValue.load()))
            ++wrongText;
        arrivals.seen(rig.linesReceived - base, now);
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
        markBroken();
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

} // namespace bench
