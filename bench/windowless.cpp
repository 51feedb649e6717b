// The program without a window (--no-window) beside the windowed one, both
// started as a user would with the controller on com1: from start to the
// first I?, the memory once identified, and the window-less one's wake-ups
// while it sits identified with nothing to poll.
#include "benchmarks.h"
#include "harness.h"
#include "launch.h"
#include "testsupport/pty.h"

#include <QFile>
#include <QTemporaryDir>

#include <thread>

namespace bench {
namespace {

struct Run
{
    double firstQueryMs = -1; // fork to the first I? on the wire
    double peakMb = -1;       // after identification and the read-backs
    double wakeUps = -1;      // voluntary context switches in the idle stretch
};

Run runOnce(const QTemporaryDir &dir, const QString &link, bool windowless, std::chrono::milliseconds idle)
{
    PtyPair pty;
    const QString com1 = dir.filePath(QStringLiteral("com1"));
    QFile::remove(com1);
    if (!pty.open() || !QFile::link(pty.slavePath(), com1))
        fatal(QStringLiteral("no pseudo-terminal for the window-less run"));
    Device device(pty.masterFd());
    Launch how;
    if (windowless) {
        how.withoutDisplay = true;
        how.arguments = {"--no-window"};
    }
    Run run;
    const Clock::time_point t0 = Clock::now();
    const pid_t pid = startProgram(link, -1, how);
    const QString pidText = QString::number(pid);
    const Clock::time_point deadline = t0 + 15s;
    while (device.commandsSeen < 1 && Clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    if (device.commandsSeen >= 1)
        run.firstQueryMs = ms(Clock::now() - t0);
    while (device.commandsSeen < 3 && Clock::now() < deadline) // I?, SV01?, SV02?
        std::this_thread::sleep_for(20ms);
    std::this_thread::sleep_for(300ms); // the last replies are shown
    if (device.commandsSeen >= 3)
        run.peakMb = statusKb(pidText, "VmHWM") / 1024;
    if (idle.count() > 0 && run.peakMb > 0) {
        const double before = statusKb(pidText, "voluntary_ctxt_switches");
        std::this_thread::sleep_for(idle);
        run.wakeUps = statusKb(pidText, "voluntary_ctxt_switches") - before;
    }
    stopProgram(pid);
    return run;
}

} // namespace

void benchWindowless(int samples, std::chrono::milliseconds idle)
{
    const Display display;
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("pwm-panel"));
    QFile ini(dir.filePath(QStringLiteral("pwm-panel.ini")));
    // Sample time 0: once identified, no timer of the session's runs.
    if (!QFile::link(QStringLiteral(PWM_PANEL_PATH), link) || !ini.open(QIODevice::WriteOnly) ||
        ini.write("1,\"9600\",\"-\",0,\"DUTY01\"\r\n\"PWM(%):\",\"Label2\",\"nc\",\"nc\"\r\n") < 0)
        fatal(QStringLiteral("cannot set up the window-less run in ") + dir.path());
    ini.close();
    std::vector<double> first[2], peak[2];
    for (int i = 0; i < samples; ++i)
        for (const bool windowless : {false, true}) {
            const Run run = runOnce(dir, link, windowless, {});
            if (run.firstQueryMs < 0 || run.peakMb < 0) {
                markBroken();
                note(QStringLiteral("window-less: the program was not identified"));
                return;
            }
            first[windowless].push_back(run.firstQueryMs);
            peak[windowless].push_back(run.peakMb);
        }
    const Run quiet = runOnce(dir, link, true, idle);
    const double windowedFirst = percentile(first[0], 0.5), windowlessFirst = percentile(first[1], 0.5);
    const double windowedPeak = percentile(peak[0], 0.5), windowlessPeak = percentile(peak[1], 0.5);
    note(QStringLiteral("window-less: first I? %1 ms (windowed %2 ms, %3); peak %4 MB (windowed %5 MB)")
             .arg(windowlessFirst, 0, 'f', 1)
             .arg(windowedFirst, 0, 'f', 1)
             .arg(display.describe())
             .arg(windowlessPeak, 0, 'f', 1)
             .arg(windowedPeak, 0, 'f', 1));
    report(QStringLiteral("window-less: start to first I?, median"), windowlessFirst, QStringLiteral("ms"),
           QStringLiteral("windowed %1 +-10 %").arg(windowedFirst, 0, 'f', 0),
           std::abs(windowlessFirst - windowedFirst) <= 0.1 * windowedFirst);
    report(QStringLiteral("window-less: peak resident memory once identified"), windowlessPeak,
           QStringLiteral("MB"), QStringLiteral("< windowed %1").arg(windowedPeak, 0, 'f', 1),
           windowlessPeak < windowedPeak);
    const double per10s = quiet.wakeUps * 10000.0 / double(idle.count());
    report(QStringLiteral("window-less: idle wake-ups per 10 s, identified, no polls"), per10s,
           QStringLiteral("wake-ups"), QStringLiteral("0 (pass <= 2)"), quiet.wakeUps >= 0 && per10s <= 2);
}

} // namespace bench
