#pragma once

#include "link/wireline.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// One CSV row per command sent or line received:
//   time,elapsed_s,direction,text,name,value
// time is local ISO 8601 with milliseconds and offset
// (2026-12-07T19:59:40.123+01:00), elapsed_s seconds with three decimals,
// direction "sent" or "received", text the bytes without their CR as
// escapedText() says them (printable ASCII as is, every other byte and the
// backslash as \xHH), name and value filled for a line with a sample, the
// value as the device wrote it.
// A text that a spreadsheet would run as a formula (starting with = + - or @,
// not a plain number) gets a leading ', and a leading ' of the device's own is
// written \x27. Fields are quoted as RFC 4180 says; rows end with CRLF.
class CsvRowFormat
{
public:
    enum class Direction { Sent, Received };

    static QByteArray header();
    // A line as it crossed the wire.
    QByteArray row(const WireLine &line, qint64 elapsedMSecs, Direction direction);
    // A kept sample, received: its text is NAME=value, the value in the fewest
    // digits that read back to the same double.
    QByteArray sampleRow(qint64 msecsSinceEpoch, qint64 elapsedMSecs, QLatin1StringView name, double value);
    // The same, added to out: an export writes millions.
    void appendSampleRow(QByteArray &out, qint64 msecsSinceEpoch, qint64 elapsedMSecs, QLatin1StringView name,
                         double value);

private:
    void appendTimes(QByteArray &out, qint64 msecsSinceEpoch, qint64 elapsedMSecs, Direction direction);
    void appendLocalTime(QByteArray &out, qint64 msecsSinceEpoch);

    // Rows come in thousands per second: the local date, time and offset are
    // worked out once per second (a zone's offset changes only on a second).
    qint64 m_cachedSecond = -1;
    QByteArray m_cachedDateTime; // yyyy-MM-ddTHH:mm:ss
    QByteArray m_cachedOffset;   // +hh:mm
};
