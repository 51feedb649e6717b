// pwm-device-sim: plays the PWM controller at the far end of a pseudo-terminal
// (or a real serial device) so the panel can be run and tested without hardware.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <pty.h>
#include <random>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

struct Options
{
    std::string code = "DUTY01", device, linkDir, logPath, eol = "\r";
    long duty = 0, preset = 1, delayMs = 0, garbage = 0, com = 1;
    pid_t exitWith = 0;
    bool silent = false, noise = false, garbageNow = false;
};

const char *usage = "usage: pwm-device-sim [options]\n"
                    "Opens a pseudo-terminal, prints its slave path and answers like the PWM controller.\n"
                    "  --device PATH        use this serial device (raw, 9600 8N1) instead of a pty\n"
                    "  --link DIR           create DIR/com<N> -> port (removed on exit)\n"
                    "  --link-beside EXE    same, in the directory of EXE\n"
                    "  --com N              link name number (default 1)\n"
                    "  --code TEXT          answer to I? (default DUTY01)\n"
                    "  --duty N, --preset K initial values (default 0, 1)\n"
                    "  --noise              process value wanders +-2 around the duty\n"
                    "  --silent             never answer\n"
                    "  --delay MS           answer after MS milliseconds\n"
                    "  --crlf | --lf-only | --no-cr   line ending of replies (default CR)\n"
                    "  --garbage N          send N random bytes after the first command\n"
                    "  --garbage-now        ... or as soon as the other side opens the port\n"
                    "  --log FILE           log traffic with timestamps (- = stderr)\n"
                    "  --exit-with PID      exit when that process is gone\n";

volatile sig_atomic_t stopSignal = 0;
void onSignal(int sig)
{
    stopSignal = sig;
}

long long nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

const long long startMs = nowMs();
FILE *logFile = nullptr;

std::string escaped(const std::string &s)
{
    std::string out;
    for (unsigned char c : s) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c >= 32 && c < 127) {
            out += char(c);
        } else {
            char b[8];
            std::snprintf(b, sizeof b, "\\x%02x", c);
            out += b;
        }
    }
    return out;
}

void logLine(const char *dir, const std::string &text)
{
    if (!logFile)
        return;
    long long t = nowMs() - startMs;
    std::fprintf(logFile, "%lld.%03lld %s %s\n", t / 1000, t % 1000, dir, text.c_str());
    std::fflush(logFile);
}

bool parseLong(const char *s, long &out)
{
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(s, &end, 10);
    if (end == s || errno)
        return false;
    out = v;
    return true;
}

// Raw mode on a real serial line: 9600 8N1, no flow control.
bool setupDevice(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    cfsetspeed(&t, B9600);
    t.c_cflag = (t.c_cflag & ~(CSTOPB | PARENB | CRTSCTS | CSIZE)) | CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

std::string upperTrimmed(const std::string &s)
{
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    if (b == std::string::npos)
        return {};
    std::string out = s.substr(b, e - b + 1);
    for (char &c : out)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

class Device
{
public:
    Device(const Options &o)
        : opt(o), duty(o.duty), preset(o.preset), rng(o.noise ? std::random_device{}() : 20240601u)
    {
    }

    // Text of the reply to one command, or "" when the device stays quiet.
    std::string answer(const std::string &raw)
    {
        const std::string cmd = upperTrimmed(raw);
        if (cmd == "I?")
            return opt.code;
        if (cmd == "SV01?")
            return "SV01=" + std::to_string(duty);
        if (cmd == "SV02?")
            return "SV02=" + std::to_string(preset);
        if (cmd == "PV1?" || cmd == "PV01?") {
            long pv = opt.noise ? std::max(0L, duty + std::uniform_int_distribution<long>(-2, 2)(rng)) : duty;
            return cmd.substr(0, cmd.size() - 1) + "=" + std::to_string(pv);
        }
        // Setters echo the value now held, so a rejected preset shows up as
        // the old one coming back.
        long v = 0;
        bool parsed = cmd.size() > 5 && parseLong(cmd.c_str() + 5, v);
        if (cmd.starts_with("SV01="))
            return "SV01=" + std::to_string(duty = parsed ? v : duty);
        if (cmd.starts_with("SV02=")) {
            if (parsed && v >= 1 && v <= 7)
                preset = v;
            return "SV02=" + std::to_string(preset);
        }
        return {};
    }

    std::string garbage(long n)
    {
        // Mostly one long CR-free run, then a tail sprinkled with CRs; always
        // contains NUL, a high byte and a CR so every decoding path gets hit.
        std::string g;
        std::uniform_int_distribution<int> byte(0, 255), coin(0, 7);
        long run = n * 2 / 3;
        for (long i = 0; i < n; ++i) {
            int c = byte(rng);
            if (i < run && c == '\r')
                c = 0xff;
            if (i >= run && coin(rng) == 0)
                c = '\r';
            g += char(c);
        }
        if (n >= 3) {
            g[0] = '\0';
            g[1] = char(0xe9);
            g[n - 1] = '\r';
        }
        return g;
    }

private:
    const Options &opt;
    long duty, preset;
    std::mt19937 rng;
};

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

std::string linkPath, linkTarget;

void removeLink()
{
    if (linkPath.empty())
        return;
    // Only our own link: a newer simulator may have replaced it meanwhile.
    char buf[PATH_MAX];
    ssize_t n = readlink(linkPath.c_str(), buf, sizeof buf - 1);
    if (n >= 0 && std::string(buf, size_t(n)) == linkTarget)
        unlink(linkPath.c_str());
    linkPath.clear();
}

bool makeLink(const std::string &dir, long com, const std::string &target)
{
    std::string path = dir + "/com" + std::to_string(com);
    std::string tmp = path + ".tmp" + std::to_string(getpid());
    unlink(tmp.c_str());
    if (symlink(target.c_str(), tmp.c_str()) != 0 || rename(tmp.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "pwm-device-sim: cannot create link %s: %s\n", path.c_str(),
                     std::strerror(errno));
        unlink(tmp.c_str());
        return false;
    }
    linkPath = path;
    linkTarget = target;
    return true;
}

int parseArgs(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char * {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "pwm-device-sim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        auto number = [&](long &out) {
            const char *v = value();
            if (!parseLong(v, out)) {
                std::fprintf(stderr, "pwm-device-sim: bad number for %s: %s\n", a.c_str(), v);
                std::exit(2);
            }
        };
        long n;
        if (a == "--help" || a == "-h") {
            std::fputs(usage, stdout);
            std::exit(0);
        } else if (a == "--device") {
            o.device = value();
        } else if (a == "--link") {
            o.linkDir = value();
        } else if (a == "--link-beside") {
            std::string exe = value();
            size_t slash = exe.rfind('/');
            o.linkDir = slash == std::string::npos ? "." : slash == 0 ? "/" : exe.substr(0, slash);
        } else if (a == "--com") {
            number(o.com);
        } else if (a == "--code") {
            o.code = value();
        } else if (a == "--duty") {
            number(o.duty);
        } else if (a == "--preset") {
            number(o.preset);
        } else if (a == "--delay") {
            number(o.delayMs);
        } else if (a == "--garbage") {
            number(o.garbage);
        } else if (a == "--exit-with") {
            number(n);
            o.exitWith = pid_t(n);
        } else if (a == "--log") {
            o.logPath = value();
        } else if (a == "--noise") {
            o.noise = true;
        } else if (a == "--silent") {
            o.silent = true;
        } else if (a == "--garbage-now") {
            o.garbageNow = true;
        } else if (a == "--crlf") {
            o.eol = "\r\n";
        } else if (a == "--lf-only") {
            o.eol = "\n";
        } else if (a == "--no-cr") {
            o.eol = "";
        } else {
            std::fprintf(stderr, "pwm-device-sim: unknown option %s\n%s", a.c_str(), usage);
            return 2;
        }
    }
    if (o.garbageNow && o.garbage <= 0)
        o.garbage = 256;
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    Options opt;
    if (int rc = parseArgs(argc, argv, opt))
        return rc;

    if (!opt.logPath.empty()) {
        logFile = opt.logPath == "-" ? stderr : std::fopen(opt.logPath.c_str(), "a");
        if (!logFile) {
            std::perror(opt.logPath.c_str());
            return 1;
        }
    }

    int fd = -1;
    std::string portPath;
    if (opt.device.empty()) {
        int slave = -1;
        char name[PATH_MAX];
        if (openpty(&fd, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            return 1;
        }
        termios t{};
        for (int f : {fd, slave}) {
            if (tcgetattr(f, &t) == 0) {
                cfmakeraw(&t);
                tcsetattr(f, TCSANOW, &t);
            }
        }
        // Not kept open: the panel must see the same closed/reopened port a
        // real device gives it, and replies must not pile up between sessions.
        close(slave);
        portPath = name;
    } else {
        fd = open(opt.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 || !setupDevice(fd)) {
            std::perror(opt.device.c_str());
            return 1;
        }
        portPath = opt.device;
    }
    const bool isPty = opt.device.empty();
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
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
            } else if (n < 0 && errno == EIO) {
                hangup = true;
            }
        } else if (p.revents & (POLLHUP | POLLERR)) {
            hangup = true;
        } else if (!connected && isPty) {
            setConnected(true); // no hang-up any more: opened, nothing sent yet
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
