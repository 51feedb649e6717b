#pragma once

#include <QLocale>
#include <QString>
#include <optional>

// Reads a box's text as a number in the given locale (sign, decimal separator,
// blanks around it) and rounds to the nearest whole number, exact halves to the
// even neighbour. Empty, non-numeric or out-of-16-bit texts give nullopt.
std::optional<qint16> toWholeNumber(const QString &text, const QLocale &locale = QLocale());
