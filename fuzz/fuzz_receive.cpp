// What a device (or line noise) sends: bytes in arbitrary pieces become reply
// lines, and the numbers read from them are shown. None of it may crash, the
// pieces must not change the lines, and a shown number must say what was read.
//
// The first byte also chooses how the input is cut into feeds; it stays part
// of the data, so corpus files are plain replies.

#include "fuzz/fuzzcheck.h"
#include "link/lineassembler.h"
#include "link/numbertext.h"

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

namespace {

constexpr qsizetype kMax = LineAssembler::kMaxLine;

QByteArray show(QByteArrayView bytes)
{
    const QByteArray head = bytes.first(std::min<qsizetype>(bytes.size(), 80)).toByteArray();
    return head.toPercentEncoding(" ,.-+=&") + (bytes.size() > 80 ? "..." : "");
}

// The rule byte by byte: LF vanishes, CR ends a non-empty line, a line keeps
// its first kMaxLine bytes.
struct ModelAssembler
{
    QList<QByteArray> lines;
    QByteArray pending;

    void feed(QByteArrayView bytes)
    {
        for (const char c : bytes) {
            if (c == '\n')
                continue;
            if (c == '\r') {
                if (!pending.isEmpty())
                    lines.append(std::exchange(pending, QByteArray()));
                continue;
            }
            if (pending.size() < kMax)
                pending.append(c);
        }
    }
};

// Piece lengths from the first byte: empty feeds, single bytes, small runs and
// runs long enough to cross the line cap inside one feed.
class Pieces
{
public:
    explicit Pieces(uint8_t seed) : m_state(0x9E3779B9u ^ (seed * 0x01000193u + 1u)) {}

    qsizetype next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        const uint32_t r = m_state >> 3;
        switch (m_state & 7) {
        case 0:
            return 0;
        case 1:
        case 2:
            return 1;
        case 3:
        case 4:
            return 1 + r % 16;
        case 5:
        case 6:
            return 1 + r % 1024;
        default:
            return 1 + r % 40000;
        }
    }

private:
    uint32_t m_state;
};

void checkLines(const QList<QByteArray> &lines, const char *how)
{
    for (const QByteArray &line : lines) {
        FUZZ_CHECK(!line.isEmpty(), "%s: an empty line", how);
        FUZZ_CHECK(line.size() <= kMax, "%s: a line of %lld bytes", how, static_cast<long long>(line.size()));
        FUZZ_CHECK(!line.contains('\r') && !line.contains('\n'), "%s: a line break inside [%s]", how,
                   show(line).constData());
    }
}

// What the assembler keeps for the next feed, handed on by a CR.
QByteArray flushed(LineAssembler &assembler)
{
    const QList<QByteArray> rest = assembler.feed("\r");
    return rest.isEmpty() ? QByteArray() : rest.last();
}

void checkSame(const QList<QByteArray> &got, const QByteArray &gotPending, const ModelAssembler &model,
               const char *how)
{
    FUZZ_CHECK(got.size() == model.lines.size(), "%s: %lld lines, expected %lld", how,
               static_cast<long long>(got.size()), static_cast<long long>(model.lines.size()));
    for (qsizetype i = 0; i < got.size(); ++i) {
        FUZZ_CHECK(got[i] == model.lines[i], "%s: line %lld is [%s], expected [%s]", how,
                   static_cast<long long>(i), show(got[i]).constData(), show(model.lines[i]).constData());
    }
    FUZZ_CHECK(gotPending == model.pending, "%s: pending [%s], expected [%s]", how,
               show(gotPending).constData(), show(model.pending).constData());
}

// The reading the header describes, done with strtod: blanks, tabs and LFs
// dropped anywhere; &H / &O integers (16 then 32 bits signed, else unsigned,
// saturating); else sign, digits, '.', an E or D exponent with digits.
double modelNumber(QStringView text)
{
    std::string s;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u' ' || u == u'\t' || u == u'\n')
            continue;
        s += u < 0x80 ? char(u) : '\x7f'; // non-ASCII matches nothing
    }
    size_t i = 0;
    auto at = [&](size_t k) { return k < s.size() ? s[k] : '\0'; };

    if (at(0) == '&') {
        int base = 0;
        if (at(1) == 'H' || at(1) == 'h')
            base = 16;
        else if (at(1) == 'O' || at(1) == 'o')
            base = 8;
        if (base == 0)
            return 0;
        uint64_t v = 0;
        bool any = false;
        for (i = 2;; ++i) {
            const char c = at(i);
            int d = 99;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            if (d >= base)
                break;
            any = true;
            if (__builtin_mul_overflow(v, uint64_t(base), &v) || __builtin_add_overflow(v, uint64_t(d), &v))
                v = std::numeric_limits<uint64_t>::max();
        }
        if (!any)
            return 0;
        if (v <= 0xFFFF)
            return int16_t(uint16_t(v));
        if (v <= 0xFFFFFFFF)
            return int32_t(uint32_t(v));
        return double(v);
    }

    std::string number;
    if (at(i) == '+' || at(i) == '-')
        number += s[i++];
    bool digit = false;
    for (; at(i) >= '0' && at(i) <= '9'; ++i)
        number += s[i], digit = true;
    if (at(i) == '.') {
        number += s[i++];
        for (; at(i) >= '0' && at(i) <= '9'; ++i)
            number += s[i], digit = true;
    }
    if (!digit)
        return 0;
    const char e = at(i);
    if (e == 'e' || e == 'E' || e == 'd' || e == 'D') {
        size_t k = i + 1;
        std::string exponent = "e";
        if (at(k) == '+' || at(k) == '-')
            exponent += s[k++];
        const size_t firstDigit = k;
        for (; at(k) >= '0' && at(k) <= '9'; ++k)
            exponent += s[k];
        if (k > firstDigit)
            number += exponent;
    }
    return std::strtod(number.c_str(), nullptr);
}

void checkNumber(QStringView text)
{
    const double value = readLeadingNumber(text);
    const double expected = modelNumber(text);
    FUZZ_CHECK(value == expected, "[%s] read as %.17g, expected %.17g", show(text.toUtf8()).constData(),
               value, expected);
}

void checkShown(double read)
{
    static const QLocale c = QLocale::c();
    static const QLocale german(QLocale::German, QLocale::Germany);

    const float value = static_cast<float>(read);
    const QString shown = formatReplyNumber(value, c);
    const QString shownGerman = formatReplyNumber(value, german);
    const QByteArray s = shown.toLatin1();
    FUZZ_CHECK(shown.size() <= 16, "%.9g shows as %s", double(value), s.constData());
    FUZZ_CHECK(shownGerman == QString(shown).replace(u'.', u','), "%.9g: [%s] in C, [%s] in German",
               double(value), s.constData(), shownGerman.toUtf8().constData());

    if (std::isinf(value)) {
        FUZZ_CHECK(shown == (value < 0 ? QLatin1String("-inf") : QLatin1String("inf")), "%s", s.constData());
        return;
    }
    if (value == 0) {
        FUZZ_CHECK(shown == QLatin1String("0"), "zero shows as %s", s.constData());
        return;
    }

    // Seven significant digits: read back, it is within half a unit of the seventh digit.
    const double back = readLeadingNumber(shown);
    const double exact = value;
    FUZZ_CHECK(std::fabs(back - exact) <= 5.000001e-7 * std::fabs(exact), "%.9g shows as %s", exact,
               s.constData());
    FUZZ_CHECK(std::signbit(back) == std::signbit(exact), "%.9g shows as %s", exact, s.constData());

    const qsizetype e = shown.indexOf(u'E');
    const QString mantissa = e < 0 ? shown : shown.first(e);
    const bool plainRange = std::fabs(back) >= 1e-4 && std::fabs(back) < 1e7;
    FUZZ_CHECK((e < 0) == plainRange, "%.9g shows as %s", exact, s.constData());
    if (e >= 0) {
        // 1.234568E+07, 1E-05: a mantissa from 1 to below 10, a signed exponent of two digits or more.
        const QString exponent = shown.sliced(e + 1);
        FUZZ_CHECK(exponent.size() >= 3 && (exponent[0] == u'+' || exponent[0] == u'-'), "%s", s.constData());
        const QString unsignedMantissa = mantissa.startsWith(u'-') ? mantissa.sliced(1) : mantissa;
        FUZZ_CHECK(unsignedMantissa[0] >= u'1' && unsignedMantissa[0] <= u'9' &&
                       (unsignedMantissa.size() == 1 || unsignedMantissa[1] == u'.'),
                   "%s", s.constData());
    }
    if (mantissa.contains(u'.')) {
        FUZZ_CHECK(!mantissa.endsWith(u'0') && !mantissa.endsWith(u'.'), "trailing zeros in %s",
                   s.constData());
    }
    int significant = 0;
    bool leading = true;
    for (const QChar ch : mantissa) {
        if (ch == u'-' || ch == u'.' || (leading && ch == u'0'))
            continue;
        leading = false;
        FUZZ_CHECK(ch >= u'0' && ch <= u'9', "%s", s.constData());
        ++significant;
    }
    FUZZ_CHECK(significant >= 1 && significant <= 7, "%d significant digits in %s", significant,
               s.constData());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));

    ModelAssembler model;
    model.feed(input);

    LineAssembler whole;
    const QList<QByteArray> wholeLines = whole.feed(input);
    checkLines(wholeLines, "one feed");
    checkSame(wholeLines, flushed(whole), model, "one feed");

    LineAssembler pieces;
    QList<QByteArray> pieceLines;
    Pieces cut(size > 0 ? data[0] : 0);
    for (qsizetype pos = 0; pos < input.size();) {
        const qsizetype length = std::min(cut.next(), input.size() - pos);
        const QList<QByteArray> lines = pieces.feed(input.sliced(pos, length));
        checkLines(lines, "in pieces");
        pieceLines += lines;
        pos += length;
    }
    checkSame(pieceLines, flushed(pieces), model, "in pieces");

    // The reply path reads each line as Latin-1; a long flood is sampled.
    for (qsizetype i = 0; i < wholeLines.size() && i < 256; ++i) {
        const QString line = QString::fromLatin1(wholeLines[i]);
        checkNumber(line);
        checkShown(readLeadingNumber(line));
    }
    // Any UTF-16 text, for characters beyond Latin-1.
    checkNumber(QString::fromUtf8(input));
    return 0;
}
