#pragma once

#include "app/sessioncore.h"
#include "trend/samplestore.h"
#include "windows/chooser/portactions.h"
#include "windows/common/dialogs.h"
#include "windows/main/mainwindow.h"
#include "windows/trend/trendactions.h"

// One running copy of the program with its windows, wired: the session, the
// recording and the bus object (SessionCore), the samples kept for the trend,
// the main window, the trend window's and the port chooser's actions. Each
// part gets the references it needs here and nowhere else; the members are
// built in this order and go in the reverse one.
class PanelProgram
{
public:
    // Starts the session: the settings load and the search begins. ports: what
    // the port chooser lists and asks (the machine's own by default).
    PanelProgram(SerialPort &port, Dialogs &dialogs, ExecutableInfo exe, const SessionSchedule &schedule = {},
                 PortSystem ports = {});

    DeviceSession &session() { return m_core.session(); }
    Recorder &recorder() { return m_core.recorder(); }
    PanelBusObject &bus() { return m_core.bus(); }
    // The samples the trend window shows (the benchmark measures the store at its bound).
    const SampleStore &samples() const { return m_samples; }
    MainWindow &window() { return m_window; }
    TrendActions &trend() { return m_trend; }
    PortActions &portActions() { return m_portActions; }

    // 1 once the program ends because the device stopped answering, else 0.
    int exitStatus() const { return m_exitStatus; }

private:
    void endAfterNoResponse();

    DialogPrompts m_prompts;
    SessionCore m_core;
    SampleStore m_samples;
    MainWindow m_window;
    TrendActions m_trend;
    PortActions m_portActions;
    int m_exitStatus = 0;
};
