#include "trend/namedvalue.h"

#include "link/numbertext.h"

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

} // namespace

std::optional<NamedValue> readNamedValue(QByteArrayView line)
{
    const qsizetype equals = line.indexOf('=');
    if (equals < 1 || equals > kLongestName || !isAsciiLetter(line[0]))
        return std::nullopt;
    for (qsizetype i = 1; i < equals; ++i)
        if (!isNameCharacter(line[i]))
            return std::nullopt;
    const std::optional<double> number = findLeadingNumber(QString::fromLatin1(line.sliced(equals + 1)));
    if (!number)
        return std::nullopt;
    return NamedValue{line.first(equals), double(asSingle(*number))};
}

QString formatSampleValue(double value)
{
    return formatReplyNumber(asSingle(value), QLocale::c());
}
