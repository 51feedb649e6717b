// What the control panel sends, the read-backs after identification and the sample polls.
#include "session/devicesession.h"

#include "settings/wholenumber.h"

#include <limits>

void DeviceSession::setDuty(int percent)
{
    sendCommand(QStringLiteral("SV01=") + QString::number(percent));
    sendCommand(QStringLiteral("PV1?"));
}

bool DeviceSession::sendTypedDuty(const QString &text)
{
    const std::optional<qint16> value = toWholeNumber(text);
    if (!value || *value < 0 || *value > 100)
        return false;
    sendCommand(QStringLiteral("SV01=") + QString::number(*value));
    return true;
}

// Only the device's "SV02=" reply moves the highlight, so the panel never
// shows a preset the device did not take.
void DeviceSession::selectPreset(int preset)
{
    sendCommand(QStringLiteral("SV02=") + QString::number(preset));
}

void DeviceSession::askDutySetValue()
{
    sendCommand(QStringLiteral("SV01?"));
}

void DeviceSession::askPreset()
{
    sendCommand(QStringLiteral("SV02?"));
}

void DeviceSession::readBackStep()
{
    ++m_readBackStep;
    if (m_readBackStep == 1) {
        emit controlPanelEnabled(true); // stays enabled for the rest of the run
        pace();
        askDutySetValue();
    } else if (m_readBackStep == 2) {
        pace();
        askPreset();
        m_readBackTimer.setEnabled(false);
        m_readBackStep = 0;
    }
}

void DeviceSession::sampleTick()
{
    showStatus(QStringLiteral("STime:") + QString::number(m_settings.sampleTime) +
                   QStringLiteral(" STimer:") + QString::number(m_sampleTickCount),
               m_status.tone);
    // Saturates rather than wrapping: with a sample time of 32767 no poll ever goes out.
    if (m_sampleTickCount < std::numeric_limits<qint16>::max())
        ++m_sampleTickCount;
    if (m_sampleTickCount > m_settings.sampleTime)
        poll();
}

void DeviceSession::poll()
{
    m_sampleTickCount = 0;
    emit inputBlocked(true);
    if (!writeToDevice(QByteArrayLiteral("PV01?\r"))) {
        // Nobody is at the panel to answer a question: search on our own, so a
        // device that comes back is found and polled again without a click.
        searchAgain();
        return;
    }
    pace();
    emit inputBlocked(false);
}
