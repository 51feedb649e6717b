#pragma once

#include "dbus/panelbusobject.h"
#include "link/portwatcher.h"
#include "session/devicesession.h"
#include "trend/recorder.h"
#include "trend/samplestore.h"
#include "windows/chooser/portactions.h"
#include "windows/common/dialogs.h"
#include "windows/main/mainwindow.h"
#include "windows/trend/trendactions.h"

// One running copy of the program, wired: the session on the port (told when
// ports come or go), the samples and the recording fed with the lines it reads, the main window,
// the trend window's and the port chooser's actions and the object scripts
// reach on the bus. Each
// part gets the references it needs here and nowhere else; the members are
// built in this order and go in the reverse one.
class PanelProgram
{
public:
    // Starts the session: the settings load and the search begins. ports: what
    // the port chooser lists and asks (the machine's own by default).
    PanelProgram(SerialPort &port, Dialogs &dialogs, ExecutableInfo exe, const SessionSchedule &schedule = {},
                 PortSystem ports = {});

    DeviceSession &session() { return m_session; }
    Recorder &recorder() { return m_recorder; }
    SampleStore &samples() { return m_samples; }
    PanelBusObject &bus() { return m_bus; }
    MainWindow &window() { return m_window; }
    TrendActions &trend() { return m_trend; }
    PortActions &portActions() { return m_portActions; }

    // 1 once the program ends because the device stopped answering, else 0.
    int exitStatus() const { return m_exitStatus; }

private:
    void endAfterNoResponse();

    DialogPrompts m_prompts;
    DeviceSession m_session;
    PortWatcher m_portWatcher;
    SampleStore m_samples;
    Recorder m_recorder;
    PanelBusObject m_bus;
    MainWindow m_window;
    TrendActions m_trend;
    PortActions m_portActions;
    int m_exitStatus = 0;
};
