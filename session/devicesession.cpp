// The connection cycle: searching for the device, the response time-out,
// receiving its lines and sending commands.
#include "session/devicesession.h"

#include "link/pacingdelay.h"
#include "link/wirelog.h"
#include "session/reply.h"
#include "session/sessionprompts.h"

DeviceSession::DeviceSession(SerialPort &port, SessionPrompts &prompts, ExecutableInfo exe,
                             std::function<void()> endProgram, QObject *parent)
    : QObject(parent), m_port(port), m_prompts(prompts), m_exe(std::move(exe)),
      m_endProgram(std::move(endProgram))
{
    connect(&m_searchTimer, &QTimer::timeout, this, &DeviceSession::searchTick);
    connect(&m_responseTimer, &QTimer::timeout, this, &DeviceSession::responseTimedOut);
    connect(&m_readBackTimer, &QTimer::timeout, this, &DeviceSession::readBackStep);
    connect(&m_sampleTimer, &QTimer::timeout, this, &DeviceSession::sampleTick);
    connect(&m_port, &SerialPort::readyRead, this, &DeviceSession::readPort);
}

void DeviceSession::start()
{
    // Until a settings file names another, the device answers with this code.
    m_settings.deviceCode = QStringLiteral("DUTY01");
    startConnectionCycle();
}

void DeviceSession::startConnectionCycle()
{
    loadSettings();
    showStatus(QStringLiteral("wait..."), StatusTone::Searching);
    m_searchTimer.setEnabled(true);
}

void DeviceSession::searchTick()
{
    showStatus(QStringLiteral("Searching for uc code..."), StatusTone::Searching);
    // Started before the port is tried: a port that fails is "no response" too.
    m_responseTimer.setEnabled(true);
    if (!m_port.isOpen()) {
        if (!m_port.open(m_line)) {
            showPortFailure(m_port.lastFailure());
            return;
        }
        // A line cut off when the port closed would glue onto the first reply.
        m_received.clear();
    }
    if (!writeToDevice(QByteArrayLiteral("I?\r")))
        showPortFailure(m_port.lastFailure());
}

void DeviceSession::responseTimedOut()
{
    m_responseTimer.setEnabled(false);
    showStatus(QStringLiteral("No response!"), StatusTone::Failed);
}

void DeviceSession::readPort()
{
    // Drain everything that is waiting; a notification with nothing waiting adds nothing.
    for (QByteArray bytes = m_port.readAll(); !bytes.isEmpty(); bytes = m_port.readAll())
        for (const QByteArray &line : m_received.feed(bytes)) {
            qCDebug(lcWire).noquote() << wireTime() << "<" << wireText(line + '\r');
            handleLine(QString::fromLatin1(line));
        }
}

void DeviceSession::handleLine(const QString &line)
{
    ++m_repliesHandled;
    m_responseTimer.setEnabled(false);
    const Reply reply = interpretReply(line, m_settings.deviceCode);
    if (reply.overlong) {
        showStatus(QStringLiteral("???"), StatusTone::Receiving);
        return;
    }

    if (reply.identifies) {
        emit deviceLineChanged(QStringLiteral("Kestravon: uc=") + line + QStringLiteral("  pc=") +
                               m_exe.baseName);
        showStatus(QStringLiteral("Found: ") + line, StatusTone::Found);
        m_searchTimer.setEnabled(false);
        if (m_settings.sampleTime > 0) {
            // The first poll goes out at the next tick.
            m_sampleTickCount = qint16(m_settings.sampleTime - 1);
            m_sampleTimer.setEnabled(true);
        }
        m_readBackTimer.setEnabled(true);
    } else {
        showStatus(QStringLiteral("COM:") + QString::number(m_settings.portNumber) +
                       QStringLiteral(" Baud:") + m_settings.baudRate + QStringLiteral(" COM data: ") + line,
                   StatusTone::Receiving);
    }

    if (reply.duty)
        emit dutyChanged(*reply.duty);
    if (reply.preset)
        emit presetHighlighted(*reply.preset);
}

void DeviceSession::shutdown()
{
    m_shutDown = true;
    m_port.close();
    // Commands still waiting in a pacing delay must not send after this.
    m_searchTimer.stop();
    m_responseTimer.stop();
    m_readBackTimer.stop();
    m_sampleTimer.stop();
}

void DeviceSession::showStatus(const QString &text, StatusTone tone, const QString &detail)
{
    m_status.text = text;
    m_status.tone = tone;
    m_status.detail = detail;
    emit statusChanged(m_status);
}

void DeviceSession::showPortFailure(const PortFailure &failure)
{
    QString text;
    switch (failure.number) {
    case PortErrors::InvalidPort:
        text = QStringLiteral("Invalid Port Number!");
        break;
    case PortErrors::PortInUse:
        text = QStringLiteral("Port already open!");
        break;
    default:
        text = QStringLiteral("COM Port comm-error! ") + QString::number(failure.number);
        break;
    }
    // The system's own words (e.g. "Permission denied") for whoever hovers over the status.
    showStatus(text, StatusTone::Failed, failure.message);
}

void DeviceSession::sendCommand(const QString &command)
{
    // After the exit was confirmed a waiting command must not raise a dialog.
    if (!m_shutDown && !writeToDevice(command.toLatin1() + '\r')) {
        if (!m_prompts.continueAfterNoResponse()) {
            m_endProgram(); // does not return
            return;
        }
        searchAgain();
    }
    pace();
}

void DeviceSession::searchAgain()
{
    m_port.close();
    m_sampleTimer.setEnabled(false);
    emit inputBlocked(false);
    startConnectionCycle();
}

bool DeviceSession::writeToDevice(const QByteArray &bytes)
{
    qCDebug(lcWire).noquote() << wireTime() << ">" << wireText(bytes);
    return m_port.write(bytes);
}

void DeviceSession::pace()
{
    pacingDelay(kPacing);
}
