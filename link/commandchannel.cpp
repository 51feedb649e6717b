// The one path by which the panel's controls send a command, and the pacing delay after it.
#include "app/mainform.h"
#include "app/msgbox.h"
#include "link/pacingdelay.h"
#include "link/serialport.h"

#include <chrono>

using namespace std::chrono_literals;

namespace {
constexpr auto kPacing = 50ms;
}

void MainForm::cmdUPort_Click()
{
    if (m_unloaded)
        return; // the window is going away: a waiting handler must not raise a dialog
    try {
        m_port.output(PendingCommand.toLatin1() + '\r');
        return;
    } catch (const SerialPortError &) {
    }

    const int answer = m_boxes.MsgBox(
        QStringLiteral("NO RESPONSE! Check connected hardware! Do you want to continue ?"),
        MsgBoxStyle::YesNo | MsgBoxStyle::Critical | MsgBoxStyle::DefaultButton2,
        QStringLiteral("MsgBox: NO RESPONSE - COMMUNICATION ERROR!"), QStringLiteral("DEMO.HLP"), 1000);
    if (answer != MsgBoxResult::Yes) {
        m_endProgram(); // does not return
        return;
    }
    if (m_port.portOpen()) {
        try {
            m_port.setPortOpen(false);
        } catch (const SerialPortError &) {
        }
    }
    if (StTimer.isEnabled())
        StTimer.setEnabled(false);
    setEnabled(true);
    StartConnectionCycle();
}

void MainForm::cmdKasnjenje_Click()
{
    pacingDelay(kPacing);
}

// Set PendingCommand, press cmdUPort, press cmdKasnjenje.
void MainForm::sendCommand(const QString &command)
{
    PendingCommand = command;
    cmdUPort_Click();
    cmdKasnjenje_Click();
}
