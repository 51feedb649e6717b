// Start-up and memory: the real program, started as a user would, timed to
// its first frame beside the smallest Qt Widgets program (the floor); then
// its peak memory once it has found the device.
#include "benchmarks.h"
#include "harness.h"
#include "launch.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {
namespace {

struct Start
{
    double ms = -1;         // fork to first frame; negative: none came
    double residentMb = -1; // resident memory at that moment
};

// From fork to the first frame of the window of class windowClass.
Start timeOneStart(const QString &link, const char *windowClass = "MainWindow")
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        fatal(QStringLiteral("pipe failed"));
    const Clock::time_point t0 = Clock::now();
    Launch traced;
    traced.tracePaint = true;
    const pid_t pid = startProgram(link, pipeFds[1], traced);
    ::close(pipeFds[1]);
    std::string seen;
    Start result;
    const std::string shown = std::string("of ") + windowClass;
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
        if (at != std::string::npos && seen.find(shown, at) != std::string::npos) {
            result.ms = ms(Clock::now() - t0);
            result.residentMb = statusKb(QString::number(pid), "VmRSS") / 1024;
            break;
        }
        if (seen.size() > 65536)
            seen.erase(0, seen.size() - 1024);
    }
    stopProgram(pid);
    ::close(pipeFds[0]);
    if (result.ms < 0)
        note(QStringLiteral("start-up: no first frame; the program said: ") +
             QString::fromLocal8Bit(seen.substr(0, 2000)));
    return result;
}

// Peak memory: the program finds the simulated controller on com1 (its first
// search tick comes DeviceSession::kSearchInterval after start) and reads back.
void measurePeakMemory(const QTemporaryDir &dir, const QString &link)
{
    PtyPair pty;
    if (!pty.open() || !QFile::link(pty.slavePath(), dir.filePath(QStringLiteral("com1"))))
        fatal(QStringLiteral("no pseudo-terminal for the memory run"));
    Device device(pty.masterFd());
    const pid_t pid = startProgram(link, -1);
    const Clock::time_point deadline = Clock::now() + 15s;
    while (device.commandsSeen < 3 && Clock::now() < deadline) // I?, SV01?, SV02?
        std::this_thread::sleep_for(20ms);
    std::this_thread::sleep_for(300ms); // the last replies are shown
    const QString pidText = QString::number(pid);
    const double peakKb = statusKb(pidText, "VmHWM");
    const quint64 seen = device.commandsSeen;
    stopProgram(pid);
    if (seen < 3 || peakKb < 0) {
        markBroken();
        note(QStringLiteral("memory: the program was not identified (%1 commands seen)").arg(seen));
        return;
    }
    note(QStringLiteral("memory: peak resident %1 MB after identification and read-back")
             .arg(peakKb / 1024, 0, 'f', 1));
    report(QStringLiteral("peak resident memory after identification"), peakKb / 1024, QStringLiteral("MB"),
           QStringLiteral("< 60"), peakKb / 1024 < 60);
}

} // namespace

void benchStartup(int samples)
{
    const Display display;
    std::fprintf(stderr, "start-up: %d starts of %s and of %s (%s)\n", samples, PWM_PANEL_PATH,
                 PWM_MINIMAL_PATH, qPrintable(display.describe()));
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("pwm-panel"));
    const QString floorLink = dir.filePath(QStringLiteral("minimal"));
    if (!dir.isValid() || !QFile::link(QStringLiteral(PWM_PANEL_PATH), link) ||
        !QFile::link(QStringLiteral(PWM_MINIMAL_PATH), floorLink))
        fatal(QStringLiteral("cannot link the programs into ") + dir.path());

    // The first starts read the libraries from disk; then the two take turns,
    // so whatever else the machine does falls on both alike.
    timeOneStart(link);
    timeOneStart(floorLink, "QLabel");
    std::vector<double> times, floorTimes, memory, floorMemory;
    for (int i = 0; i < samples; ++i) {
        const Start panel = timeOneStart(link);
        const Start floor = timeOneStart(floorLink, "QLabel");
        if (panel.ms < 0 || floor.ms < 0) {
            markBroken();
            note(QStringLiteral("start-up: a window never showed"));
            return;
        }
        times.push_back(panel.ms);
        floorTimes.push_back(floor.ms);
        memory.push_back(panel.residentMb);
        floorMemory.push_back(floor.residentMb);
    }
    note(QStringLiteral("start-up: min %1, median %2, max %3 ms; the minimal program: min %4, median %5 ms")
             .arg(percentile(times, 0), 0, 'f', 1)
             .arg(percentile(times, 0.5), 0, 'f', 1)
             .arg(percentile(times, 1), 0, 'f', 1)
             .arg(percentile(floorTimes, 0), 0, 'f', 1)
             .arg(percentile(floorTimes, 0.5), 0, 'f', 1));
    // Guards against regression, not goals: the floor above the minimal
    // program is the window's look (five faces, group boxes, 40 widgets).
    constexpr double kRatioGuard = 1.25;
    constexpr double kExtraMbGuard = 4.5;
    const double median = percentile(times, 0.5);
    const double ratio = median / percentile(floorTimes, 0.5);
    const double extraMb = percentile(memory, 0.5) - percentile(floorMemory, 0.5);
    report(QStringLiteral("start-up to window shown, median"), median, QStringLiteral("ms"),
           QStringLiteral("< 250"), median < 250);
    report(QStringLiteral("start-up of a minimal Qt Widgets program, median"), percentile(floorTimes, 0.5),
           QStringLiteral("ms"), QString(), {});
    report(QStringLiteral("start-up against the minimal program"), ratio, QStringLiteral("x"),
           QStringLiteral("<= 1.25"), ratio <= kRatioGuard);
    report(QStringLiteral("resident memory at first frame, over the minimal program"), extraMb,
           QStringLiteral("MB"), QStringLiteral("<= 4.5"), extraMb <= kExtraMbGuard);

    measurePeakMemory(dir, link);
}

} // namespace bench
