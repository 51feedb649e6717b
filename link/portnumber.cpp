#include "link/portnumber.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

QString defaultPortDevice(int number)
{
    struct Range
    {
        int first;
        const char *prefix;
    };
    static constexpr Range ranges[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
    for (const Range &range : ranges) {
        if (number >= range.first && number < range.first + 32)
            return QLatin1String(range.prefix) + QString::number(number - range.first);
    }
    return {};
}

QString portEntry(int number, const QStringList &folders)
{
    if (number < 1 || number > 255)
        return {};
    for (const QString &folder : folders) {
        const QFileInfo entry(QDir(folder).filePath(QStringLiteral("com%1").arg(number)));
        if (entry.exists() || entry.isSymLink())
            return entry.filePath();
    }
    return {};
}

QString resolvePortDevice(int number, const QStringList &folders)
{
    if (number < 1 || number > 255)
        return {};

    if (const QString entry = portEntry(number, folders); !entry.isEmpty()) {
        const QFileInfo link(entry);
        // A dangling link still names the port: opening its target then fails
        // with the system's "no such device" rather than silently using the default.
        return link.exists() ? link.canonicalFilePath() : link.symLinkTarget();
    }

    const QString device = defaultPortDevice(number);
    if (device.isEmpty())
        return {};
    const QFileInfo info(device);
    return info.exists() ? info.canonicalFilePath() : device;
}

PortNaming namePort(int number, const QStringList &folders, bool askSystem)
{
    PortNaming naming;
    naming.device = resolvePortDevice(number, folders);
    naming.entry = portEntry(number, folders);
    if (const QFileInfo link(naming.entry); !naming.entry.isEmpty() && link.isSymLink())
        naming.link = link.symLinkTarget();
    naming.identity = identityFromStableName(naming.link);
    if (naming.identity.isEmpty() && askSystem && QFileInfo::exists(naming.device)) {
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
            if (QFileInfo(info.systemLocation()).canonicalFilePath() == naming.device) {
                naming.identity = {info.description(), info.serialNumber()};
                break;
            }
        }
    }
    return naming;
}

QString PortNaming::connectedText(int number) const
{
    QString text = identity.isEmpty() ? device : QStringLiteral("%1 on %2").arg(identity.text(), device);
    if (!link.isEmpty())
        text += QStringLiteral(" (com%1 -> %2)").arg(number).arg(link);
    return text;
}

QString PortNaming::waitingText() const
{
    if (identity.isEmpty())
        return {};
    return QStringLiteral("Waiting for %1 (%2)").arg(identity.text(), link);
}
