#pragma once

#include "link/serialport.h"

#include <QList>
#include <QStringList>
#include <optional>

// A scripted serial port: records every call and what was written, lets a test
// inject arrivals and make any operation fail with a chosen number.
class FakeSerialPort final : public SerialPort
{
    Q_OBJECT
public:
    using SerialPort::SerialPort;

    // Operation names as recorded in calls(): "CommPort", "Settings",
    // "Handshaking", "Open", "Close", "DTR", "RTS", "RThreshold", "InputLen", "Output".
    void failNext(const QString &operation, int number, const QString &message = {})
    {
        m_failures.append({operation, number, message, false});
    }
    void failAlways(const QString &operation, int number, const QString &message = {})
    {
        m_failures.append({operation, number, message, true});
    }
    void clearFailures() { m_failures.clear(); }

    // Adds bytes to the input buffer and raises the receive notification.
    void simulateArrival(const QByteArray &bytes)
    {
        m_input += bytes;
        emit commEvent(CommEventReceive);
    }
    // A notification with nothing waiting (or another event number).
    void simulateEvent(int event) { emit commEvent(event); }

    QByteArray written() const { return m_written; }
    QList<QByteArray> writes() const { return m_writes; }
    void clearWritten() { m_written.clear(); m_writes.clear(); }
    QStringList calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }
    int openCount() const { return m_openCount; }
    bool dtr() const { return m_dtr; }
    bool rts() const { return m_rts; }

    void setCommPort(int number) override
    {
        record(QStringLiteral("CommPort"), QString::number(number));
        if (m_open)
            throw SerialPortError{SerialErrors::PortInUse, QStringLiteral("port is open")};
        if (number < 1 || number > 255)
            throw SerialPortError{SerialErrors::InvalidPort, QStringLiteral("no such port")};
        m_commPort = number;
    }
    int commPort() const override { return m_commPort; }
    void setSettings(const QString &settings) override
    {
        record(QStringLiteral("Settings"), settings);
        m_settings = settings;
    }
    QString settings() const override { return m_settings; }
    void setHandshaking(int mode) override { record(QStringLiteral("Handshaking"), QString::number(mode)); }
    bool portOpen() const override { return m_open; }
    void setPortOpen(bool open) override
    {
        record(open ? QStringLiteral("Open") : QStringLiteral("Close"), {});
        if (open && m_open)
            throw SerialPortError{SerialErrors::PortInUse, QStringLiteral("already open")};
        m_open = open;
        if (open)
            ++m_openCount;
    }
    void setDTREnable(bool on) override { record(QStringLiteral("DTR"), QString::number(on)); m_dtr = on; }
    void setRTSEnable(bool on) override { record(QStringLiteral("RTS"), QString::number(on)); m_rts = on; }
    void setRThreshold(int count) override { record(QStringLiteral("RThreshold"), QString::number(count)); }
    void setInputLen(int count) override { record(QStringLiteral("InputLen"), QString::number(count)); }
    void output(const QByteArray &bytes) override
    {
        record(QStringLiteral("Output"), QString::fromLatin1(bytes));
        if (!m_open)
            throw SerialPortError{SerialErrors::PortClosed, QStringLiteral("port is closed")};
        m_written += bytes;
        m_writes.append(bytes);
    }
    QByteArray readAll() override
    {
        QByteArray all;
        all.swap(m_input);
        return all;
    }
    qint64 inBufferCount() const override { return m_input.size(); }
    QString lastErrorText() const override { return m_lastError; }

private:
    struct Failure
    {
        QString operation;
        int number;
        QString message;
        bool always;
    };

    void record(const QString &operation, const QString &argument)
    {
        m_calls.append(argument.isNull() ? operation : operation + QLatin1Char(' ') + argument);
        for (qsizetype i = 0; i < m_failures.size(); ++i) {
            if (m_failures[i].operation != operation)
                continue;
            const Failure f = m_failures[i];
            if (!f.always)
                m_failures.removeAt(i);
            m_lastError = f.message;
            throw SerialPortError{f.number, f.message};
        }
    }

    QList<Failure> m_failures;
    QStringList m_calls;
    QByteArray m_input;
    QByteArray m_written;
    QList<QByteArray> m_writes;
    QString m_settings;
    QString m_lastError;
    int m_commPort = 1;
    int m_openCount = 0;
    bool m_open = false;
    bool m_dtr = true;
    bool m_rts = true;
};
