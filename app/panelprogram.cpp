#include "app/panelprogram.h"

#include <QCoreApplication>

PanelProgram::PanelProgram(SerialPort &port, Dialogs &dialogs, ExecutableInfo exe,
                           const SessionSchedule &schedule, PortSystem ports)
    : m_prompts(dialogs), m_core(port, m_prompts, std::move(exe), schedule, ports.places),
      m_window(m_core.session(), dialogs),
      m_trend(m_window, m_core.session(), m_samples, m_core.recorder(), dialogs),
      m_portActions(m_window, m_core.session(), dialogs, std::move(ports), schedule.responseTimeout)
{
    // Every line the session reads is kept for the trend.
    QObject::connect(&m_core.session(), &DeviceSession::lineReceived, &m_samples, &SampleStore::add);

    m_window.offerActions(m_trend.actions() + m_portActions.actions());
    Recorder &recorder = m_core.recorder();
    QObject::connect(&recorder, &Recorder::started, &m_window, [this] { m_window.showRecording(true); });
    QObject::connect(&recorder, &Recorder::stopped, &m_window, [this] { m_window.showRecording(false); });
    QObject::connect(&m_core.session(), &DeviceSession::endRequested, &m_window,
                     [this] { endAfterNoResponse(); });

    m_core.session().start();
}

// The user chose to end after the device stopped answering: no exit
// question, and the exit status says why the program ended.
void PanelProgram::endAfterNoResponse()
{
    m_exitStatus = 1;
    m_window.closeWithoutAsking();
    QCoreApplication::quit(); // other windows of the program may still be open
}
