#pragma once

#include "link/serialport.h"

#include <QSerialPort>
#include <optional>

// The serial port over QSerialPort. Port numbers are resolved against the
// executable's directory (com<N> links) when the port is opened.
class QtSerialPort final : public SerialPort
{
    Q_OBJECT
public:
    explicit QtSerialPort(QString exeDir, QObject *parent = nullptr);
    ~QtSerialPort() override;

    void setCommPort(int number) override;
    int commPort() const override { return m_commPort; }
    void setSettings(const QString &settings) override;
    QString settings() const override { return m_settings; }
    void setHandshaking(int mode) override;

    bool portOpen() const override;
    void setPortOpen(bool open) override;

    void setDTREnable(bool on) override;
    void setRTSEnable(bool on) override;
    void setRThreshold(int count) override { m_rThreshold = count; }
    void setInputLen(int count) override { m_inputLen = count; }

    void output(const QByteArray &bytes) override;
    QByteArray readAll() override;
    qint64 inBufferCount() const override;

    QString lastErrorText() const override { return m_lastError; }

    // The device path the last open used (for the status tooltip and tests).
    QString devicePath() const { return m_devicePath; }

private:
    void handleError(QSerialPort::SerialPortError error);
    // The line is gone: remember why, and close once, outside the current call.
    void lineFailed(const QString &reason);
    void closeAfterFailure();
    // Throws LineError unless the line change was done or the device has no such line.
    void applyLine(bool done);
    [[noreturn]] void fail(int number, const QString &message);

    QString m_exeDir;
    QSerialPort m_port;
    int m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    qint32 m_baud = 9600;
    int m_rThreshold = 0;
    int m_inputLen = 0;
    QString m_devicePath;
    QString m_lastError;
    // DTR/RTS as last asked for; applied again at every open.
    std::optional<bool> m_dtr;
    std::optional<bool> m_rts;
    // Set after the first read/write/resource error while open: the port is
    // closed on the next event-loop pass and further errors are ignored.
    bool m_failed = false;
};
