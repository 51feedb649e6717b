// The duty-cycle controls: three presets, a typed value, and the read-back query.
#include "app/mainform.h"
#include "settings/wholenumber.h"

#include <QLineEdit>

void MainForm::cmd0P_Click()
{
    sendCommand(QStringLiteral("SV01=0"));
    sendCommand(QStringLiteral("PV1?"));
}

void MainForm::cmd50P_Click()
{
    sendCommand(QStringLiteral("SV01=50"));
    sendCommand(QStringLiteral("PV1?"));
}

void MainForm::cmd100P_Click()
{
    sendCommand(QStringLiteral("SV01=100"));
    sendCommand(QStringLiteral("PV1?"));
}

void MainForm::cmdSV01_Click()
{
    const std::optional<qint16> value = toWholeNumber(c.txtSV01->text());
    if (!value || *value < 0 || *value > 100) {
        c.txtSV01->setText(QStringLiteral("error"));
        return;
    }
    // The box keeps the text as typed.
    sendCommand(QStringLiteral("SV01=") + QString::number(*value));
}

// Captioned "PV01?", but it asks for the duty set value.
void MainForm::cmdPV01_Click()
{
    sendCommand(QStringLiteral("SV01?"));
}
