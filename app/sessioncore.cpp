#include "app/sessioncore.h"

namespace {
// udev makes the device node first and its by-id link a moment later; a
// burst of changes is looked at once, this long after its first.
constexpr auto kPortsSettle = std::chrono::milliseconds(250);

// The stable-name folders, and the folders the com<N> links live in, so that
// a link made anew is seen as well as a by-id name coming back.
PortPlaces watchedForTheSession(PortPlaces places, const QStringList &portFolders)
{
    places.stableFolders += portFolders;
    return places;
}
} // namespace

SessionCore::SessionCore(SerialPort &port, SessionPrompts &prompts, ExecutableInfo exe,
                         const SessionSchedule &schedule, const PortPlaces &stableNames)
    : m_session(port, prompts, std::move(exe), schedule),
      m_portWatcher(watchedForTheSession(stableNames, m_session.portFolders()), QStringLiteral("/dev"),
                    kPortsSettle),
      m_bus(m_session, m_recorder)
{
    QObject::connect(&m_session, &DeviceSession::lineReceived, &m_recorder, &Recorder::recordReceived);
    QObject::connect(&m_session, &DeviceSession::commandWritten, &m_recorder, &Recorder::recordSent);
    // A device waited for behind its link is asked as soon as it is back.
    QObject::connect(&m_portWatcher, &PortWatcher::portsChanged, &m_session, &DeviceSession::lookAgainAtPort);
}
