#include "link/linesettings.h"

#include <algorithm>
#include <array>

namespace {

// The rates termios names. A custom rate depends on driver support that many
// adapters (and pseudo-terminals) lack and would only fail at open, so it is
// refused up front.
constexpr std::array<qint32, 30> kTermiosRates = {
    50,     75,     110,     134,     150,     200,     300,     600,     1200,    1800,
    2400,   4800,   9600,    19200,   38400,   57600,   115200,  230400,  460800,  500000,
    576000, 921600, 1000000, 1152000, 1500000, 2000000, 2500000, 3000000, 3500000, 4000000};

} // namespace

bool isValidPortNumber(int number)
{
    return number >= 1 && number <= 255;
}

std::optional<qint32> baudRateFromText(const QString &text)
{
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    bool ok = false;
    const qint32 rate = text.toInt(&ok);
    if (!ok || std::find(kTermiosRates.begin(), kTermiosRates.end(), rate) == kTermiosRates.end())
        return std::nullopt;
    return rate;
}

std::optional<LineSettings> lineSettingsFor(int portNumber, const QString &baudText)
{
    const std::optional<qint32> rate = baudRateFromText(baudText);
    if (!isValidPortNumber(portNumber) || !rate)
        return std::nullopt;
    return LineSettings{portNumber, *rate};
}
