#pragma once

#include "link/serialport.h"

#include <QSerialPort>
#include <functional>

// The machine's own serial port (a device node such as /dev/ttyUSB0), through
// QSerialPort. Port numbers are resolved against the port folder (its com<N>
// links) each time the port is opened, so a replugged adapter is found again.
class SystemSerialPort final : public SerialPort
{
    Q_OBJECT
public:
    // Tells whether serial hardware answers behind an open device; a test
    // passes its own to play a device node without a chip.
    using HardwareProbe = std::function<bool(int fd)>;

    explicit SystemSerialPort(QString portFolder, QObject *parent = nullptr);
    SystemSerialPort(QString portFolder, HardwareProbe hardwarePresent, QObject *parent = nullptr);
    ~SystemSerialPort() override;

    bool open(const LineSettings &settings) override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    PortFailure lastFailure() const override { return m_failure; }

private:
    void handleError(QSerialPort::SerialPortError error);
    // The line is gone: remember why, and close once, outside the current call.
    void lineFailed(const QString &reason);
    void closeAfterFailure();
    bool fail(PortError error, const QString &message);
    // Takes Qt's pending error as the failure; returns false.
    bool failFromPort(PortError error);
    bool setModemLinesLow();
    bool modemLineSet(bool done);

    QString m_portFolder;
    HardwareProbe m_hardwarePresent;
    QSerialPort m_port;
    QString m_devicePath;
    PortFailure m_failure;
    // Set after the first read/write/resource error while open: the port is
    // closed on the next event-loop pass and further errors are ignored.
    bool m_failed = false;
};
