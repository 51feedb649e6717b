#include "harness.h"

#include "testsupport/windowlookup.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

namespace bench {

// ---------------------------------------------------------------- results

namespace {
std::vector<Metric> g_metrics;
bool g_broken = false;
} // namespace

const std::vector<Metric> &metrics()
{
    return g_metrics;
}

void report(QString name, double value, QString unit, QString target, std::optional<bool> pass)
{
    g_metrics.push_back({std::move(name), value, std::move(unit), std::move(target), pass});
}

void markBroken()
{
    g_broken = true;
}

bool broken()
{
    return g_broken;
}

void note(const QString &text)
{
    std::fprintf(stderr, "  %s\n", qPrintable(text));
}

void fatal(const QString &why)
{
    std::fprintf(stderr, "pwm-bench: %s\n", qPrintable(why));
    std::fflush(stderr);
    std::_Exit(2);
}

// ---------------------------------------------------------------- time

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

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t rank = size_t(std::ceil(p * double(v.size())));
    return v[std::clamp<size_t>(rank, 1, v.size()) - 1];
}

double mean(const std::vector<double> &v)
{
    double total = 0;
    for (double x : v)
        total += x;
    return v.empty() ? 0 : total / double(v.size());
}

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

// ---------------------------------------------------------------- window side

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

void runGuarded(QEventLoop &loop)
{
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, &loop, &QEventLoop::quit);
    giveUp.start(600s);
    loop.exec();
}

void SilentDialogs::ask(const DialogContent &content, Answered answered)
{
    ++shown;
    std::fprintf(stderr, "pwm-bench: the window raised a message box: %s / %s\n", qPrintable(content.title),
                 qPrintable(content.text));
    if (answered)
        answered(QMessageBox::Cancel);
}

void SilentDialogs::askSaveFile(const SaveFileRequest &request, FileChosen)
{
    ++shown;
    note(QStringLiteral("save dialog (cancelled): ") + request.title);
}

void SilentDialogs::askOpenFile(const OpenFileRequest &request, FileChosen)
{
    ++shown;
    note(QStringLiteral("open dialog (cancelled): ") + request.title);
}

IdleRun runIdleFor(std::chrono::milliseconds length)
{
    rusage threadBefore{}, processBefore{}, threadAfter{}, processAfter{}, ender{};
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
    const auto enderCpuMs = double(ender.ru_utime.tv_sec + ender.ru_stime.tv_sec) * 1e3 +
                            double(ender.ru_utime.tv_usec + ender.ru_stime.tv_usec) / 1e3;
    return {threadAfter.ru_nvcsw - threadBefore.ru_nvcsw,
            processAfter.ru_nvcsw - processBefore.ru_nvcsw - ender.ru_nvcsw,
            cpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpu0 - enderCpuMs};
}

Rig::Rig(const QByteArray &ini, bool withDevice)
{
    if (!pty.open())
        fatal(QStringLiteral("no pseudo-terminal: ") + pty.errorString());
    if (!dir.isValid() || !QFile::link(pty.slavePath(), dir.filePath(QStringLiteral("com1"))))
        fatal(QStringLiteral("cannot link com1 in ") + dir.path());
    if (!ini.isNull()) {
        QFile f(dir.filePath(QStringLiteral("pwm-panel.ini")));
        if (!f.open(QIODevice::WriteOnly) || f.write(ini) != ini.size())
            fatal(QStringLiteral("cannot write the settings file"));
    }
    if (withDevice)
        device = std::make_unique<Device>(pty.masterFd());
    port = std::make_unique<SystemSerialPort>(dir.path());
    program = std::make_unique<PanelProgram>(*port, dialogs,
                                             ExecutableInfo{dir.path(), QStringLiteral("pwm-panel")},
                                             SessionSchedule{.search = 100ms});
    window = &program->window();
    widgets = findWindowWidgets(*window);
    QObject::connect(&session(), &DeviceSession::lineReceived, [this] { ++linesReceived; });
    QObject::connect(&session(), &DeviceSession::endRequested,
                     [] { fatal(QStringLiteral("the window ended the program")); });
    window->show();
}

Rig::~Rig()
{
    program.reset();
    port.reset();
    device.reset(); // before the pty closes
}

void Rig::identify()
{
    DeviceSession &s = session();
    // The third line is the answer to the second read-back, after which the
    // read-back timer has stopped.
    const bool ok = runEventsUntil(
        [&] { return linesReceived >= 3 && s.state() == DeviceSession::State::Identified; }, 10s);
    if (!ok)
        fatal(QStringLiteral("identification did not finish; status: ") + s.status().text);
}

LatenessProbe::LatenessProbe()
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

void LatenessProbe::start()
{
    last = Clock::now();
    timer.start();
}

} // namespace bench
