#include "app/panelprogram.h"

#include <QCoreApplication>

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

PanelProgram::PanelProgram(SerialPort &port, Dialogs &dialogs, ExecutableInfo exe,
                           const SessionSchedule &schedule, PortSystem ports)
    : m_prompts(dialogs), m_session(port, m_prompts, std::move(exe), schedule),
      m_portWatcher(watchedForTheSession(ports.places, m_session.portFolders()), QStringLiteral("/dev"),
                    kPortsSettle),
      m_bus(m_session), m_window(m_session, dialogs),
      m_trend(m_window, m_session, m_samples, m_recorder, dialogs),
      m_portActions(m_window, m_session, dialogs, std::move(ports), schedule.responseTimeout)
{
    // Every line the session reads is kept for the trend and, while recording, written down.
    QObject::connect(&m_session, &DeviceSession::lineReceived, &m_samples, &SampleStore::add);
    QObject::connect(&m_session, &DeviceSession::lineReceived, &m_recorder, &Recorder::recordReceived);
    QObject::connect(&m_session, &DeviceSession::commandWritten, &m_recorder, &Recorder::recordSent);

    m_window.offerActions(m_trend.actions() + m_portActions.actions());
    QObject::connect(&m_recorder, &Recorder::started, &m_window, [this] { m_window.showRecording(true); });
    QObject::connect(&m_recorder, &Recorder::stopped, &m_window, [this] { m_window.showRecording(false); });
    QObject::connect(&m_session, &DeviceSession::endRequested, &m_window, [this] { endAfterNoResponse(); });
    // A device waited for behind its link is asked as soon as it is back.
    QObject::connect(&m_portWatcher, &PortWatcher::portsChanged, &m_session, &DeviceSession::lookAgainAtPort);

    m_session.start();
}

// The user chose to end after the device stopped answering: no exit
// question, and the exit status says why the program ended.
void PanelProgram::endAfterNoResponse()
{
    m_exitStatus = 1;
    m_window.closeWithoutAsking();
    QCoreApplication::quit(); // other windows of the program may still be open
}
