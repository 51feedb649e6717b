#include "link/stablename.h"

#include <QFileInfo>
#include <QRegularExpression>

QString DeviceIdentity::text() const
{
    if (serialNumber.isEmpty())
        return description;
    if (description.isEmpty())
        return QStringLiteral("serial %1").arg(serialNumber);
    return QStringLiteral("%1, serial %2").arg(description, serialNumber);
}

namespace {

// The system writes characters a file name cannot carry as \xHH.
QString unescaped(const QString &name)
{
    QByteArray out;
    const QByteArray in = name.toUtf8();
    for (qsizetype i = 0; i < in.size(); ++i) {
        bool ok = false;
        if (in[i] == '\\' && i + 3 < in.size() && in[i + 1] == 'x') {
            const int byte = in.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out += char(byte);
                i += 3;
                continue;
            }
        }
        out += in[i];
    }
    return QString::fromUtf8(out);
}

} // namespace

DeviceIdentity identityFromStableName(const QString &path)
{
    const QFileInfo info(path);
    if (info.absolutePath() != QLatin1String("/dev/serial/by-id") && !path.contains(QLatin1String("/by-id/")))
        return {};
    static const QRegularExpression bus(QStringLiteral("^[a-z]+-"));
    static const QRegularExpression interface(QStringLiteral("-if[0-9A-Fa-f]+(-port[0-9]+)?$"));
    QString name = info.fileName();
    name.remove(bus);
    name.remove(interface);
    QStringList parts = unescaped(name).split(u'_', Qt::SkipEmptyParts);
    DeviceIdentity identity;
    if (parts.size() >= 3)
        identity.serialNumber = parts.takeLast();
    identity.description = parts.join(u' ');
    return identity;
}
