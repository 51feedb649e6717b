#include "link/systemserialport.h"

#include "link/portadvice.h"
#include "link/portnumber.h"
#include "link/serialhardware.h"
#include "link/wirelog.h"

#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

namespace {

bool isLockedByOther(const QString &message)
{
    // Qt reports both a held lock file and EBUSY (TIOCEXCL) as PermissionError,
    // as it does a plain EACCES; only the message tells them apart.
    return message == QSerialPort::tr("Permission error while locking the device") ||
           message == qt_error_string(EBUSY);
}

} // namespace

SystemSerialPort::SystemSerialPort(QString portFolder, QObject *parent)
    : SystemSerialPort(std::move(portFolder), serialHardwarePresent, parent)
{
}

SystemSerialPort::SystemSerialPort(QString portFolder, HardwareProbe hardwarePresent, QObject *parent)
    : SerialPort(parent), m_portFolder(std::move(portFolder)), m_hardwarePresent(std::move(hardwarePresent))
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialPort::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SystemSerialPort::handleError);
}

SystemSerialPort::~SystemSerialPort() = default;

bool SystemSerialPort::fail(PortError error, const QString &message)
{
    m_failure = {error, message};
    qCInfo(lcLink).noquote() << wireTime() << "failure" << int(error) << message;
    return false;
}

bool SystemSerialPort::failFromPort(PortError error)
{
    const QString message = m_port.errorString();
    m_port.clearError();
    return fail(error, message);
}

bool SystemSerialPort::open(const LineSettings &settings)
{
    if (m_port.isOpen()) {
        if (!m_failed)
            return fail(PortError::PortInUse, QStringLiteral("Port already open"));
        m_port.close(); // its queued close is still pending
    }

    const QString device = settings.devicePath.isEmpty()
                               ? resolvePortDevice(settings.portNumber, m_portFolder)
                               : QFileInfo(settings.devicePath).canonicalFilePath();
    if (device.isEmpty() && !settings.devicePath.isEmpty())
        return fail(PortError::InvalidPort,
                    QStringLiteral("%1: %2").arg(settings.devicePath, qt_error_string(ENOENT)));
    if (device.isEmpty())
        return fail(PortError::InvalidPort, QStringLiteral("No such port: %1").arg(settings.portNumber));
    if (!QFileInfo::exists(device))
        return fail(PortError::InvalidPort, QStringLiteral("%1: %2").arg(device, qt_error_string(ENOENT)));

    // The canonical name makes every alias of a device share one lock file.
    m_devicePath = device;
    m_port.clearError();
    m_port.setPortName(device);
    m_port.setBaudRate(settings.baudRate);
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
            return fail(PortError::InvalidPort, message);
        case QSerialPort::UnsupportedOperationError: // e.g. a rate the driver cannot set
            return fail(PortError::BadSettings, message);
        case QSerialPort::PermissionError:
            if (isLockedByOther(message))
                return fail(PortError::PortInUse,
                            message + u'\n' + portAdvice(PortTrouble::HeldByOther, m_devicePath));
            return fail(PortError::OpenFailed,
                        message + u'\n' + portAdvice(PortTrouble::NoPermission, m_devicePath));
        default:
            return fail(PortError::OpenFailed, message);
        }
    }
    // Most PCs have /dev/ttyS0-3 whether or not a UART is there; such a node
    // opens, then fails every line setting. It names no port.
    if (!m_hardwarePresent(m_port.handle())) {
        m_port.close();
        return fail(PortError::InvalidPort,
                    QStringLiteral("%1: no serial hardware answers at this device").arg(device));
    }
    m_failed = false;
    m_failure = {};
    qCInfo(lcLink).noquote() << wireTime() << "opened" << device << "at" << settings.baudRate
                             << "baud, 8N1, no flow control";
    // The device may read raised lines as a reset or a request to talk.
    if (!setModemLinesLow()) {
        m_port.close();
        return false;
    }
    return true;
}

bool SystemSerialPort::setModemLinesLow()
{
    return modemLineSet(m_port.setDataTerminalReady(false)) && modemLineSet(m_port.setRequestToSend(false));
}

bool SystemSerialPort::modemLineSet(bool done)
{
    if (done)
        return true;
    // A pseudo-terminal has no modem lines; that is no reason to give up the port.
    if (m_port.error() == QSerialPort::UnsupportedOperationError) {
        m_port.clearError();
        return true;
    }
    return failFromPort(PortError::LineError);
}

void SystemSerialPort::close()
{
    if (!m_port.isOpen())
        return;
    m_port.close();
    qCInfo(lcLink).noquote() << wireTime() << "closed" << m_devicePath;
}

bool SystemSerialPort::isOpen() const
{
    return m_port.isOpen();
}

bool SystemSerialPort::write(const QByteArray &bytes)
{
    if (!m_port.isOpen() || m_failed)
        return fail(PortError::PortClosed, QStringLiteral("Port is closed"));
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
            return fail(PortError::WriteFailed, m_failure.message);
        }
    }
    // The rest (a full output queue) goes through Qt's buffer.
    if (left > 0 && m_port.write(data, left) < 0)
        return failFromPort(PortError::WriteFailed);
    return true;
}

QByteArray SystemSerialPort::readAll()
{
    return m_port.readAll();
}

void SystemSerialPort::handleError(QSerialPort::SerialPortError error)
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

void SystemSerialPort::lineFailed(const QString &reason)
{
    m_failed = true;
    m_failure = {PortError::PortClosed, reason};
    qCInfo(lcLink).noquote() << wireTime() << "failure" << int(m_failure.error) << reason << "- closing"
                             << m_devicePath;
    QMetaObject::invokeMethod(this, &SystemSerialPort::closeAfterFailure, Qt::QueuedConnection);
}

void SystemSerialPort::closeAfterFailure()
{
    if (m_failed && m_port.isOpen()) {
        m_port.clearError();
        m_port.close();
        qCInfo(lcLink).noquote() << wireTime() << "closed" << m_devicePath;
        emit lineLost();
    }
}
