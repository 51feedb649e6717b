#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The kinds of port failure. Each value is the number the status line shows
// ("COM Port comm-error! 8021"), stable because users quote it. A switch on it
// lists every value and no default, so -Wswitch finds one that was left out.
enum class PortError {
    InvalidPort = 8002, // no such port
    PortInUse = 8005,   // held by another program
    BadSettings = 8010, // a line setting the port refused
    PortClosed = 8018,  // the operation needs an open port
    OpenFailed = 8020,  // any other failure to open (permissions, ...)
    WriteFailed = 8021, // the write itself failed
    LineError = 8022,   // a modem line (DTR/RTS) could not be set
};

// Why a port operation failed: the kind, and the system's own words (shown to
// whoever hovers over the status line). Only an operation that returned false
// leaves one; a port that never failed says it is closed.
struct PortFailure
{
    PortError error = PortError::PortClosed;
    QString message;
};

// How the line is set up at open: the port by its number (or a device path
// given outright), 8 data bits, no parity, one stop bit, no flow control, DTR
// and RTS low.
struct LineSettings
{
    int portNumber = 1;
    qint32 baudRate = 9600;
    // When set, the port at this path; the number is then not used.
    QString devicePath;
    friend bool operator==(const LineSettings &, const LineSettings &) = default;
};

// The serial port as the program uses it. Operations that can fail return
// false and leave the reason in lastFailure().
class SerialPort : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialPort() override = default;

    virtual bool open(const LineSettings &settings) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Sends the bytes (or queues what the line cannot take at once).
    virtual bool write(const QByteArray &bytes) = 0;
    // Removes and returns everything that has arrived.
    virtual QByteArray readAll() = 0;
    virtual PortFailure lastFailure() const = 0;

signals:
    void readyRead();
    // The line went away (the device was unplugged, the other end hung up):
    // the port has closed itself.
    void lineLost();
};
