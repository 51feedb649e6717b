#pragma once

#include "link/stablename.h"

#include <QString>
#include <QStringList>

// Maps a port number to a device path. A "com<N>" entry (usually a symlink) in
// the first of folders that holds one wins; otherwise 1-32 -> /dev/ttyS0-31,
// 33-64 -> /dev/ttyUSB0-31, 65-96 -> /dev/ttyACM0-31. Returns empty when the
// number maps to nothing. The result is the canonical path (links resolved)
// when the target exists.
QString resolvePortDevice(int number, const QStringList &folders);
inline QString resolvePortDevice(int number, const QString &folder)
{
    return resolvePortDevice(number, QStringList{folder});
}

// The com<N> entry of the first of folders that holds one (a dangling link
// counts); empty when none does.
QString portEntry(int number, const QStringList &folders);

// The mapping without the com<N> lookup and without touching the file system.
QString defaultPortDevice(int number);

// Which device a port number names, as far as can be told without opening it.
struct PortNaming
{
    QString device;          // the path resolvePortDevice gives; empty when none
    QString entry;           // the com<N> entry found; empty: the number's own device
    QString link;            // the com<N> link's target as written; empty without one
    DeviceIdentity identity; // from the link's by-id name, or what the system says of the device

    // "FTDI FT232R USB UART, serial A12345 on /dev/ttyUSB0 (com33 -> /dev/serial/by-id/...)"
    QString connectedText(int number) const;
    // "Waiting for FTDI FT232R USB UART, serial A12345 (/dev/serial/by-id/...)"; empty when
    // the link names no device.
    QString waitingText() const;
    friend bool operator==(const PortNaming &, const PortNaming &) = default;
};

// askSystem: when the link's name tells nothing, ask the system (udev) what
// the device is; that costs a look through every port, so only once found.
PortNaming namePort(int number, const QStringList &folders, bool askSystem);
inline PortNaming namePort(int number, const QString &folder, bool askSystem)
{
    return namePort(number, QStringList{folder}, askSystem);
}
