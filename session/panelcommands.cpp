// What the control panel and a script send.
#include "session/devicesession.h"

#include "settings/wholenumber.h"

namespace {
CommandQueue::OnFailure failureFor(DeviceSession::Origin origin)
{
    return origin == DeviceSession::Origin::Panel ? CommandQueue::OnFailure::AskUser
                                                  : CommandQueue::OnFailure::SearchAgain;
}
} // namespace

bool DeviceSession::queueCommands(const QList<CommandQueue::Command> &commands)
{
    return m_state != State::Ended && m_queue.enqueue(commands);
}

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
