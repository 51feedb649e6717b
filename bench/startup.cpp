// Start-up and memory: the real program, started as a user would, timed to
// its first frame; then its peak memory once it has found the device.
#include "bench/benchmarks.h"
#include "bench/harness.h"

#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {
namespace {

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
    // "Flushing QRegion(...) of MainWindow": that moment is "first shown".
    if (tracePaint)
        env.push_back("QT_LOGGING_RULES=qt.widgets.painting=true");
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    QByteArray path = QFile::encodeName(link);
    const QByteArray dir = QFile::encodeName(QFileInfo(link).absolutePath());
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, 0);
        ::dup2(devnull, 1);
        ::dup2(errFd >= 0 ? errFd : devnull, 2);
        if (::chdir(dir.constData()) != 0)
            ::_exit(126);
        // The full path, as a launcher gives it: a bare name would be looked up on PATH.
        char *argv[] = {path.data(), nullptr};
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
        if (at != std::string::npos && seen.find("of MainWindow", at) != std::string::npos) {
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

// Peak memory: the program finds the simulated controller on com1 (its first
// search tick comes DeviceSession::kSearchInterval after start) and reads back.
void measurePeakMemory(const QTemporaryDir &dir, const QString &link)
{
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
            markBroken();
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

    measurePeakMemory(dir, link);
}

} // namespace bench
