#include "sim/device.h"

#include <algorithm>
#include <cctype>

namespace sim {

namespace {

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

} // namespace

// A fixed seed without --noise, so the garbage bytes repeat from run to run.
Device::Device(const Options &o)
    : opt(o), duty(o.duty), preset(o.preset), rng(o.noise ? std::random_device{}() : 20240601u)
{
}

std::string Device::answer(const std::string &raw)
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

std::string Device::garbage(long n)
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

} // namespace sim
