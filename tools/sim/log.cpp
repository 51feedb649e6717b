#include "sim/log.h"

#include <cstdio>
#include <ctime>

namespace sim {

long long nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

namespace {

const long long startMs = nowMs();
FILE *logFile = nullptr;

} // namespace

bool openLog(const std::string &path)
{
    logFile = path == "-" ? stderr : std::fopen(path.c_str(), "a");
    return logFile != nullptr;
}

void logLine(const char *dir, const std::string &text)
{
    if (!logFile)
        return;
    long long t = nowMs() - startMs;
    std::fprintf(logFile, "%lld.%03lld %s %s\n", t / 1000, t % 1000, dir, text.c_str());
    std::fflush(logFile);
}

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

} // namespace sim
