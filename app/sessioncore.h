#pragma once

#include "dbus/panelbusobject.h"
#include "link/portwatcher.h"
#include "session/devicesession.h"
#include "trend/recorder.h"

// What every copy runs, with a window or without: the session on the port
// (told when ports come or go), the recording fed with what crosses the wire,
// and the object scripts reach on the bus. Starting the session is left to
// the owner, once everything it wires is connected.
class SessionCore
{
public:
    SessionCore(SerialPort &port, SessionPrompts &prompts, ExecutableInfo exe,
                const SessionSchedule &schedule, const PortPlaces &stableNames);

    DeviceSession &session() { return m_session; }
    Recorder &recorder() { return m_recorder; }
    PanelBusObject &bus() { return m_bus; }

private:
    DeviceSession m_session;
    PortWatcher m_portWatcher;
    Recorder m_recorder;
    PanelBusObject m_bus;
};
