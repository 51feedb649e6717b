#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

// A received line of the form NAME=number: NAME is 1 to 32 ASCII letters,
// digits and underscores starting with a letter; after the '=' stands a number
// as the reply interpreter reads it (blanks skipped, sign, decimals, E or D
// exponent, &H and &O), anything after it ignored. "SV01=abc" or "SV01=" is
// no sample: the reader would make those 0, which the device never said.
struct NamedValue
{
    QByteArrayView name; // points into the line
    // Rounded to single precision, as the device sends and the duty display shows it.
    double value = 0;
};

std::optional<NamedValue> readNamedValue(QByteArrayView line);

// At most seven significant digits, no trailing zeros, '.' as decimal point,
// no grouping ("50", "48.5"): the same digits the window shows.
QString formatSampleValue(double value);
