#include "trend/csvrowformat.h"

#include "trend/namedvalue.h"

#include <QDateTime>

QByteArray CsvRowFormat::header()
{
    return QByteArrayLiteral("time,elapsed_s,direction,text,name,value\r\n");
}

QByteArray CsvRowFormat::row(qint64 msecsSinceEpoch, qint64 elapsedMSecs, Direction direction,
                             QByteArrayView text)
{
    QByteArray out = localTime(msecsSinceEpoch);
    out.reserve(out.size() + text.size() * 2 + 40);
    out += ',';
    out += elapsedSeconds(elapsedMSecs);
    out += direction == Direction::Sent ? QByteArrayView(",sent,") : QByteArrayView(",received,");
    out += quoteField(escapeText(text));
    out += ',';
    if (const std::optional<NamedValue> named = readNamedValue(text)) {
        out += named->name; // letters, digits and underscores: never quoted
        out += ',';
        out += formatSampleValue(named->value).toLatin1();
    } else {
        out += ',';
    }
    out += "\r\n";
    return out;
}

QByteArray CsvRowFormat::localTime(qint64 msecsSinceEpoch)
{
    const qint64 second = msecsSinceEpoch >= 0 ? msecsSinceEpoch / 1000 : (msecsSinceEpoch - 999) / 1000;
    if (second != m_cachedSecond) {
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(second * 1000);
        m_cachedDateTime = local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1();
        const int offset = local.offsetFromUtc();
        const int minutes = qAbs(offset) / 60;
        m_cachedOffset = QByteArray(offset < 0 ? "-" : "+") +
                         QByteArray::number(minutes / 60).rightJustified(2, '0') + ':' +
                         QByteArray::number(minutes % 60).rightJustified(2, '0');
        m_cachedSecond = second;
    }
    const int millis = int(msecsSinceEpoch - second * 1000);
    return m_cachedDateTime + '.' + QByteArray::number(millis).rightJustified(3, '0') + m_cachedOffset;
}

QByteArray CsvRowFormat::elapsedSeconds(qint64 msecs)
{
    const char *sign = msecs < 0 ? "-" : "";
    msecs = qAbs(msecs);
    return sign + QByteArray::number(msecs / 1000) + '.' +
           QByteArray::number(msecs % 1000).rightJustified(3, '0');
}

QByteArray CsvRowFormat::escapeText(QByteArrayView text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        }
    }
    return out;
}

QByteArray CsvRowFormat::quoteField(QByteArrayView field)
{
    bool needsQuotes = false;
    for (const char c : field)
        needsQuotes = needsQuotes || c == ',' || c == '"' || c == '\r' || c == '\n';
    if (!needsQuotes)
        return field.toByteArray();
    QByteArray out = "\"";
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + '"';
}
