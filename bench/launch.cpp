#include "launch.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {
namespace {
const Display *g_display = nullptr;
} // namespace

Display::Display()
{
    g_display = this;
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    int fds[2];
    if (xvfb.isEmpty() || ::pipe(fds) != 0)
        return;
    server = ::fork();
    if (server == 0) {
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, 0);
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
        ::dup2(fds[1], 5);
        const QByteArray path = QFile::encodeName(xvfb);
        ::execl(path.constData(), "Xvfb", "-displayfd", "5", "-screen", "0", "1024x768x24", "-dpi", "96",
                "-nolisten", "tcp", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    char number[16] = {};
    pollfd pfd{fds[0], POLLIN, 0};
    if (::poll(&pfd, 1, 5000) > 0 && ::read(fds[0], number, sizeof number - 1) > 0)
        name = ':' + std::to_string(std::atoi(number));
    ::close(fds[0]);
}

Display::~Display()
{
    if (server > 0) {
        ::kill(server, SIGTERM);
        ::waitpid(server, nullptr, 0);
    }
    g_display = nullptr;
}

QString Display::describe() const
{
    return name.empty() ? QStringLiteral("offscreen")
                        : QStringLiteral("Xvfb ") + QString::fromStdString(name);
}

pid_t startProgram(const QString &link, int errFd, const Launch &how)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry(*e);
        if (!entry.starts_with("QT_QPA_PLATFORM=") && !entry.starts_with("QT_LOGGING_RULES=") &&
            !entry.starts_with("DISPLAY=") && !entry.starts_with("WAYLAND_DISPLAY="))
            env.push_back(entry);
    }
    if (how.withoutDisplay) {
        // as a rig without a screen: nothing to open a window on
    } else if (g_display && !g_display->name.empty()) {
        env.push_back("QT_QPA_PLATFORM=xcb");
        env.push_back("DISPLAY=" + g_display->name);
    } else {
        env.push_back("QT_QPA_PLATFORM=offscreen");
    }
    if (how.tracePaint)
        env.push_back("QT_LOGGING_RULES=qt.widgets.painting=true");
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    QByteArray path = QFile::encodeName(link);
    std::vector<std::string> args = how.arguments;
    std::vector<char *> argv{path.data()};
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
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
        ::execve(path.constData(), argv.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

void stopProgram(pid_t pid)
{
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

} // namespace bench
