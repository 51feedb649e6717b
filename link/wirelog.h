#pragma once

#include <QByteArrayView>
#include <QLoggingCategory>
#include <QString>

// Two logging categories, both off unless QT_LOGGING_RULES switches them on:
//   pwm.wire (debug): every command written and every line received;
//   pwm.link (info):  the port opened and closed, and every port failure.
// For example QT_LOGGING_RULES="pwm.wire.debug=true;pwm.link.info=true".
Q_DECLARE_LOGGING_CATEGORY(lcWire)
Q_DECLARE_LOGGING_CATEGORY(lcLink)

// Bytes as readable text: control and non-ASCII bytes escaped ("\r", "\x1b"),
// a backslash doubled.
QString wireText(QByteArrayView bytes);
// The time of day of a wire clock moment to the millisecond, to line a log
// up with a device's own.
QString wireTime(qint64 msecsSinceEpoch);
// The same of the wire clock's present moment.
QString wireTime();
