#pragma once

#include <QString>
#include <functional>
#include <optional>

class DeviceSession;

// Why a call was not passed on; the bus object returns it as a D-Bus error.
struct CallRefusal
{
    QString errorName; // under the interface, e.g. "dev.kestravon.PwmPanel1.Error.OutOfRange"
    QString message;
};

// The calls a script makes, checked as the panel's own controls would be and
// passed to the session as a script's (a failed write asks nobody). A refused
// call sends nothing. Knows no bus, so it is tested without one.
class ScriptCalls
{
public:
    // Told once a call that was not refused is written (nothing), or why its
    // commands were not (Error.NotSent).
    using Written = std::function<void(const std::optional<CallRefusal> &notSent)>;

    explicit ScriptCalls(DeviceSession &session) : m_session(session) {}

    std::optional<CallRefusal> setDuty(int percent, Written written = {});     // 0 to 100
    std::optional<CallRefusal> selectPreset(int preset, Written written = {}); // 1 to 7
    std::optional<CallRefusal> askDuty(Written written = {});
    std::optional<CallRefusal> askPreset(Written written = {});

private:
    // Before the device is found the panel is locked; so is the interface.
    std::optional<CallRefusal> refuseUnlessIdentified() const;

    DeviceSession &m_session;
};
