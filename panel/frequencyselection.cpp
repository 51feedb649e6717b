// The seven PWM frequency presets. A click changes no colour: only the device's
// "SV02=" reply moves the highlight.
#include "app/mainform.h"

void MainForm::cmdFpwm_Click(int index)
{
    sendCommand(QStringLiteral("SV02=") + QString::number(index));
}

void MainForm::cmdSV02_Click()
{
    sendCommand(QStringLiteral("SV02?"));
}
