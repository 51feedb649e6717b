// After identification: the two read-back queries, then the sample polls.
#include "app/mainform.h"
#include "link/serialport.h"

#include <QGroupBox>
#include <QPointer>
#include <limits>

void MainForm::Timer2_Timer()
{
    ++QueryStep;
    if (QueryStep == 1) {
        c.frmTemp1->setEnabled(true); // stays enabled for the rest of the run
        cmdKasnjenje_Click();
        cmdPV01_Click();
    }
    if (QueryStep == 2) {
        cmdKasnjenje_Click();
        cmdSV02_Click();
        Timer2.setEnabled(false);
        QueryStep = 0;
    }
}

void MainForm::StTimer_Timer()
{
    setStatus(QStringLiteral("STime:") + QString::number(Settings.STime) + QStringLiteral(" STimer:") +
              QString::number(SampleTickCount));
    // Saturates rather than wrapping: with STime 32767 no poll ever goes out.
    if (SampleTickCount < std::numeric_limits<qint16>::max())
        ++SampleTickCount;
    if (SampleTickCount > Settings.STime)
        pollNow();
}

// The window takes no input for the instant of the poll.
void MainForm::pollNow()
{
    // Disabling the window drops the keyboard focus; give it back afterwards so
    // typing in the duty box survives the poll.
    const QPointer<QWidget> focus = focusWidget();
    setEnabled(false);
    try {
        m_port.output(QByteArrayLiteral("PV01?\r"));
        cmdKasnjenje_Click();
    } catch (const SerialPortError &e) {
        setStatusError(e.number, e.message); // and keep polling
    }
    setEnabled(true);
    if (focus && !focusWidget())
        focus->setFocus(Qt::OtherFocusReason);
    SampleTickCount = 0;
}
