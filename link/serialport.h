#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Why a port operation failed: the number tells the kind, the message is the
// system's own words (shown to whoever hovers over the status line).
struct PortFailure
{
    int number = 0;
    QString message;
};

// The failure numbers, stable because users quote them from the status line.
namespace PortErrors {
inline constexpr int InvalidPort = 8002; // no such port
inline constexpr int PortInUse = 8005;   // held by another program
inline constexpr int BadSettings = 8010; // a line setting the port refused
inline constexpr int PortClosed = 8018;  // the operation needs an open port
inline constexpr int OpenFailed = 8020;  // any other failure to open (permissions, ...)
inline constexpr int WriteFailed = 8021; // the write itself failed
inline constexpr int LineError = 8022;   // a modem line (DTR/RTS) could not be set
} // namespace PortErrors

// How the line is set up at open: the port by its number, 8 data bits, no
// parity, one stop bit, no flow control, DTR and RTS low.
struct LineSettings
{
    int portNumber = 1;
    qint32 baudRate = 9600;
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
};
