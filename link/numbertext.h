#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>
#include <optional>

// The leading number of a text: blanks, tabs and LFs are ignored anywhere;
// sign, digits, "." as decimal point, E or D exponent; &H hex and &O octal
// integers. Anything after the number is ignored; no number gives nullopt.
std::optional<double> findLeadingNumber(QStringView text);
// The same, with 0 for no number, as the device's replies are read.
double readLeadingNumber(QStringView text);

// The device sends single-precision values: what it meant, not the double's
// extra digits. Beyond the float range gives infinity (a plain cast would be
// undefined there).
float asSingle(double value);

// At most seven significant digits, no trailing zeros, plain notation from
// 0.0001 to below 10 000 000, else like 1.234568E+07; the locale's decimal
// separator. Infinity shows as "inf"/"-inf", NaN as "nan".
QString formatReplyNumber(float value, const QLocale &locale = QLocale());
