// What the control panel and a script send.
#include "session/devicesession.h"

#include "session/statuswording.h"
#include "settings/wholenumber.h"

#include <memory>

namespace {
CommandQueue::OnFailure failureFor(DeviceSession::Origin origin)
{
    return origin == DeviceSession::Origin::Panel ? CommandQueue::OnFailure::AskUser
                                                  : CommandQueue::OnFailure::SearchAgain;
}

// The commands of one call are settled together: the first that is not
// written settles the call, else the last one written does.
void settleTogether(QList<CommandQueue::Command> &commands, DeviceSession::Settled settled)
{
    struct Call
    {
        DeviceSession::Settled settled;
        qsizetype unwritten;
    };
    auto call = std::make_shared<Call>(Call{std::move(settled), commands.size()});
    for (CommandQueue::Command &command : commands)
        command.settled = [call](const QString &notWritten) {
            if (!call->settled)
                return;
            if (!notWritten.isEmpty())
                std::exchange(call->settled, nullptr)(notWritten);
            else if (--call->unwritten == 0)
                std::exchange(call->settled, nullptr)(std::nullopt);
        };
}
} // namespace

bool DeviceSession::queueCommands(QList<CommandQueue::Command> commands, Origin origin, Settled settled)
{
    // A script is told that nothing goes out while the user is asked; the
    // panel's clicks behind the question wait, and go with the connection.
    if (m_state == State::Ended || (origin == Origin::Script && m_asking))
        return false;
    if (settled)
        settleTogether(commands, std::move(settled));
    const bool queued = m_queue.enqueue(commands);
    if (origin == Origin::Panel) { // a script hears it in its answer
        // A dropped press is said until the next press, whatever the device says meanwhile.
        QString notice = queued ? QString() : notQueuedDetail(CommandQueue::kMaxWaiting);
        if (notice != m_notSentNotice) {
            m_notSentNotice = std::move(notice);
            showStatus(m_status.text, m_status.tone, m_statusDetail);
        }
    }
    return queued;
}

bool DeviceSession::queuePanelCommand(const QString &text, Origin origin, Settled settled)
{
    return queueCommands({{text.toLatin1(), failureFor(origin)}}, origin, std::move(settled));
}

bool DeviceSession::setDuty(int percent, Origin origin, Settled settled)
{
    // Both or neither: a full queue must not leave a duty without its read-back.
    return queueCommands(
        {{"SV01=" + QByteArray::number(percent), failureFor(origin)}, {"PV1?", failureFor(origin)}}, origin,
        std::move(settled));
}

DeviceSession::TypedDuty DeviceSession::sendTypedDuty(const QString &text)
{
    const std::optional<qint16> value = toWholeNumber(text);
    if (!value || *value < 0 || *value > 100)
        return TypedDuty::NotADuty;
    return queuePanelCommand(QStringLiteral("SV01=") + QString::number(*value), Origin::Panel)
               ? TypedDuty::Queued
               : TypedDuty::NotSent;
}

// Only the device's "SV02=" reply moves the highlight, so the panel never
// shows a preset the device did not take.
bool DeviceSession::selectPreset(int preset, Origin origin, Settled settled)
{
    return queuePanelCommand(QStringLiteral("SV02=") + QString::number(preset), origin, std::move(settled));
}

bool DeviceSession::askDutySetValue(Origin origin, Settled settled)
{
    return queuePanelCommand(QStringLiteral("SV01?"), origin, std::move(settled));
}

bool DeviceSession::askPreset(Origin origin, Settled settled)
{
    return queuePanelCommand(QStringLiteral("SV02?"), origin, std::move(settled));
}
