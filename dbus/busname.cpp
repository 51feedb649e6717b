#include "dbus/busname.h"

#include <QList>

QString busNameFor(const QString &programName)
{
    QString element;
    // By code point, so a character outside the BMP becomes one '_', not two.
    for (const uint u : programName.toUcs4()) {
        const bool allowed =
            (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_';
        element += allowed ? QChar(char16_t(u)) : QLatin1Char('_');
    }
    // An empty element would leave the name ending in a dot, which the bus refuses too.
    if (element.isEmpty() || element.front().isDigit())
        element.prepend(QLatin1Char('_'));
    return QLatin1String(kBusNamePrefix) + element;
}
