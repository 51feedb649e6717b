#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QMetaType>

// One line on the wire, read once where it crosses: its bytes without the CR,
// when it crossed, and, for a line of the form NAME=number, the name and the
// number. Whatever shows, plots, records or forwards a line takes this value
// and reads nothing again.
//
// NAME=number: NAME is 1 to 32 ASCII letters, digits and underscores starting
// with a letter; after the '=' stands a number as replies are read (blanks
// skipped, sign, decimals, E or D exponent, &H and &O), anything after it
// ignored. "SV01=abc" or "SV01=" names no value: a reader that makes those 0
// would put words in the device's mouth.
struct WireLine
{
    QByteArray bytes;
    qint64 msecsSinceEpoch = 0; // wireClockMSecs() when it crossed
    qsizetype nameLength = 0;   // 0: not NAME=number
    // Rounded to single precision, as the device sends and the duty display shows it.
    double value = 0;

    bool hasValue() const { return nameLength > 0; }
    QByteArrayView name() const { return QByteArrayView(bytes).first(nameLength); }

    static WireLine read(QByteArray bytes, qint64 msecsSinceEpoch);
};
Q_DECLARE_METATYPE(WireLine)

// The one clock every line, sample, row, log line and the chart go by, in
// milliseconds since the epoch: the wall time at start carried on by a
// monotonic clock, so a wall-clock step (NTP, a user) neither hides nor
// reorders anything. It never goes back.
qint64 wireClockMSecs();
