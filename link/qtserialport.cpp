#include "link/qtserialport.h"

#include "link/portadvice.h"
#include "link/portnumber.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <cerrno>
#include <unistd.h>

namespace {

// The rates termios names. A custom rate depends on driver support that many
// adapters (and pseudo-terminals) lack and would only fail at open, so it is
// refused when set.
constexpr std::array<qint32, 30> termiosRates = {
    50,     75,     110,     134,     150,     200,     300,     600,     1200,    1800,
    2400,   4800,   9600,    19200,   38400,   57600,   115200,  230400,  460800,  500000,
    576000, 921600, 1000000, 1152000, 1500000, 2000000, 2500000, 3000000, 3500000, 4000000};

bool isLockedByOther(const QString &message)
{
    // Qt reports both a held lock file and EBUSY (TIOCEXCL) as PermissionError,
    // as it does a plain EACCES; only the message tells them apart.
    return message == QSerialPort::tr("Permission error while locking the device") ||
           message == qt_error_string(EBUSY);
}

} // namespace

QtSerialPort::QtSerialPort(QString exeDir, QObject *parent) : SerialPort(parent), m_exeDir(std::move(exeDir))
{
    connect(&m_port, &QSerialPort::readyRead, this, [this] { emit commEvent(CommEventReceive); });
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPort::handleError);
}

QtSerialPort::~QtSerialPort() = default;

void QtSerialPort::fail(int number, const QString &message)
{
    m_lastError = message;
    throw SerialPortError{number, message};
}

void QtSerialPort::setCommPort(int number)
{
    if (number < 1 || number > 255)
        fail(SerialErrors::InvalidPort, QStringLiteral("Invalid port number: %1").arg(number));
    if (m_port.isOpen())
        fail(SerialErrors::PortInUse, QStringLiteral("Port already open"));
    m_commPort = number;
}

void QtSerialPort::setSettings(const QString &settings)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]+),[Nn],8,1$"));
    const QRegularExpressionMatch match = pattern.match(settings);
    if (!match.hasMatch())
        fail(SerialErrors::BadSettings, QStringLiteral("Invalid settings: %1").arg(settings));

    bool ok = false;
    const qint32 baud = match.captured(1).toInt(&ok);
    if (!ok || std::find(termiosRates.begin(), termiosRates.end(), baud) == termiosRates.end())
        fail(SerialErrors::BadSettings, QStringLiteral("Invalid baud rate: %1").arg(match.captured(1)));

    if (m_port.isOpen() && !m_port.setBaudRate(baud)) {
        const QString message = m_port.errorString();
        m_port.clearError();
        fail(SerialErrors::BadSettings, message);
    }
    m_baud = baud;
    m_settings = settings;
}

void QtSerialPort::setHandshaking(int mode)
{
    if (mode != 0)
        fail(SerialErrors::BadSettings, QStringLiteral("Unsupported handshaking: %1").arg(mode));
}

bool QtSerialPort::portOpen() const
{
    return m_port.isOpen();
}

void QtSerialPort::setPortOpen(bool open)
{
    if (!open) {
        if (m_port.isOpen())
            m_port.close();
        return;
    }
    if (m_port.isOpen()) {
        if (!m_failed)
            fail(SerialErrors::PortInUse, QStringLiteral("Port already open"));
        m_port.close(); // its queued close is still pending
    }

    const QString device = resolvePortDevice(m_commPort, m_exeDir);
    if (device.isEmpty())
        fail(SerialErrors::InvalidPort, QStringLiteral("No such port: %1").arg(m_commPort));
    if (!QFileInfo::exists(device))
        fail(SerialErrors::InvalidPort, QStringLiteral("%1: %2").arg(device, qt_error_string(ENOENT)));

    // The canonical name makes every alias of a device share one lock file.
    m_devicePath = device;
    m_port.clearError();
    m_port.setPortName(device);
    m_port.setBaudRate(m_baud);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = m_port.error();
        const QString message = m_port.errorString();
        m_port.clearError();
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
            fail(SerialErrors::InvalidPort, message);
        case QSerialPort::PermissionError:
            if (isLockedByOther(message))
                fail(SerialErrors::PortInUse,
                     message + u'\n' + portAdvice(PortTrouble::HeldByOther, m_devicePath));
            fail(SerialErrors::OpenFailed,
                 message + u'\n' + portAdvice(PortTrouble::NoPermission, m_devicePath));
        default:
            fail(SerialErrors::OpenFailed, message);
        }
    }
    m_failed = false;

    try {
        if (m_dtr)
            setDTREnable(*m_dtr);
        if (m_rts)
            setRTSEnable(*m_rts);
    } catch (const SerialPortError &) {
        m_port.close();
        throw;
    }
}

void QtSerialPort::setDTREnable(bool on)
{
    m_dtr = on;
    if (m_port.isOpen())
        applyLine(m_port.setDataTerminalReady(on));
}

void QtSerialPort::setRTSEnable(bool on)
{
    m_rts = on;
    if (m_port.isOpen())
        applyLine(m_port.setRequestToSend(on));
}

void QtSerialPort::applyLine(bool done)
{
    if (done)
        return;
    const QSerialPort::SerialPortError error = m_port.error();
    const QString message = m_port.errorString();
    m_port.clearError();
    // A pseudo-terminal has no modem lines; that is no reason to give up the port.
    if (error == QSerialPort::UnsupportedOperationError)
        return;
    fail(SerialErrors::LineError, message);
}

void QtSerialPort::output(const QByteArray &bytes)
{
    if (!m_port.isOpen() || m_failed)
        fail(SerialErrors::PortClosed, QStringLiteral("Port is closed"));
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    // Straight to the line when nothing is queued: QSerialPort would switch its
    // write notifier on and off for every command, two wake-ups of the event
    // loop each, and the bytes would only leave on its next pass.
    if (left > 0 && m_port.bytesToWrite() == 0) {
        const ssize_t n = ::write(m_port.handle(), data, size_t(left)); // the port is non-blocking
        if (n >= 0) {
            data += n;
            left -= n;
        } else if (errno != EAGAIN && errno != EINTR) {
            lineFailed(qt_error_string(errno));
            fail(SerialErrors::WriteFailed, m_lastError);
        }
    }
    // The rest (a full output queue) goes through Qt's buffer.
    if (left > 0 && m_port.write(data, left) < 0) {
        const QString message = m_port.errorString();
        m_port.clearError();
        fail(SerialErrors::WriteFailed, message);
    }
}

QByteArray QtSerialPort::readAll()
{
    return m_port.readAll();
}

qint64 QtSerialPort::inBufferCount() const
{
    return m_port.bytesAvailable();
}

void QtSerialPort::handleError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ReadError && error != QSerialPort::WriteError &&
        error != QSerialPort::ResourceError)
        return;
    if (m_failed || !m_port.isOpen())
        return;
    // When the other end goes away Qt keeps raising this error in a tight
    // loop while the port stays open; close once, outside the signal.
    // A hung-up line reads as end of file and Qt then reports whatever errno
    // was left over, which would mislead; say what happened instead.
    lineFailed(error == QSerialPort::ReadError ? QStringLiteral("The line was hung up (device gone)")
                                               : m_port.errorString());
}

void QtSerialPort::lineFailed(const QString &reason)
{
    m_failed = true;
    m_lastError = reason;
    QMetaObject::invokeMethod(this, &QtSerialPort::closeAfterFailure, Qt::QueuedConnection);
}

void QtSerialPort::closeAfterFailure()
{
    if (m_failed && m_port.isOpen()) {
        m_port.clearError();
        m_port.close();
    }
}
