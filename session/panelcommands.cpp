// What the control panel and a script send.
#include "session/devicesession.h"

#include "session/statuswording.h"
#include "settings/wholenumber.h"

namespace {
CommandQueue::OnFailure failureFor(DeviceSession::Origin origin)
{
    return origin == DeviceSession::Origin::Panel ? CommandQueue::OnFailure::AskUser
                                                  : CommandQueue::OnFailure::SearchAgain;
}
} // namespace

bool DeviceSession::queueCommands(const QList<CommandQueue::Command> &commands, Origin origin)
{
    // A script is told that nothing goes out while the user is asked; the
    // panel's clicks behind the question wait, and go with the connection.
    if (m_state == State::Ended || (origin == Origin::Script && m_asking))
        return false;
    if (m_queue.enqueue(commands))
        return true;
    if (origin == Origin::Panel) // a script hears it in its answer
        showStatus(m_status.text, m_status.tone, notQueuedDetail(CommandQueue::kMaxWaiting));
    return false;
}

bool DeviceSession::queuePanelCommand(const QString &text, Origin origin)
{
    return queueCommands({{text.toLatin1(), failureFor(origin)}}, origin);
}

bool DeviceSession::setDuty(int percent, Origin origin)
{
    // Both or neither: a full queue must not leave a duty without its read-back.
    return queueCommands(
        {{"SV01=" + QByteArray::number(percent), failureFor(origin)}, {"PV1?", failureFor(origin)}}, origin);
}

bool DeviceSession::sendTypedDuty(const QString &text)
{
    const std::optional<qint16> value = toWholeNumber(text);
    if (!value || *value < 0 || *value > 100)
        return false;
    return queuePanelCommand(QStringLiteral("SV01=") + QString::number(*value), Origin::Panel);
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
