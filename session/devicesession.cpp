// The connection cycle: searching for the device, the response time-out,
// receiving its lines and writing the queued commands.
#include "session/devicesession.h"

#include "link/portnumber.h"
#include "link/wirelog.h"
#include "session/reply.h"
#include "session/sessionprompts.h"
#include "session/statuswording.h"
#include "settings/settingsstore.h"

DeviceSession::DeviceSession(SerialPort &port, SessionPrompts &prompts, ExecutableInfo exe,
                             const SessionSchedule &schedule, QObject *parent)
    : QObject(parent), m_port(port), m_prompts(prompts), m_exe(std::move(exe)), m_settings(m_exe),
      m_polling(m_queue, schedule, this),
      // The search and its time-out share a schedule that must not drift apart: both are precise.
      m_searchTimer(schedule.timer(SessionTimer::Search, this)),
      m_responseTimer(schedule.timer(SessionTimer::ResponseTimeout, this))
{
    connect(m_searchTimer, &SessionTimer::timeout, this, &DeviceSession::searchTick);
    connect(m_responseTimer, &SessionTimer::timeout, this, &DeviceSession::responseTimedOut);
    connect(&m_polling, &DevicePolling::readBackStarted, this,
            [this] { emit controlPanelEnabled(true); }); // stays enabled for the rest of the run
    connect(&m_polling, &DevicePolling::sampleTicked, this, [this](int sampleTime, int ticks) {
        showStatus(sampleTickCaption(sampleTime, ticks), m_status.tone);
    });
    connect(&m_port, &SerialPort::readyRead, this, &DeviceSession::readPort);
    // An unplugged device is looked for again at once, polls or not: its
    // link may name it again after a replug.
    connect(&m_port, &SerialPort::lineLost, this, [this] {
        if (m_state == State::Identified && !m_asking)
            searchAgain();
    });
}

void DeviceSession::start()
{
    startConnectionCycle();
}

QString DeviceSession::portDevice() const
{
    return resolvePortDevice(m_settings.line().portNumber, portFolder());
}

QString DeviceSession::portFolder() const
{
    return portFolderFor(m_exe);
}

void DeviceSession::searchFromStart()
{
    if (m_state == State::Ended || m_asking)
        return;
    searchAgain();
    searchTick(); // the user just chose the port: ask now, not a search interval later
}

void DeviceSession::loadSettings()
{
    m_settings.load();
    namePort(false);
    emit settingsLoaded(m_settings.record());
}

void DeviceSession::startConnectionCycle()
{
    loadSettings();
    setState(State::Searching);
    showStatus(QStringLiteral("wait..."), StatusTone::Searching);
    m_searchTimer->keepRunning(true);
}

void DeviceSession::endConnection()
{
    m_searchTimer->keepRunning(false);
    m_responseTimer->keepRunning(false);
    m_polling.stop();
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
    namePort(false); // a replugged device may sit behind the link by now
    showStatus(QStringLiteral("Searching for uc code..."), StatusTone::Searching);
    // Started before the port is tried: a port that fails is "no response" too.
    m_responseTimer->keepRunning(true);
    if (!m_port.isOpen()) {
        if (!m_port.open(m_settings.line())) {
            showPortFailure(m_port.lastFailure());
            return;
        }
        // A line cut off when the port closed would glue onto the first reply.
        m_received.clear();
    }
    m_queue.enqueue({{QByteArrayLiteral("I?"), CommandQueue::OnFailure::ShowPortFailure}});
}

void DeviceSession::responseTimedOut()
{
    m_responseTimer->keepRunning(false);
    showStatus(QStringLiteral("No response!"), StatusTone::Failed);
}

void DeviceSession::readPort()
{
    // Drain everything that is waiting; a notification with nothing waiting adds nothing.
    for (QByteArray bytes = m_port.readAll(); !bytes.isEmpty(); bytes = m_port.readAll())
        for (QByteArray &text : m_received.feed(bytes)) {
            const WireLine line = WireLine::read(std::move(text), wireClockMSecs());
            qCDebug(lcWire).noquote() << wireTime(line.msecsSinceEpoch) << "<" << wireText(line.bytes + '\r');
            emit lineReceived(line);
            handleLine(line);
        }
}

void DeviceSession::handleLine(const WireLine &wireLine)
{
    const QString line = QString::fromLatin1(wireLine.bytes);
    m_responseTimer->keepRunning(false);
    const SettingsRecord &record = m_settings.record();
    const Reply reply = interpretReply(wireLine, record.deviceCode);
    if (reply.overlong) {
        showStatus(QStringLiteral("???"), StatusTone::Receiving);
        return;
    }

    if (reply.identifies) {
        namePort(true);
        emit deviceLabelChanged(deviceLabel(line, m_exe.baseName));
        showStatus(foundCaption(line), StatusTone::Found);
        m_searchTimer->keepRunning(false);
        m_polling.start(record.sampleTime);
        if (m_state == State::Searching)
            setState(State::Identified);
    } else {
        showStatus(receivedLineCaption(record.portNumber, record.baudRate, line), StatusTone::Receiving);
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
    const StatusLine status{text, tone, detail, m_deviceText};
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged(m_status);
}

void DeviceSession::namePort(bool found)
{
    const int number = m_settings.line().portNumber;
    PortNaming naming = ::namePort(number, portFolder(), found);
    m_deviceText = found ? naming.connectedText(number) : naming.waitingText();
    if (naming == m_naming)
        return;
    m_naming = std::move(naming);
    emit portNamed(m_naming);
}

void DeviceSession::showPortFailure(const PortFailure &failure)
{
    // The system's own words (e.g. "Permission denied") for whoever hovers over the status.
    showStatus(portFailureCaption(failure.error), StatusTone::Failed, failure.message);
}

void DeviceSession::writeCommand(const CommandQueue::Command &command)
{
    // Every write goes through here, so the wire log sees it.
    const qint64 now = wireClockMSecs();
    qCDebug(lcWire).noquote() << wireTime(now) << ">" << wireText(command.text + '\r');
    if (m_port.write(command.text + '\r')) {
        emit commandWritten(WireLine::read(command.text, now));
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

void DeviceSession::pauseSampling()
{
    m_polling.pauseSampling();
}

bool DeviceSession::saveSettings(const SettingsTexts &texts)
{
    // Everything that can fail is checked before the port or the file is touched.
    if (const std::optional<QString> refusal = m_settings.save(texts)) {
        m_prompts.explainRefusedSave(*refusal);
        return false;
    }
    searchAgain(); // the new settings are read back for the new connection
    return true;
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
