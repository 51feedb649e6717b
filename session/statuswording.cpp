#include "session/statuswording.h"

QString portFailureCaption(PortError error)
{
    switch (error) {
    case PortError::InvalidPort:
        return QStringLiteral("Invalid Port Number!");
    case PortError::PortInUse:
        return QStringLiteral("Port already open!");
    case PortError::BadSettings:
    case PortError::PortClosed:
    case PortError::OpenFailed:
    case PortError::WriteFailed:
    case PortError::LineError:
        break;
    }
    return QStringLiteral("COM Port comm-error! ") + QString::number(int(error));
}

QString receivedLineCaption(int portNumber, const QString &baudRate, const QString &line)
{
    return QStringLiteral("COM:") + QString::number(portNumber) + QStringLiteral(" Baud:") + baudRate +
           QStringLiteral(" COM data: ") + line;
}

QString foundCaption(const QString &line)
{
    return QStringLiteral("Found: ") + line;
}

QString sampleTickCaption(int sampleTime, int ticks)
{
    return QStringLiteral("STime:") + QString::number(sampleTime) + QStringLiteral(" STimer:") +
           QString::number(ticks);
}

QString deviceLabel(const QString &code, const QString &baseName)
{
    return QStringLiteral("Kestravon: uc=") + code + QStringLiteral("  pc=") + baseName;
}

QString notQueuedDetail(qsizetype waiting)
{
    return QStringLiteral("Not sent: %1 commands are already waiting for the device.").arg(waiting);
}

QString waitingForLinkCaption(int portNumber)
{
    return QStringLiteral("Waiting for com%1...").arg(portNumber);
}

QString waitingForLinkDetail(int portNumber, const QStringList &folders)
{
    return QStringLiteral("com%1 is missing from %2. It was a link to the port, so no other "
                          "device is opened until it is back.")
        .arg(portNumber)
        .arg(folders.join(QLatin1String(" and ")));
}
