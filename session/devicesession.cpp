// The connection cycle: searching for the device, the response time-out,
// receiving its lines and writing the queued commands.
#include "session/devicesession.h"

#include "link/portnumber.h"
#include "link/wirelog.h"
#include "session/reply.h"
#include "session/sessionprompts.h"

DeviceSession::DeviceSession(SerialPort &port, SessionPrompts &prompts, ExecutableInfo exe,
                             const SessionSchedule &schedule, QObject *parent)
    : QObject(parent), m_port(port), m_prompts(prompts), m_exe(std::move(exe)),
      // The search and its time-out share a schedule that must not drift apart.
      m_searchTimer(schedule.search, Qt::PreciseTimer, this),
      m_responseTimer(schedule.responseTimeout, Qt::PreciseTimer, this),
      m_readBackTimer(schedule.readBack, Qt::CoarseTimer, this),
      m_sampleTimer(schedule.sampleTick, Qt::CoarseTimer, this)
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

QString DeviceSession::portDevice() const
{
    return resolvePortDevice(m_line.portNumber, m_exe.dir);
}

void DeviceSession::startConnectionCycle()
{
    loadSettings();
    setState(State::Searching);
    showStatus(QStringLiteral("wait..."), StatusTone::Searching);
    m_searchTimer.keepRunning(true);
}

void DeviceSession::endConnection()
{
    m_searchTimer.stop();
    m_responseTimer.stop();
    m_readBackTimer.stop();
    m_sampleTimer.stop();
    m_readBackStep = 0;
    m_pollWaiting = false;
    m_queue.clear();
    m_port.close();
}

void DeviceSession::searchAgain()
{
    endConnection();
    startConnectionCycle();
}

void DeviceSession::shutdown()
{
    endConnection();
    setState(State::Ended);
}

void DeviceSession::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void DeviceSession::searchTick()
{
    showStatus(QStringLiteral("Searching for uc code..."), StatusTone::Searching);
    // Started before the port is tried: a port that fails is "no response" too.
    m_responseTimer.keepRunning(true);
    if (!m_port.isOpen()) {
        if (!m_port.open(m_line)) {
            showPortFailure(m_port.lastFailure());
            return;
        }
        // A line cut off when the port closed would glue onto the first reply.
        m_received.clear();
    }
    queueCommands({{QByteArrayLiteral("I?"), CommandQueue::OnFailure::ShowPortFailure}});
}

void DeviceSession::responseTimedOut()
{
    m_responseTimer.stop();
    showStatus(QStringLiteral("No response!"), StatusTone::Failed);
}

void DeviceSession::readPort()
{
    // Drain everything that is waiting; a notification with nothing waiting adds nothing.
    for (QByteArray bytes = m_port.readAll(); !bytes.isEmpty(); bytes = m_port.readAll())
        for (QByteArray &text : m_received.feed(bytes)) {
            const WireLine line = WireLine::read(std::move(text), wireClockMSecs());
            qCDebug(lcWire).noquote() << wireTime() << "<" << wireText(line.bytes + '\r');
            emit lineReceived(line);
            handleLine(line);
        }
}

void DeviceSession::handleLine(const WireLine &wireLine)
{
    const QString line = QString::fromLatin1(wireLine.bytes);
    m_responseTimer.stop();
    const Reply reply = interpretReply(wireLine, m_settings.deviceCode);
    if (reply.overlong) {
        showStatus(QStringLiteral("???"), StatusTone::Receiving);
        return;
    }

    if (reply.identifies) {
        emit deviceLabelChanged(QStringLiteral("Kestravon: uc=") + line + QStringLiteral("  pc=") +
                                m_exe.baseName);
        showStatus(QStringLiteral("Found: ") + line, StatusTone::Found);
        m_searchTimer.stop();
        if (m_settings.sampleTime > 0) {
            // The first poll goes out at the next tick.
            m_sampleTickCount = qint16(m_settings.sampleTime - 1);
            m_sampleTimer.keepRunning(true);
        }
        m_readBackTimer.keepRunning(true);
        if (m_state == State::Searching)
            setState(State::Identified);
    } else {
        showStatus(QStringLiteral("COM:") + QString::number(m_settings.portNumber) +
                       QStringLiteral(" Baud:") + m_settings.baudRate + QStringLiteral(" COM data: ") + line,
                   StatusTone::Receiving);
    }

    // Only what changed is said: a device that echoes every command would
    // otherwise have the window redo the same work at every reply.
    if (reply.duty && *reply.duty != m_dutyText) {
        m_dutyText = *reply.duty;
        emit dutyChanged(m_dutyText);
    }
    if (reply.preset && *reply.preset != m_preset) {
        m_preset = *reply.preset;
        emit presetHighlighted(m_preset);
    }
}

void DeviceSession::showStatus(const QString &text, StatusTone tone, const QString &detail)
{
    const StatusLine status{text, tone, detail};
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged(m_status);
}

void DeviceSession::showPortFailure(const PortFailure &failure)
{
    QString text = QStringLiteral("COM Port comm-error! ") + QString::number(int(failure.error));
    switch (failure.error) {
    case PortError::InvalidPort:
        text = QStringLiteral("Invalid Port Number!");
        break;
    case PortError::PortInUse:
        text = QStringLiteral("Port already open!");
        break;
    case PortError::BadSettings:
    case PortError::PortClosed:
    case PortError::OpenFailed:
    case PortError::WriteFailed:
    case PortError::LineError:
        break;
    }
    // The system's own words (e.g. "Permission denied") for whoever hovers over the status.
    showStatus(text, StatusTone::Failed, failure.message);
}

bool DeviceSession::queueCommands(const QList<CommandQueue::Command> &commands)
{
    return m_state != State::Ended && m_queue.enqueue(commands);
}

void DeviceSession::writeCommand(const CommandQueue::Command &command)
{
    // Every write goes through here, so the wire log sees it.
    qCDebug(lcWire).noquote() << wireTime() << ">" << wireText(command.text + '\r');
    if (m_port.write(command.text + '\r')) {
        emit commandWritten(WireLine::read(command.text, wireClockMSecs()));
        return;
    }
    switch (command.onFailure) {
    case CommandQueue::OnFailure::ShowPortFailure:
        showPortFailure(m_port.lastFailure());
        break;
    case CommandQueue::OnFailure::SearchAgain:
        searchAgain();
        break;
    case CommandQueue::OnFailure::AskUser:
        // Nothing more is written until the user has answered; the question
        // is asked from the top of the event loop, not from inside this write.
        m_asking = true;
        m_queue.hold(true);
        QMetaObject::invokeMethod(this, &DeviceSession::askAfterNoResponse, Qt::QueuedConnection);
        break;
    }
}

void DeviceSession::askAfterNoResponse()
{
    m_prompts.askContinueAfterNoResponse([this](bool searchAgainForDevice) {
        if (!m_asking || m_state == State::Ended)
            return;
        m_asking = false;
        if (searchAgainForDevice) {
            searchAgain(); // what waited behind the failed command goes with the connection
            m_queue.hold(false);
        } else {
            shutdown();
            emit endRequested();
        }
    });
}
