// What the control panel sends, the read-backs after identification and the sample polls.
#include "session/devicesession.h"

#include "settings/wholenumber.h"

#include <limits>

namespace {
CommandQueue::OnFailure failureFor(DeviceSession::Origin origin)
{
    return origin == DeviceSession::Origin::Panel ? CommandQueue::OnFailure::AskUser
                                                  : CommandQueue::OnFailure::SearchAgain;
}
} // namespace

bool DeviceSession::queuePanelCommand(const QString &text, Origin origin)
{
    return queueCommands({{text.toLatin1(), failureFor(origin)}});
}

bool DeviceSession::setDuty(int percent, Origin origin)
{
    // Both or neither: a full queue must not leave a duty without its read-back.
    return queueCommands(
        {{"SV01=" + QByteArray::number(percent), failureFor(origin)}, {"PV1?", failureFor(origin)}});
}

bool DeviceSession::sendTypedDuty(const QString &text)
{
    const std::optional<qint16> value = toWholeNumber(text);
    if (!value || *value < 0 || *value > 100)
        return false;
    queuePanelCommand(QStringLiteral("SV01=") + QString::number(*value), Origin::Panel);
    return true;
}

// Only the device's "SV02=" reply moves the highlight, so the panel never
// shows a preset the device did not take.
bool DeviceSession::selectPreset(int preset, Origin origin)
{
    return queuePanelCommand(QStringLiteral("SV02=") + QString::number(preset), origin);
}

bool DeviceSession::askDutySetValue(Origin origin)
{
    return queuePanelCommand(QStringLiteral("SV01?"), origin);
}

bool DeviceSession::askPreset(Origin origin)
{
    return queuePanelCommand(QStringLiteral("SV02?"), origin);
}

void DeviceSession::readBackStep()
{
    QByteArray question;
    if (++m_readBackStep == 1) {
        emit controlPanelEnabled(true); // stays enabled for the rest of the run
        question = "SV01?";
    } else {
        m_readBackTimer.stop();
        m_readBackStep = 0;
        question = "SV02?";
    }
    // The question waits a pause after the tick: the device may still be
    // busy with what came before it.
    queueCommands({{}, {question, CommandQueue::OnFailure::AskUser}});
}

void DeviceSession::sampleTick()
{
    showStatus(QStringLiteral("STime:") + QString::number(m_settings.sampleTime) +
                   QStringLiteral(" STimer:") + QString::number(m_sampleTickCount),
               m_status.tone);
    // Saturates rather than wrapping: with a sample time of 32767 no poll ever goes out.
    if (m_sampleTickCount < std::numeric_limits<qint16>::max())
        ++m_sampleTickCount;
    if (m_sampleTickCount > m_settings.sampleTime && !m_pollWaiting)
        poll();
}

void DeviceSession::poll()
{
    // The count starts again once the poll's pause is over, so a code line
    // that arrives during the pause does not move the next poll.
    m_pollWaiting = true;
    const auto paused = [this] {
        m_sampleTickCount = 0;
        m_pollWaiting = false;
    };
    if (!queueCommands({{"PV01?", CommandQueue::OnFailure::SearchAgain, paused}}))
        m_pollWaiting = false; // the queue is full: the next tick tries again
}
