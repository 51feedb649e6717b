#include "trend/recordingreader.h"

#include <QDateTime>

#include <optional>

namespace {

const QByteArrayView kHeader = "time,elapsed_s,direction,text,name,value";

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// RFC 4180 fields of one line; nothing when a quote is left open or stray.
std::optional<QList<QByteArray>> fieldsOf(QByteArrayView line)
{
    QList<QByteArray> fields;
    QByteArray field;
    qsizetype i = 0;
    while (true) {
        field.clear();
        if (i < line.size() && line[i] == '"') {
            ++i;
            while (true) {
                if (i >= line.size())
                    return std::nullopt;
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            if (i < line.size() && line[i] != ',')
                return std::nullopt;
        } else {
            while (i < line.size() && line[i] != ',') {
                if (line[i] == '"')
                    return std::nullopt;
                field += line[i++];
            }
        }
        fields.append(field);
        if (i >= line.size())
            return fields;
        ++i; // the comma
    }
}

} // namespace

std::optional<QByteArray> unescapedText(QByteArrayView field)
{
    if (field.startsWith('\''))
        field = field.sliced(1);
    QByteArray bytes;
    bytes.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            bytes += field[i];
            continue;
        }
        if (i + 3 >= field.size() || field[i + 1] != 'x')
            return std::nullopt;
        const int high = hexDigit(field[i + 2]);
        const int low = hexDigit(field[i + 3]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += char(high * 16 + low);
        i += 3;
    }
    return bytes;
}

QList<RecordedRow> RecordingReader::feed(QByteArrayView bytes)
{
    QList<RecordedRow> rows;
    if (isRefused())
        return rows;
    m_pending += bytes;
    qsizetype from = 0;
    for (qsizetype end = m_pending.indexOf('\n'); end >= 0 && !isRefused();
         from = end + 1, end = m_pending.indexOf('\n', from)) {
        QByteArrayView line = QByteArrayView(m_pending).sliced(from, end - from);
        if (line.endsWith('\r'))
            line.chop(1);
        takeLine(line, rows);
    }
    m_pending.remove(0, from);
    return rows;
}

void RecordingReader::takeLine(QByteArrayView line, QList<RecordedRow> &rows)
{
    ++m_lineNumber;
    if (m_lineNumber == 1) {
        if (line != kHeader)
            m_refusal = QStringLiteral("This is not a recording of pwm-panel: its first line is not \"%1\".")
                            .arg(QString::fromLatin1(kHeader));
        return;
    }
    if (line.isEmpty())
        return;
    const std::optional<QList<QByteArray>> fields = fieldsOf(line);
    if (!fields || fields->size() != 6)
        return skip(QStringLiteral("not six fields"));
    // The offset is what makes the time one moment: a time without it is refused.
    const QByteArray &stamp = (*fields)[0];
    const bool offset =
        stamp.endsWith('Z') ||
        (stamp.size() > 6 && (stamp[stamp.size() - 6] == '+' || stamp[stamp.size() - 6] == '-'));
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(stamp), Qt::ISODateWithMs);
    if (!offset || !time.isValid())
        return skip(QStringLiteral("no time with its offset"));
    const QByteArray &direction = (*fields)[2];
    if (direction != "sent" && direction != "received")
        return skip(QStringLiteral("neither sent nor received"));
    const std::optional<QByteArray> bytes = unescapedText((*fields)[3]);
    if (!bytes)
        return skip(QStringLiteral("a text with a stray backslash"));
    rows.append({time.toMSecsSinceEpoch(), direction == "sent", *bytes});
}

void RecordingReader::skip(const QString &why)
{
    ++m_skipped;
    if (m_problems.size() < kMaxProblems)
        m_problems.append(QStringLiteral("line %1: %2").arg(m_lineNumber).arg(why));
}
