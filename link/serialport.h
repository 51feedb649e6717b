#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// A failed port operation: the number tells the kind (8002 no such port,
// 8005 port in use, others below) and the message is the system's own words.
struct SerialPortError
{
    int number = 0;
    QString message;
};

namespace SerialErrors {
inline constexpr int InvalidPort = 8002;
inline constexpr int PortInUse = 8005;
inline constexpr int BadSettings = 8010; // settings text or option refused
inline constexpr int PortClosed = 8018;  // operation needs an open port
inline constexpr int OpenFailed = 8020;  // any other failure to open (permissions, ...)
inline constexpr int WriteFailed = 8021; // the write itself failed
inline constexpr int LineError = 8022;   // DTR/RTS could not be set
} // namespace SerialErrors

// The serial port as the window uses it. Every operation that can fail throws
// SerialPortError. Received bytes are signalled with commEvent(CommEventReceive).
class SerialPort : public QObject
{
    Q_OBJECT
public:
    static constexpr int CommEventReceive = 2;

    using QObject::QObject;
    ~SerialPort() override = default;

    // Port number 1..255; only while closed.
    virtual void setCommPort(int number) = 0;
    virtual int commPort() const = 0;
    // "<baud>,N,8,1" or "<baud>,n,8,1".
    virtual void setSettings(const QString &settings) = 0;
    virtual QString settings() const = 0;
    // 0: no flow control (the only value the window uses).
    virtual void setHandshaking(int mode) = 0;

    virtual bool portOpen() const = 0;
    virtual void setPortOpen(bool open) = 0;

    virtual void setDTREnable(bool on) = 0;
    virtual void setRTSEnable(bool on) = 0;
    // Receive notification threshold and read size; kept for the device's
    // expectations, the window always drains everything that is waiting.
    virtual void setRThreshold(int count) = 0;
    virtual void setInputLen(int count) = 0;

    // Queues the bytes for sending; throws on a closed port.
    virtual void output(const QByteArray &bytes) = 0;
    // Removes and returns everything that has arrived.
    virtual QByteArray readAll() = 0;
    virtual qint64 inBufferCount() const = 0;

    // The system's message of the last failure seen (for a tooltip), or empty.
    virtual QString lastErrorText() const = 0;

signals:
    void commEvent(int event);
};
