#include "trend/recordingreader.h"

#include <QDateTime>

#include <array>

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

// The six RFC 4180 fields of a row, as views into the line; a quoted field
// is undone into its slot of `quoted`. False when the row is not six fields,
// or a quote is left open or stray.
bool splitFields(QByteArrayView line, std::array<QByteArrayView, 6> &fields,
                 std::array<QByteArray, 6> &quoted)
{
    qsizetype i = 0;
    for (size_t n = 0;; ++n) {
        if (n == fields.size())
            return false;
        if (i < line.size() && line[i] == '"') {
            QByteArray &field = quoted[n];
            field.clear();
            ++i;
            while (true) {
                if (i >= line.size())
                    return false;
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
                return false;
            fields[n] = field;
        } else {
            const qsizetype from = i;
            while (i < line.size() && line[i] != ',') {
                if (line[i] == '"')
                    return false;
                ++i;
            }
            fields[n] = line.sliced(from, i - from);
        }
        if (i >= line.size())
            return n + 1 == fields.size();
        ++i; // the comma
    }
}

// Days since 1970-01-01 of a proleptic Gregorian date.
qint64 daysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

// The recorder's own shape, "2026-12-07T19:59:40.123+01:00" or "...123Z", read
// without QDateTime: a night's recording has a million of them. Any other
// shape is left to QDateTime.
std::optional<qint64> recorderTimeMSecs(QByteArrayView s)
{
    if (s.size() != 29 && s.size() != 24)
        return std::nullopt;
    const auto number = [&](qsizetype at, qsizetype digits) -> int {
        int value = 0;
        for (qsizetype i = at; i < at + digits; ++i) {
            if (s[i] < '0' || s[i] > '9')
                return -1;
            value = value * 10 + (s[i] - '0');
        }
        return value;
    };
    if (s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' || s[16] != ':' || s[19] != '.')
        return std::nullopt;
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2), milli = number(20, 3);
    if (year < 0 || !QDate::isValid(year, month, day) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59 || milli < 0)
        return std::nullopt;
    int offsetMinutes = 0;
    if (s.size() == 24) {
        if (s[23] != 'Z')
            return std::nullopt;
    } else {
        const int offsetHours = number(24, 2), offsetMins = number(27, 2);
        if ((s[23] != '+' && s[23] != '-') || s[26] != ':' || offsetHours < 0 || offsetHours > 14 ||
            offsetMins < 0 || offsetMins > 59)
            return std::nullopt;
        offsetMinutes = (offsetHours * 60 + offsetMins) * (s[23] == '-' ? -1 : 1);
    }
    const qint64 seconds = daysFromCivil(year, unsigned(month), unsigned(day)) * 86400 + hour * 3600 +
                           minute * 60 + second - offsetMinutes * 60;
    return seconds * 1000 + milli;
}

std::optional<qint64> timeMSecs(QByteArrayView stamp)
{
    if (const std::optional<qint64> fast = recorderTimeMSecs(stamp))
        return fast;
    // The offset is what makes the time one moment: a time without it is refused.
    const bool offset =
        stamp.endsWith('Z') ||
        (stamp.size() > 6 && (stamp[stamp.size() - 6] == '+' || stamp[stamp.size() - 6] == '-'));
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(stamp), Qt::ISODateWithMs);
    if (!offset || !time.isValid())
        return std::nullopt;
    return time.toMSecsSinceEpoch();
}

QString notOurs()
{
    return QStringLiteral("This is not a recording of pwm-panel: its first line is not \"%1\".")
        .arg(QString::fromLatin1(kHeader));
}

} // namespace

std::optional<QByteArray> unescapedText(QByteArrayView field)
{
    if (field.startsWith('\''))
        field = field.sliced(1);
    if (!field.contains('\\'))
        return field.toByteArray();
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
    if (m_overlong) { // the rest of a line too long to keep is passed over
        const qsizetype end = bytes.indexOf('\n');
        if (end < 0)
            return rows;
        bytes = bytes.sliced(end + 1);
        m_overlong = false;
        ++m_lineNumber;
        skip(QStringLiteral("longer than %1 bytes").arg(kLongestLine));
    }
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
    if (m_pending.size() > kLongestLine && !isRefused()) {
        // No row of ours is this long: what a file without line ends would hold is dropped.
        m_pending.clear();
        m_overlong = true;
        if (m_lineNumber == 0)
            m_refusal = notOurs();
    }
    return rows;
}

void RecordingReader::takeLine(QByteArrayView line, QList<RecordedRow> &rows)
{
    ++m_lineNumber;
    if (m_lineNumber == 1) {
        if (line != kHeader)
            m_refusal = notOurs();
        return;
    }
    if (line.isEmpty())
        return;
    std::array<QByteArrayView, 6> fields;
    if (!splitFields(line, fields, m_quoted))
        return skip(QStringLiteral("not six fields"));
    const std::optional<qint64> msecs = timeMSecs(fields[0]);
    if (!msecs)
        return skip(QStringLiteral("no time with its offset"));
    const QByteArrayView direction = fields[2];
    if (direction != "sent" && direction != "received")
        return skip(QStringLiteral("neither sent nor received"));
    std::optional<QByteArray> bytes = unescapedText(fields[3]);
    if (!bytes)
        return skip(QStringLiteral("a text with a stray backslash"));
    rows.append({*msecs, direction == "sent", std::move(*bytes)});
}

void RecordingReader::skip(const QString &why)
{
    ++m_skipped;
    if (m_problems.size() < kMaxProblems)
        m_problems.append(QStringLiteral("line %1: %2").arg(m_lineNumber).arg(why));
}
