#include "sim/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace sim {

namespace {

const char *usage = "usage: pwm-device-sim [options]\n"
                    "Opens a pseudo-terminal, prints its slave path and answers like the PWM controller.\n"
                    "  --device PATH        use this serial device (raw, 9600 8N1) instead of a pty;\n"
                    "                       ends when its other end hangs up\n"
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

} // namespace

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

} // namespace sim
