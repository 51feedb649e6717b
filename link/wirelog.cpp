#include "link/wirelog.h"

#include "link/wireline.h"

#include <QDateTime>

// With a threshold, so that a category without a rule logs nothing: one
// declared without one would log its debug messages by default.
Q_LOGGING_CATEGORY(lcWire, "pwm.wire", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLink, "pwm.link", QtWarningMsg)

QString wireText(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case '\r':
            text += QLatin1String("\\r");
            break;
        case '\n':
            text += QLatin1String("\\n");
            break;
        case '\t':
            text += QLatin1String("\\t");
            break;
        case '\\':
            text += QLatin1String("\\\\");
            break;
        default:
            if (byte >= 0x20 && byte < 0x7f)
                text += QLatin1Char(c);
            else
                text += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
        }
    }
    return text;
}

QString wireTime()
{
    return wireTime(wireClockMSecs());
}

QString wireTime(qint64 msecsSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch).toString(QStringLiteral("HH:mm:ss.zzz"));
}
