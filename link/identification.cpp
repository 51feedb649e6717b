// Bringing the link up: the retry tick, the port initialisation and the response time-out.
#include "app/mainform.h"
#include "app/vbcolor.h"
#include "link/serialport.h"

#include <QLabel>

void MainForm::Timer1_Timer()
{
    cmdInicijalizacija_Click();
}

void MainForm::cmdInicijalizacija_Click()
{
    // The order matters: a failure leaves behind exactly what the steps before it did.
    try {
        m_port.setSettings(Settings.Baud + QStringLiteral(",n,8,1"));
        m_port.setHandshaking(0);
        setStatusColor(vbColor(VbColor::LightYellow));
        setStatus(QStringLiteral("Searching for uc code..."));
        c.lblStatus->setToolTip(QString());
        TimerCom.setEnabled(true);
        if (!m_port.portOpen())
            m_port.setPortOpen(true);
        m_port.setDTREnable(false);
        m_port.setRTSEnable(false);
        m_port.setRThreshold(1);
        m_port.setInputLen(1);
        m_port.output(QByteArrayLiteral("I?\r"));
    } catch (const SerialPortError &e) {
        setStatusError(e.number, e.message);
    }
}

void MainForm::TimerCom_Timer()
{
    TimerCom.setEnabled(false);
    setStatusColor(vbColor(VbColor::LightRed));
    setStatus(QStringLiteral("No response!"));
}

void MainForm::setStatusError(int number, const QString &systemMessage)
{
    setStatusColor(vbColor(VbColor::LightRed));
    switch (number) {
    case SerialErrors::InvalidPort:
        setStatus(QStringLiteral("Invalid Port Number!"));
        break;
    case SerialErrors::PortInUse:
        setStatus(QStringLiteral("Port already open!"));
        break;
    default:
        setStatus(QStringLiteral("COM Port comm-error! ") + QString::number(number));
        break;
    }
    // The system's own words (e.g. "Permission denied") for whoever hovers over the status.
    const QString reason = systemMessage.isEmpty() ? m_port.lastErrorText() : systemMessage;
    c.lblStatus->setToolTip(reason);
}
