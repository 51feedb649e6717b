// pwm-device-sim: plays the PWM controller at the far end of a pseudo-terminal
// (or a real serial device) so the panel can be run and tested without hardware.
#include "sim/device.h"
#include "sim/link.h"
#include "sim/log.h"
#include "sim/options.h"
#include "sim/port.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <utility>

using namespace sim;

namespace {

volatile sig_atomic_t stopSignal = 0;
void onSignal(int sig)
{
    stopSignal = sig;
}

// ppoll only lets a signal in when it waits; with a descriptor that is always
// ready (a hung-up line) it never does, so a stop request is taken here too.
void takePendingStop(const sigset_t &blocked)
{
    const timespec now{0, 0};
    if (const int sig = sigtimedwait(&blocked, nullptr, &now); sig > 0)
        stopSignal = sig;
}

// A killed parent may linger as a zombie until someone reaps it; that counts as gone.
bool processAlive(pid_t pid)
{
    if (kill(pid, 0) != 0)
        return errno != ESRCH;
    FILE *f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!f)
        return true;
    char state = '?';
    int got = std::fscanf(f, "%*d (%*[^)]) %c", &state);
    std::fclose(f);
    return !(got == 1 && (state == 'Z' || state == 'X'));
}

} // namespace

int main(int argc, char **argv)
{
    Options opt;
    if (int rc = parseArgs(argc, argv, opt))
        return rc;

    if (!opt.logPath.empty() && !openLog(opt.logPath)) {
        std::perror(opt.logPath.c_str());
        return 1;
    }

    std::string portPath;
    int fd = openPort(opt.device, portPath);
    if (fd < 0)
        return 1;
    const bool isPty = opt.device.empty();
    // Link first: once the path is printed the port is fully ready.
    if (!opt.linkDir.empty() && !makeLink(opt.linkDir, opt.com, portPath))
        return 1;
    std::printf("%s\n", portPath.c_str());
    std::fflush(stdout);

    sigset_t blocked, waitMask;
    sigemptyset(&blocked);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&blocked, s);
        std::signal(s, onSignal);
    }
    std::signal(SIGPIPE, SIG_IGN);
    // Signals are only delivered inside ppoll, so a stop request is never missed.
    sigprocmask(SIG_BLOCK, &blocked, &waitMask);

    char started[32];
    time_t wall = time(nullptr);
    strftime(started, sizeof started, "%F %T", localtime(&wall));
    logLine("*", "listening on " + portPath + " (started " + started + ")");

    Device dev(opt);
    struct Pending
    {
        long long due;
        std::string bytes;
    };
    std::deque<Pending> pending;
    std::string in, out;
    bool connected = !isPty, garbageDone = opt.garbage <= 0;
    long long connectedAt = 0, nextExitCheck = nowMs();

    auto setConnected = [&](bool on) {
        if (on != connected)
            logLine("*", on ? "other side opened the port" : "other side closed the port");
        connected = on;
        connectedAt = nowMs();
        if (!on) {
            in.clear();
            out.clear();
            pending.clear();
        }
    };
    auto sendGarbage = [&] {
        std::string g = dev.garbage(opt.garbage);
        logLine(">", "[garbage " + std::to_string(g.size()) + " bytes] " + escaped(g));
        out += g;
        garbageDone = true;
    };

    while (!stopSignal) {
        takePendingStop(blocked);
        if (stopSignal)
            break;
        long long now = nowMs();
        if (opt.exitWith > 0 && now >= nextExitCheck) {
            if (!processAlive(opt.exitWith)) {
                logLine("*", "watched process gone");
                break;
            }
            nextExitCheck = now + 200;
        }
        while (!pending.empty() && pending.front().due <= now) {
            logLine(">", escaped(pending.front().bytes));
            out += pending.front().bytes;
            pending.pop_front();
        }
        // Give the opener a moment to configure the port before the burst.
        if (connected && opt.garbageNow && !garbageDone && now >= connectedAt + 100)
            sendGarbage();
        if (connected && !out.empty()) {
            ssize_t n = write(fd, out.data(), out.size());
            if (n > 0)
                out.erase(0, size_t(n));
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                setConnected(false);
        }

        long long wait = -1;
        auto until = [&](long long t) {
            long long d = std::max(0LL, t - now);
            wait = wait < 0 ? d : std::min(wait, d);
        };
        if (!pending.empty())
            until(pending.front().due);
        if (opt.exitWith > 0)
            until(nextExitCheck);
        if (connected && opt.garbageNow && !garbageDone)
            until(connectedAt + 100);
        // A pty opened by the other side shows no event until it writes; a poll
        // that times out without hang-up tells us it is open.
        if (!connected && isPty)
            until(now + 50);

        pollfd p{fd, short(POLLIN | (connected && !out.empty() ? POLLOUT : 0)), 0};
        timespec ts{}, *tsp = nullptr;
        if (wait >= 0) {
            ts.tv_sec = wait / 1000;
            ts.tv_nsec = (wait % 1000) * 1000000;
            tsp = &ts;
        }
        int r = ppoll(&p, 1, tsp, &waitMask);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            std::perror("ppoll");
            break;
        }

        bool hangup = false;
        if (p.revents & POLLIN) {
            char buf[4096];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n > 0) {
                if (!connected)
                    setConnected(true);
                for (ssize_t i = 0; i < n; ++i) {
                    char c = buf[i];
                    if (c != '\r') {
                        if (c != '\n' && in.size() < 4096)
                            in += c; // a runaway line is cut, not grown forever
                        continue;
                    }
                    std::string cmd = std::exchange(in, {});
                    if (cmd.empty())
                        continue;
                    logLine("<", escaped(cmd));
                    if (!garbageDone && !opt.garbageNow)
                        sendGarbage();
                    std::string reply = opt.silent ? std::string() : dev.answer(cmd);
                    if (!reply.empty())
                        pending.push_back({nowMs() + opt.delayMs, reply + opt.eol});
                }
            } else if (n == 0 || (n < 0 && errno == EIO)) {
                hangup = true; // end of file: nobody is at the other end any more
            }
        } else if (p.revents & (POLLHUP | POLLERR)) {
            hangup = true;
        } else if (!connected && isPty) {
            setConnected(true); // no hang-up any more: opened, nothing sent yet
        }
        if (hangup && !isPty) {
            // A device given by path (a socat pty, a real line) does not come
            // back on the same descriptor: waiting would only spin on it.
            logLine("*", "other side hung up; ending");
            break;
        }
        if (hangup) {
            setConnected(false);
            // Nobody has the slave open: the master reports HUP/EIO until someone
            // does, so nap instead of spinning and look again.
            timespec nap{0, 50 * 1000000};
            ppoll(nullptr, 0, &nap, &waitMask);
        }
    }

    if (stopSignal)
        logLine("*", std::string("stopping on ") + strsignal(stopSignal));
    removeLink();
    close(fd);
    return 0;
}
