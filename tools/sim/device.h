#pragma once

#include "sim/options.h"

#include <random>
#include <string>

namespace sim {

// The controller's state and its replies: duty, preset and the process value.
class Device
{
public:
    explicit Device(const Options &o);

    // Text of the reply to one command, or "" when the device stays quiet.
    std::string answer(const std::string &raw);

    // n bytes of line noise for the decoding paths of the other side.
    std::string garbage(long n);

private:
    const Options &opt;
    long duty, preset;
    std::mt19937 rng;
};

} // namespace sim
