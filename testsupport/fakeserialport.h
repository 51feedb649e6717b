#pragma once

#include "link/serialport.h"

#include <QHash>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <utility>

// A scripted serial port: records every call and what was written, lets a test
// inject arrivals and make the next call of an operation fail. Given a device
// (`answer`), it replies to what is written as a device would, a moment later.
class FakeSerialPort final : public SerialPort
{
    Q_OBJECT
public:
    // Takes the executable folder like the real port, and ignores it.
    explicit FakeSerialPort(const QString & = {}) {}

    // "Open <port> <baud>", "Close" (of an open port), "Write <bytes>".
    QStringList calls;
    // The device path of every Open call, in order (empty when opened by number).
    QStringList devices;
    QByteArrayList writes;
    // The next call of the operation ("Open" or "Write") fails with this error.
    QHash<QString, PortError> failures;
    // Runs inside every write, before it returns (e.g. a write that takes its time).
    std::function<void()> whileWriting;
    // Runs at every open that succeeds (e.g. to leave a stale reply waiting).
    std::function<void(FakeSerialPort &)> whenOpened;
    // The device behind the port: its answer to each line written (without
    // the CR; an empty answer says nothing), arriving from the event loop.
    std::function<QByteArray(const QByteArray &line)> answer;

    // The device path of the last open (ports opened by path, as Find opens them).
    QString devicePath() const { return m_devicePath; }

    // The device went away: the port closes itself and says so.
    void simulateLineLost()
    {
        m_open = false;
        emit lineLost();
    }
    // Adds bytes to the input buffer and raises the ready-read notification.
    void simulateArrival(const QByteArray &bytes)
    {
        m_input += bytes;
        emit readyRead();
    }
    // The same from the event loop, as a device's bytes come.
    void arriveLater(const QByteArray &bytes)
    {
        QTimer::singleShot(0, this, [this, bytes] { simulateArrival(bytes); });
    }

    bool open(const LineSettings &settings) override
    {
        devices << settings.devicePath;
        if (!record(QStringLiteral("Open"),
                    QStringLiteral("%1 %2").arg(settings.portNumber).arg(settings.baudRate)))
            return false;
        if (m_open)
            return fail(PortError::PortInUse);
        m_open = true;
        m_devicePath = settings.devicePath;
        if (whenOpened)
            whenOpened(*this);
        return true;
    }
    void close() override
    {
        if (m_open)
            calls << QStringLiteral("Close");
        m_open = false;
    }
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray &bytes) override
    {
        if (whileWriting)
            whileWriting();
        if (!record(QStringLiteral("Write"), QString::fromLatin1(bytes)))
            return false;
        if (!m_open)
            return fail(PortError::PortClosed);
        writes.append(bytes);
        if (answer)
            if (const QByteArray reply = answer(bytes.chopped(bytes.endsWith('\r') ? 1 : 0));
                !reply.isEmpty())
                arriveLater(reply);
        return true;
    }
    QByteArray readAll() override { return std::exchange(m_input, {}); }
    PortFailure lastFailure() const override { return m_failure; }

private:
    bool record(const QString &operation, const QString &argument)
    {
        calls.append(operation + u' ' + argument);
        if (const auto failure = failures.constFind(operation); failure != failures.cend()) {
            const PortError error = *failure;
            failures.erase(failure);
            return fail(error);
        }
        return true;
    }
    bool fail(PortError error)
    {
        m_failure = {error, QStringLiteral("injected %1").arg(int(error))};
        return false;
    }

    QByteArray m_input;
    QString m_devicePath;
    PortFailure m_failure;
    bool m_open = false;
};
