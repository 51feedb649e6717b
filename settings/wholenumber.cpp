#include "settings/wholenumber.h"

#include <algorithm>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

// Accepted: blanks, an optional sign, ASCII digits with at most one decimal
// separator of the locale, blanks. No group separators and no exponent: these
// boxes hold port numbers, sample times and percentages, where "1e3" or
// "1,000" is far more likely a typing slip than meant. The rounding works on
// the decimal digits themselves, so a half is only a half when the text says
// so exactly (2.5000000000000000001 goes up, a double would call it 2.5).
std::optional<qint16> toWholeNumber(const QString &text, const QLocale &locale)
{
    qsizetype pos = 0;
    qsizetype end = text.size();
    while (pos < end && isBlank(text[pos]))
        ++pos;
    while (end > pos && isBlank(text[end - 1]))
        --end;
    const QStringView body = QStringView(text).sliced(pos, end - pos);

    qsizetype i = 0;
    bool negative = false;
    const QString minus = locale.negativeSign();
    const QString plus = locale.positiveSign();
    if (body.startsWith(u'-')) {
        negative = true;
        i = 1;
    } else if (body.startsWith(u'+')) {
        i = 1;
    } else if (!minus.isEmpty() && body.startsWith(minus)) {
        negative = true;
        i = minus.size();
    } else if (!plus.isEmpty() && body.startsWith(plus)) {
        i = plus.size();
    }

    // The whole part: its value saturates well above the 16-bit range.
    constexpr int kTooBig = 100000;
    int magnitude = 0;
    bool anyDigit = false;
    for (; i < body.size() && isDigit(body[i]); ++i) {
        anyDigit = true;
        magnitude = std::min(magnitude * 10 + (body[i].unicode() - u'0'), kTooBig);
    }

    // The fraction only matters as below, at or above one half.
    int firstFractionDigit = 0;
    bool restNonZero = false;
    const QString point = locale.decimalPoint();
    if (i < body.size() && body.sliced(i).startsWith(point)) {
        i += point.size();
        for (qsizetype first = i; i < body.size() && isDigit(body[i]); ++i) {
            anyDigit = true;
            const int digit = body[i].unicode() - u'0';
            if (i == first)
                firstFractionDigit = digit;
            else if (digit != 0)
                restNonZero = true;
        }
    }
    if (!anyDigit || i != body.size())
        return std::nullopt;

    const bool roundUp =
        firstFractionDigit > 5 || (firstFractionDigit == 5 && (restNonZero || magnitude % 2 == 1));
    if (roundUp)
        magnitude = std::min(magnitude + 1, kTooBig);

    const int value = negative ? -magnitude : magnitude;
    if (value < -32768 || value > 32767)
        return std::nullopt;
    return static_cast<qint16>(value);
}
