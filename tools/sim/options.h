#pragma once

#include <string>
#include <sys/types.h>

namespace sim {

// What the simulator plays and how, as given on the command line.
struct Options
{
    std::string code = "DUTY01", device, linkDir, logPath, eol = "\r";
    long duty = 0, preset = 1, delayMs = 0, garbage = 0, com = 1;
    pid_t exitWith = 0;
    bool silent = false, noise = false, garbageNow = false;
};

// Fills o from the command line. --help and a missing or bad value end the
// program here; an unknown option gives exit code 2, success 0.
int parseArgs(int argc, char **argv, Options &o);

// The leading decimal number of s; false when there is none or it overflows.
bool parseLong(const char *s, long &out);

} // namespace sim
