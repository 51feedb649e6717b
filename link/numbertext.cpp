#include "link/numbertext.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace {

// Walks a text while skipping blanks, tabs and line feeds wherever they stand:
// a device that pads or groups its digits ("1 2") still gives the number it
// meant (12).
class BlankSkippingReader
{
public:
    explicit BlankSkippingReader(QStringView text) : m_text(text) {}

    // The next significant character, or 0 at the end.
    char16_t peek()
    {
        while (m_pos < m_text.size()) {
            const char16_t c = m_text[m_pos].unicode();
            if (c != u' ' && c != u'\t' && c != u'\n')
                return c;
            ++m_pos;
        }
        return 0;
    }
    void advance() { ++m_pos; }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

bool isDecimalDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

int digitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return 99;
}

// &H and &O integers. Devices send their 16- and 32-bit registers in hex, so
// a value that fits 16 bits is a 16-bit signed integer (&HFFFF is -1) and one
// that fits 32 bits a 32-bit signed integer (&HFFFFFFFF is -1); anything
// larger is taken unsigned and saturates at 2^64 - 1.
std::optional<double> readPrefixedInteger(BlankSkippingReader &reader)
{
    int base = 0;
    switch (reader.peek()) {
    case u'H':
    case u'h':
        base = 16;
        break;
    case u'O':
    case u'o':
        base = 8;
        break;
    default:
        return std::nullopt;
    }
    reader.advance();

    constexpr quint64 kMax = std::numeric_limits<quint64>::max();
    quint64 value = 0;
    bool any = false;
    for (int d; (d = digitValue(reader.peek())) < base; reader.advance()) {
        any = true;
        value = value > (kMax - d) / base ? kMax : value * base + d;
    }
    if (!any)
        return std::nullopt;
    if (value <= 0xFFFF)
        return static_cast<qint16>(static_cast<quint16>(value));
    if (value <= 0xFFFFFFFF)
        return static_cast<qint32>(static_cast<quint32>(value));
    return static_cast<double>(value);
}

std::optional<double> readDecimal(BlankSkippingReader &reader)
{
    // The number is gathered as clean text and converted in one go, so the
    // result is the correctly rounded double of the decimal digits.
    std::string text;
    bool negative = false;
    if (const char16_t c = reader.peek(); c == u'+' || c == u'-') {
        negative = c == u'-';
        reader.advance();
    }
    if (negative)
        text += '-';

    // Decimal order of the leading significant digit, to tell an overflow
    // from an underflow when the conversion reports the value out of range.
    long order = 0;
    bool seenSignificant = false;
    bool anyDigit = false;
    for (; isDecimalDigit(reader.peek()); reader.advance()) {
        const char c = static_cast<char>(reader.peek());
        anyDigit = true;
        seenSignificant = seenSignificant || c != '0';
        if (seenSignificant)
            ++order;
        text += c;
    }
    if (text.empty() || text == "-")
        text += '0';
    if (reader.peek() == u'.') {
        reader.advance();
        std::string fraction;
        for (; isDecimalDigit(reader.peek()); reader.advance()) {
            const char c = static_cast<char>(reader.peek());
            anyDigit = true;
            if (!seenSignificant && c == '0')
                --order;
            seenSignificant = seenSignificant || c != '0';
            fraction += c;
        }
        if (!fraction.empty())
            text += '.' + fraction;
    }
    if (!anyDigit)
        return std::nullopt;

    if (const char16_t c = reader.peek(); c == u'E' || c == u'e' || c == u'D' || c == u'd') {
        reader.advance();
        std::string exponent = "e";
        bool expNegative = false;
        if (const char16_t s = reader.peek(); s == u'+' || s == u'-') {
            expNegative = s == u'-';
            exponent += static_cast<char>(s);
            reader.advance();
        }
        long expValue = 0;
        bool anyExpDigit = false;
        for (; isDecimalDigit(reader.peek()); reader.advance()) {
            anyExpDigit = true;
            exponent += static_cast<char>(reader.peek());
            expValue = std::min(expValue * 10 + (reader.peek() - u'0'), 1'000'000L);
        }
        // "1e" and "1e+" end before the letter: the number is 1.
        if (anyExpDigit) {
            text += exponent;
            order += expNegative ? -expValue : expValue;
        }
    }

    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    Q_UNUSED(end);
    if (error == std::errc::result_out_of_range) {
        value = order > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        if (negative)
            value = -value;
    }
    return value;
}

} // namespace

std::optional<double> findLeadingNumber(QStringView text)
{
    BlankSkippingReader reader(text);
    if (reader.peek() == u'&') {
        reader.advance();
        return readPrefixedInteger(reader);
    }
    return readDecimal(reader);
}

double readLeadingNumber(QStringView text)
{
    return findLeadingNumber(text).value_or(0);
}

float asSingle(double value)
{
    if (std::isnan(value))
        return std::numeric_limits<float>::quiet_NaN();
    // Values up to FLT_MAX plus half its last unit still round to FLT_MAX.
    const double limit = double(FLT_MAX) + std::ldexp(1.0, 103);
    if (std::fabs(value) >= limit)
        return value > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    return float(value);
}

QString formatReplyNumber(float value, const QLocale &locale)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
    if (value == 0)
        return QStringLiteral("0");

    // Rounding the float's exact value to seven significant digits first; the
    // notation then depends on the rounded magnitude (9.9999999e-5 shows as
    // 0.0001).
    char buffer[32];
    const double magnitude = std::fabs(static_cast<double>(value));
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 6);
    // Always "d.dddddde+XX".
    const std::string_view text(buffer, result.ptr - buffer);
    std::string digits;
    digits += text[0];
    digits += text.substr(2, 6);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const auto exponentText = text.substr(text.find('e') + 1);
    int exponent = 0;
    std::from_chars(exponentText.data() + 1, exponentText.data() + exponentText.size(), exponent);
    if (exponentText[0] == '-')
        exponent = -exponent;

    const QString point = locale.decimalPoint();
    QString out;
    if (value < 0)
        out += u'-';

    if (exponent >= -4 && exponent <= 6) {
        if (exponent >= 0) {
            const auto whole = static_cast<size_t>(exponent) + 1;
            if (digits.size() <= whole) {
                out += QLatin1StringView(digits.data(), digits.size());
                out += QString(static_cast<qsizetype>(whole - digits.size()), u'0');
            } else {
                out += QLatin1StringView(digits.data(), whole);
                out += point;
                out += QLatin1StringView(digits.data() + whole, digits.size() - whole);
            }
        } else {
            out += u'0';
            out += point;
            out += QString(-exponent - 1, u'0');
            out += QLatin1StringView(digits.data(), digits.size());
        }
        return out;
    }

    out += QLatin1Char(digits[0]);
    if (digits.size() > 1) {
        out += point;
        out += QLatin1StringView(digits.data() + 1, digits.size() - 1);
    }
    out += exponent < 0 ? QLatin1StringView("E-") : QLatin1StringView("E+");
    out += QStringLiteral("%1").arg(std::abs(exponent), 2, 10, QLatin1Char('0'));
    return out;
}
