#include "trend/namedvalue.h"

#include "link/numbertext.h"

#include <cfloat>
#include <cmath>
#include <limits>

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

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

// Whether readLeadingNumber finds a number at all: it skips blanks, tabs and
// LFs anywhere and returns 0 both for "0" and for no number.
bool startsWithNumber(QByteArrayView text)
{
    qsizetype pos = 0;
    const auto peek = [&]() -> char {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n'))
            ++pos;
        return pos < text.size() ? text[pos] : '\0';
    };
    if (peek() == '&') {
        ++pos;
        const char prefix = peek();
        const int base = prefix == 'H' || prefix == 'h' ? 16 : prefix == 'O' || prefix == 'o' ? 8 : 0;
        if (base == 0)
            return false;
        ++pos;
        return digitValue(peek()) < base;
    }
    if (const char c = peek(); c == '+' || c == '-')
        ++pos;
    if (digitValue(peek()) < 10)
        return true;
    if (peek() != '.')
        return false;
    ++pos;
    return digitValue(peek()) < 10;
}

// As the reply interpreter: beyond the float range is infinity, not undefined.
double toSingle(double d)
{
    if (std::isnan(d))
        return d;
    const double limit = double(FLT_MAX) + std::ldexp(1.0, 103);
    if (std::fabs(d) >= limit)
        return d > 0 ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity();
    return double(float(d));
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
    const QByteArrayView number = line.sliced(equals + 1);
    if (!startsWithNumber(number))
        return std::nullopt;
    return NamedValue{line.first(equals), toSingle(readLeadingNumber(QString::fromLatin1(number)))};
}

QString formatSampleValue(double value)
{
    return formatReplyNumber(float(toSingle(value)), QLocale::c());
}
