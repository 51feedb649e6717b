// The search for the device: at each tick the port number is looked up
// again, the port opened on what it names and the device asked who it is.
#include "session/devicesession.h"

#include "session/statuswording.h"

#include <QFileInfo>

void DeviceSession::searchTick()
{
    namePort(false); // a replugged device may sit behind the link by now
    // The port open is no longer what the name names (the link was made anew):
    // it goes before any other is opened.
    if (m_port.isOpen() && m_openDevice != m_naming.device)
        m_port.close();
    const int number = m_settings.line().portNumber;
    if (waitsForLink()) {
        // The numbered device behind a missing link is somebody else's
        // (/dev/ttyS0 is often the machine's console): wait for the link.
        m_responseTimer->keepRunning(false);
        m_portAway = true;
        showStatus(waitingForLinkCaption(number), StatusTone::Searching,
                   waitingForLinkDetail(number, portFolders()));
        return;
    }
    showStatus(QStringLiteral("Searching for uc code..."), StatusTone::Searching);
    if (!m_port.isOpen() && !openNamedPort()) {
        // No question went out: the port error stays until the next tick.
        m_responseTimer->keepRunning(false);
        return;
    }
    m_queue.enqueue({{QByteArrayLiteral("I?"), CommandQueue::OnFailure::ShowPortFailure}});
}

bool DeviceSession::openNamedPort()
{
    const int number = m_settings.line().portNumber;
    if (m_naming.device.isEmpty()) {
        m_portAway = true;
        showPortFailure({PortError::InvalidPort, QStringLiteral("No such port: %1").arg(number)});
        return false;
    }
    LineSettings line = m_settings.line();
    line.devicePath = m_naming.device; // this very device, whatever the link says by the time it opens
    m_portAway = !m_port.open(line);
    if (m_portAway) {
        showPortFailure(m_port.lastFailure());
        return false;
    }
    m_openDevice = m_naming.device;
    // A line cut off when the port closed would glue onto the first reply.
    m_received.clear();
    return true;
}

bool DeviceSession::waitsForLink() const
{
    return m_naming.entry.isEmpty() && m_linkedNumbers.contains(m_settings.line().portNumber);
}

void DeviceSession::lookAgainAtPort()
{
    // Only a port the search could not reach: an open one is being asked
    // already, and one not tried yet waits for the first tick as it would.
    if (m_state != State::Searching || m_asking || m_port.isOpen() || !m_portAway)
        return;
    const int number = m_settings.line().portNumber;
    const PortNaming naming = ::namePort(number, portFolders(), false);
    if (!naming.link.isEmpty() && QFileInfo::exists(naming.device))
        searchTick();
}

void DeviceSession::responseTimedOut()
{
    m_responseTimer->keepRunning(false);
    showStatus(QStringLiteral("No response!"), StatusTone::Failed);
}

void DeviceSession::namePort(bool found)
{
    const int number = m_settings.line().portNumber;
    PortNaming naming = ::namePort(number, portFolders(), found);
    if (!naming.link.isEmpty())
        m_linkedNumbers.insert(number);
    // Once found, the device is the port that answered, whatever the name says by now.
    if (found && m_port.isOpen())
        naming.device = m_openDevice;
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
