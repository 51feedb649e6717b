#include "link/portadvice.h"

QString portAdvice(PortTrouble trouble, const QString &devicePath)
{
    if (trouble == PortTrouble::NoPermission)
        return QStringLiteral("%1 may only be used by members of its group (usually dialout). "
                              "Add yourself with: sudo usermod -aG dialout $USER, then log out and in again.")
            .arg(devicePath);
    QString advice =
        QStringLiteral("%1 is held by another program: another copy of this panel, or a terminal program "
                       "such as minicom, screen or picocom. Close it; this panel keeps retrying.")
            .arg(devicePath);
    // ModemManager probes new USB modems, and CDC devices look like one.
    if (devicePath.startsWith(QLatin1String("/dev/ttyACM")))
        advice +=
            QStringLiteral(" ModemManager often probes /dev/ttyACM* devices for a while after they are "
                           "plugged in: wait a few seconds, or tell it to leave the device alone with a "
                           "udev rule (see the README).");
    return advice;
}
