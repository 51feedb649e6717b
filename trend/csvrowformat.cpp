#include "trend/csvrowformat.h"

#include "link/escapedtext.h"

#include <QDateTime>

#include <charconv>

namespace {

// Rows are written thousands of times a second: digits go straight into the row.
void appendDigits(QByteArray &out, qint64 value, int width)
{
    char digits[24];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0 || n < width);
    while (n > 0)
        out += digits[--n];
}

void appendElapsedSeconds(QByteArray &out, qint64 msecs)
{
    if (msecs < 0) {
        out += '-';
        msecs = -msecs;
    }
    appendDigits(out, msecs / 1000, 1);
    out += '.';
    appendDigits(out, msecs % 1000, 3);
}

// The text as escapedText() says it, kept from running as a spreadsheet formula:
// one starting with = + - or @ that is not a plain number gets a leading ',
// and the device's own leading ' is written \x27, so the ' is undone exactly.
// Tab and CR never start a field: they are written \x09 and \x0D. Quoted as
// RFC 4180 says when a comma or a double quote is left (CR and LF never are).
void appendText(QByteArray &out, QByteArrayView text)
{
    QByteArray field;
    if (!text.isEmpty() && QByteArrayView("=+-@").contains(text.front()) && !isPlainNumber(text)) {
        field += '\'';
    } else if (text.startsWith('\'')) {
        field += "\\x27";
        text = text.sliced(1);
    }
    if (!text.contains(',') && !text.contains('"')) {
        out += field;
        appendEscapedText(out, text);
        return;
    }
    appendEscapedText(field, text);
    out += '"';
    out += field.replace('"', "\"\"");
    out += '"';
}

} // namespace

QByteArray CsvRowFormat::header()
{
    return QByteArrayLiteral("time,elapsed_s,direction,text,name,value\r\n");
}

QByteArray CsvRowFormat::row(const WireLine &line, qint64 elapsedMSecs, Direction direction)
{
    QByteArray out;
    out.reserve(80 + line.bytes.size() * 4);
    appendTimes(out, line.msecsSinceEpoch, elapsedMSecs, direction);
    appendText(out, line.bytes);
    out += ',';
    if (line.sample) {
        out += line.name(); // letters, digits and underscores: never quoted
        out += ',';
        out += line.sampleText(); // a plain number as sent: never quoted, nothing lost
    } else {
        out += ',';
    }
    out += "\r\n";
    return out;
}

QByteArray CsvRowFormat::sampleRow(qint64 msecsSinceEpoch, qint64 elapsedMSecs, QLatin1StringView name,
                                   double value)
{
    QByteArray out;
    appendSampleRow(out, msecsSinceEpoch, elapsedMSecs, name, value);
    return out;
}

void CsvRowFormat::appendSampleRow(QByteArray &out, qint64 msecsSinceEpoch, qint64 elapsedMSecs,
                                   QLatin1StringView name, double value)
{
    char number[32];
    const qsizetype length = std::to_chars(number, number + sizeof number, value).ptr - number;
    appendTimes(out, msecsSinceEpoch, elapsedMSecs, Direction::Received);
    // A name is letters, digits and underscores, a number has no comma: never quoted.
    out += name;
    out += '=';
    out.append(number, length);
    out += ',';
    out += name;
    out += ',';
    out.append(number, length);
    out += "\r\n";
}

void CsvRowFormat::appendTimes(QByteArray &out, qint64 msecsSinceEpoch, qint64 elapsedMSecs,
                               Direction direction)
{
    appendLocalTime(out, msecsSinceEpoch);
    out += ',';
    appendElapsedSeconds(out, elapsedMSecs);
    out += direction == Direction::Sent ? QByteArrayView(",sent,") : QByteArrayView(",received,");
}

void CsvRowFormat::appendLocalTime(QByteArray &out, qint64 msecsSinceEpoch)
{
    const qint64 second = msecsSinceEpoch >= 0 ? msecsSinceEpoch / 1000 : (msecsSinceEpoch - 999) / 1000;
    if (second != m_cachedSecond) {
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(second * 1000);
        m_cachedDateTime = local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1();
        const int offset = local.offsetFromUtc();
        const int minutes = qAbs(offset) / 60;
        m_cachedOffset = offset < 0 ? "-" : "+";
        appendDigits(m_cachedOffset, minutes / 60, 2);
        m_cachedOffset += ':';
        appendDigits(m_cachedOffset, minutes % 60, 2);
        m_cachedSecond = second;
    }
    out += m_cachedDateTime;
    out += '.';
    appendDigits(out, msecsSinceEpoch - second * 1000, 3);
    out += m_cachedOffset;
}
