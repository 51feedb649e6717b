#include "link/linesettings.h"

#include <algorithm>

bool isValidPortNumber(int number)
{
    return number >= 1 && number <= 255;
}

std::optional<qint32> baudRateFromText(const QString &text)
{
    if (text.isEmpty() ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    bool ok = false;
    const qint32 rate = text.toInt(&ok);
    // Rates outside the termios list (14400, 56000, 128000 ...) are still
    // rates: Qt sets them through the kernel's arbitrary-rate interface.
    if (!ok || rate <= 0)
        return std::nullopt;
    return rate;
}

std::optional<LineSettings> lineSettingsFor(int portNumber, const QString &baudText)
{
    const std::optional<qint32> rate = baudRateFromText(baudText);
    if (!isValidPortNumber(portNumber) || !rate)
        return std::nullopt;
    return LineSettings{portNumber, *rate, {}};
}
