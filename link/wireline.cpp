#include "link/wireline.h"

#include "link/numbertext.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

constexpr qsizetype kLongestName = 32;

bool isAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isNameCharacter(char c)
{
    return isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_';
}

// The length of NAME in "NAME=...", or 0.
qsizetype nameLengthOf(QByteArrayView line)
{
    const qsizetype equals = line.indexOf('=');
    if (equals < 1 || equals > kLongestName || !isAsciiLetter(line[0]))
        return 0;
    for (qsizetype i = 1; i < equals; ++i)
        if (!isNameCharacter(line[i]))
            return 0;
    return equals;
}

} // namespace

bool isPlainNumber(QByteArrayView text)
{
    qsizetype i = 0;
    const auto digits = [&] {
        const qsizetype from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i > from;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    bool mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa = digits() || mantissa;
    }
    if (!mantissa)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (!digits())
            return false;
    }
    return i == text.size();
}

std::optional<double> readPlainNumber(QByteArrayView text)
{
    if (!isPlainNumber(text))
        return std::nullopt;
    // from_chars is correctly rounded too and many times quicker; it says
    // out of range for an overflow or an underflow to zero, which strtod reads.
    const QByteArrayView digits = text.startsWith('+') ? text.sliced(1) : text;
    double quick = 0;
    if (std::from_chars(digits.data(), digits.data() + digits.size(), quick).ec == std::errc())
        return quick;
    // strtod in the C locale whatever the program's: correctly rounded, an
    // underflow to the nearest subnormal or zero, an overflow to infinity.
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const std::string terminated(text.data(), size_t(text.size()));
    const double value = ::strtod_l(terminated.c_str(), nullptr, c);
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

WireLine WireLine::read(QByteArray bytes, qint64 msecsSinceEpoch)
{
    WireLine line{std::move(bytes), msecsSinceEpoch, 0, 0, std::nullopt};
    if (const qsizetype length = nameLengthOf(line.bytes)) {
        const QByteArrayView rest = QByteArrayView(line.bytes).sliced(length + 1);
        // A plain number is the leading number too, read once (the usual line).
        if (const std::optional<double> plain = readPlainNumber(rest)) {
            line.nameLength = length;
            line.value = double(asSingle(*plain));
            line.sample = plain;
        } else if (const std::optional<double> number = findLeadingNumber(QString::fromLatin1(rest))) {
            line.nameLength = length;
            line.value = double(asSingle(*number));
        }
    }
    return line;
}

qint64 wireClockMSecs()
{
    static const qint64 startWall = QDateTime::currentMSecsSinceEpoch();
    static const QElapsedTimer steady = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return startWall + steady.elapsed();
}
