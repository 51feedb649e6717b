#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QMetaType>
#include <optional>

// One line on the wire, read once where it crosses: its bytes without the CR,
// when it crossed, and, for a line of the form NAME=number, the name and the
// number. Whatever shows, plots, records or forwards a line takes this value
// and reads nothing again.
//
// NAME=number: NAME is 1 to 32 ASCII letters, digits and underscores starting
// with a letter; after the '=' stands a number as replies are read (blanks
// skipped, sign, decimals, E or D exponent, &H and &O), anything after it
// ignored. "SV01=abc" or "SV01=" names no value: a reader that makes those 0
// would put words in the device's mouth. A sample asks more (below): the
// display reads replies leniently, the trend keeps only what was plainly sent.
struct WireLine
{
    QByteArray bytes;
    qint64 msecsSinceEpoch = 0; // wireClockMSecs() when it crossed
    qsizetype nameLength = 0;   // 0: not NAME=number
    // Rounded to single precision, as the device sends and the duty display shows it.
    double value = 0;
    // NAME=number whose whole rest is a plain decimal number (C locale) within
    // a double's range: that number unrounded, a sample for the trend and the
    // files. "V=0x1F", "V=1,5", "V=5µ", "V=inf", "V=1e999" carry none.
    std::optional<double> sample;

    bool hasValue() const { return nameLength > 0; }
    // The number as the device wrote it, for a line with a sample.
    QByteArrayView sampleText() const { return QByteArrayView(bytes).sliced(nameLength + 1); }
    QByteArrayView name() const { return QByteArrayView(bytes).first(nameLength); }

    static WireLine read(QByteArray bytes, qint64 msecsSinceEpoch);
};
Q_DECLARE_METATYPE(WireLine)

// The one clock every line, sample, row, log line and the chart go by, in
// milliseconds since the epoch: the wall time at start carried on by a
// monotonic clock, so a wall-clock step (NTP, a user) neither hides nor
// reorders anything. It never goes back.
qint64 wireClockMSecs();

// The whole text a plain decimal number in the C locale: an optional sign,
// digits with an optional point and fraction (or a point and digits), an
// optional exponent (e or E, optional sign, digits). "-5", "+3.5", "-1e3",
// "-.5"; not "-", "1e", "0x1F", "1,5", " 5", "inf".
bool isPlainNumber(QByteArrayView text);
// The double nearest a plain number, or nullopt for any other text and for
// one beyond a double's range (1e999): no sample rounded or made up.
std::optional<double> readPlainNumber(QByteArrayView text);
