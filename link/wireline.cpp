#include "link/wireline.h"

#include "link/numbertext.h"

#include <QDateTime>
#include <QElapsedTimer>

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

WireLine WireLine::read(QByteArray bytes, qint64 msecsSinceEpoch)
{
    WireLine line{std::move(bytes), msecsSinceEpoch, 0, 0, std::nullopt};
    if (const qsizetype length = nameLengthOf(line.bytes)) {
        const QByteArrayView rest = QByteArrayView(line.bytes).sliced(length + 1);
        if (const std::optional<double> number = findLeadingNumber(QString::fromLatin1(rest))) {
            line.nameLength = length;
            line.value = double(asSingle(*number));
            line.sample = readPlainNumber(rest);
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
