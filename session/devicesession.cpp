// The connection cycle: its start and end, receiving the device's lines and
// writing the queued commands. The search itself is search.cpp's.
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
            searchAgain(); // what the user typed in the settings boxes stays
    });
}

void DeviceSession::start()
{
    startConnectionCycle(Boxes::Refill);
}

QString DeviceSession::portDevice() const
{
    return m_port.isOpen() ? m_openDevice : resolvePortDevice(m_settings.line().portNumber, portFolders());
}

QString DeviceSession::portFolder() const
{
    return portFolderFor(m_exe);
}

QStringList DeviceSession::portFolders() const
{
    return portLookupFoldersFor(m_exe);
}

void DeviceSession::searchFromStart()
{
    if (m_state == State::Ended || m_asking)
        return;
    searchAgain();
    searchTick(); // the user just chose the port: ask now, not a search interval later
}

void DeviceSession::loadSettings(Boxes boxes)
{
    m_settings.load();
    namePort(false);
    if (boxes == Boxes::Refill)
        emit settingsLoaded(m_settings.record());
}

void DeviceSession::startConnectionCycle(Boxes boxes)
{
    loadSettings(boxes);
    setState(State::Searching);
    showStatus(QStringLiteral("wait..."), StatusTone::Searching);
    m_searchTimer->keepRunning(true);
}

void DeviceSession::endConnection()
{
    m_searchTimer->keepRunning(false);
    m_responseTimer->keepRunning(false);
    m_polling.stop();
    m_queue.clear(QStringLiteral("the connection to the device ended before it was written"));
    m_port.close();
}

void DeviceSession::searchAgain(Boxes boxes)
{
    endConnection();
    startConnectionCycle(boxes);
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
    m_statusDetail = detail;
    const QString shownDetail = detail.isEmpty() || m_notSentNotice.isEmpty()
                                    ? detail + m_notSentNotice
                                    : detail + u'\n' + m_notSentNotice;
    const StatusLine status{text, tone, shownDetail, m_deviceText};
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged(m_status);
}

void DeviceSession::writeCommand(const CommandQueue::Command &command)
{
    // Every write goes through here, so the wire log sees it.
    const qint64 now = wireClockMSecs();
    qCDebug(lcWire).noquote() << wireTime(now) << ">" << wireText(command.text + '\r');
    if (m_port.write(command.text + '\r')) {
        // The time-out belongs to a question that went out, not to a port
        // that never opened; a later question leaves its count alone.
        if (command.onFailure == CommandQueue::OnFailure::ShowPortFailure && m_state == State::Searching)
            m_responseTimer->keepRunning(true);
        emit commandWritten(WireLine::read(command.text, now));
        if (command.settled)
            command.settled({});
        return;
    }
    // Told before the connection ends, which drops what waited behind it.
    if (command.settled) {
        const QString why = m_port.lastFailure().message;
        command.settled(why.isEmpty() ? QStringLiteral("the write failed") : why);
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
    searchAgain(Boxes::Refill); // the new settings are read back for the new connection
    return true;
}

void DeviceSession::askAfterNoResponse()
{
    m_prompts.askContinueAfterNoResponse([this](bool searchAgainForDevice) {
        if (!m_asking || m_state == State::Ended)
            return;
        m_asking = false;
        if (searchAgainForDevice) {
            // What waited behind the failed command goes with the connection.
            searchAgain(Boxes::Refill);
            m_queue.hold(false);
        } else {
            shutdown();
            emit endRequested();
        }
    });
}
