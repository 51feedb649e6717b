#include "dbus/scriptcalls.h"

#include "dbus/busname.h"
#include "session/devicesession.h"

namespace {
QString errorName(const char *error)
{
    return QLatin1String(kInterfaceName) + QLatin1String(".Error.") + QLatin1String(error);
}

// A wrong argument is the script's own mistake whatever the device does, so
// it is refused before the device's state is looked at.
std::optional<CallRefusal> refuseOutside(int value, int lowest, int highest, const char *what)
{
    if (value >= lowest && value <= highest)
        return std::nullopt;
    return CallRefusal{errorName("OutOfRange"), QStringLiteral("%1 %2 is outside %3 to %4")
                                                    .arg(QLatin1String(what))
                                                    .arg(value)
                                                    .arg(lowest)
                                                    .arg(highest)};
}
// Nothing queued: the user is being asked whether to search again (nothing
// is written until then), or the queue holds 16 commands. A script that
// outruns the wire is told so rather than answered as if its command were on
// its way.
std::optional<CallRefusal> refuseUnlessQueued(bool queued, const DeviceSession &session)
{
    if (queued)
        return std::nullopt;
    if (session.isAskingUser())
        return CallRefusal{errorName("Busy"), QStringLiteral("the device stopped answering; the panel is "
                                                             "asking the user what to do")};
    return CallRefusal{errorName("Busy"), QStringLiteral("too many commands are waiting for the device; "
                                                         "wait for CommandSent and call again")};
}
// What the session says of the commands, in the interface's words.
DeviceSession::Settled settledAs(ScriptCalls::Written written)
{
    if (!written)
        return {};
    return [written = std::move(written)](const std::optional<QString> &notWritten) {
        if (!notWritten)
            written(std::nullopt);
        else
            written(
                CallRefusal{errorName("NotSent"),
                            QStringLiteral("not written to the device: %1; the panel searches for it again")
                                .arg(*notWritten)});
    };
}
} // namespace

std::optional<CallRefusal> ScriptCalls::refuseUnlessIdentified() const
{
    if (m_session.state() == DeviceSession::State::Identified)
        return std::nullopt;
    return CallRefusal{errorName("NotIdentified"),
                       QStringLiteral("the device has not identified itself yet: ") +
                           m_session.status().text};
}

std::optional<CallRefusal> ScriptCalls::setDuty(int percent, Written written)
{
    if (auto refusal = refuseOutside(percent, 0, 100, "duty"))
        return refusal;
    if (auto refusal = refuseUnlessIdentified())
        return refusal;
    return refuseUnlessQueued(
        m_session.setDuty(percent, DeviceSession::Origin::Script, settledAs(std::move(written))), m_session);
}

std::optional<CallRefusal> ScriptCalls::selectPreset(int preset, Written written)
{
    if (auto refusal = refuseOutside(preset, 1, 7, "preset"))
        return refusal;
    if (auto refusal = refuseUnlessIdentified())
        return refusal;
    return refuseUnlessQueued(
        m_session.selectPreset(preset, DeviceSession::Origin::Script, settledAs(std::move(written))),
        m_session);
}

std::optional<CallRefusal> ScriptCalls::askDuty(Written written)
{
    if (auto refusal = refuseUnlessIdentified())
        return refusal;
    return refuseUnlessQueued(
        m_session.askDutySetValue(DeviceSession::Origin::Script, settledAs(std::move(written))), m_session);
}

std::optional<CallRefusal> ScriptCalls::askPreset(Written written)
{
    if (auto refusal = refuseUnlessIdentified())
        return refusal;
    return refuseUnlessQueued(
        m_session.askPreset(DeviceSession::Origin::Script, settledAs(std::move(written))), m_session);
}
