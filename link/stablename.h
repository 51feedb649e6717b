#pragma once

#include <QString>

// Who a device is, as far as its name tells.
struct DeviceIdentity
{
    QString description;  // "FTDI FT232R USB UART"
    QString serialNumber; // "A12345", empty when the name carries none

    bool isEmpty() const { return description.isEmpty() && serialNumber.isEmpty(); }
    // "FTDI FT232R USB UART, serial A12345"
    QString text() const;
    friend bool operator==(const DeviceIdentity &, const DeviceIdentity &) = default;
};

// What a /dev/serial/by-id name ("usb-FTDI_FT232R_USB_UART_A12345-if00-port0")
// tells of its device; empty for any other path. The name is the system's
// <vendor>_<model>_<serial> with spaces as underscores: the last part is taken
// as the serial number when there are three or more.
DeviceIdentity identityFromStableName(const QString &path);
