#pragma once

#include "link/serialport.h"

#include <QHash>
#include <QStringList>
#include <utility>

// A scripted serial port: records every call and what was written, lets a test
// inject arrivals and make the next call of an operation fail.
class FakeSerialPort final : public SerialPort
{
    Q_OBJECT
public:
    // Takes the executable folder like the real port, and ignores it.
    explicit FakeSerialPort(const QString & = {}) {}

    QStringList calls;
    QByteArrayList writes;
    // The next call of the operation, named as in calls ("Open", "Output", ...), throws this number.
    QHash<QString, int> failures;

    // Adds bytes to the input buffer and raises the receive notification.
    void simulateArrival(const QByteArray &bytes)
    {
        m_input += bytes;
        emit commEvent(CommEventReceive);
    }

    void setCommPort(int number) override
    {
        record("CommPort", QString::number(number));
        if (m_open || number < 1 || number > 255)
            throw SerialPortError{m_open ? SerialErrors::PortInUse : SerialErrors::InvalidPort, {}};
        m_commPort = number;
    }
    int commPort() const override { return m_commPort; }
    void setSettings(const QString &settings) override
    {
        record("Settings", settings);
        m_settings = settings;
    }
    QString settings() const override { return m_settings; }
    void setHandshaking(int mode) override { record("Handshaking", QString::number(mode)); }
    bool portOpen() const override { return m_open; }
    void setPortOpen(bool open) override
    {
        record(open ? "Open" : "Close");
        if (open && m_open)
            throw SerialPortError{SerialErrors::PortInUse, {}};
        m_open = open;
    }
    void setDTREnable(bool on) override { record("DTR", QString::number(on)); }
    void setRTSEnable(bool on) override { record("RTS", QString::number(on)); }
    void setRThreshold(int count) override { record("RThreshold", QString::number(count)); }
    void setInputLen(int count) override { record("InputLen", QString::number(count)); }
    void output(const QByteArray &bytes) override
    {
        record("Output", QString::fromLatin1(bytes));
        if (!m_open)
            throw SerialPortError{SerialErrors::PortClosed, {}};
        writes.append(bytes);
    }
    QByteArray readAll() override { return std::exchange(m_input, {}); }
    qint64 inBufferCount() const override { return m_input.size(); }
    QString lastErrorText() const override { return {}; }

private:
    void record(const char *operation, const QString &argument = {})
    {
        const QString name = QLatin1String(operation);
        calls.append(argument.isNull() ? name : name + u' ' + argument);
        if (const int number = failures.take(name))
            throw SerialPortError{number, QStringLiteral("injected %1").arg(number)};
    }

    QByteArray m_input;
    QString m_settings;
    int m_commPort = 1;
    bool m_open = false;
};
