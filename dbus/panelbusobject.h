#pragma once

#include "dbus/panelproperties.h"
#include "dbus/scriptcalls.h"

#include <QDBusConnection>
#include <QDBusContext>

class DeviceSession;
class Recorder;

// The panel on the session bus: the object /dev/kestravon/PwmPanel with the
// interface dev.kestravon.PwmPanel1 under the name busNameFor(the program's
// name). The interface's adaptor is generated from
// dist/dev.kestravon.PwmPanel1.xml and calls the members below, which carry
// the interface's own names. Scripts drive the device through the session's
// command queue, as clicks do, while the window shows it all.
class PanelBusObject : public PanelProperties, protected QDBusContext
{
    Q_OBJECT
    // The file being recorded to; empty when none is.
    Q_PROPERTY(QString Recording READ recording)
public:
    // Stops the program when the generated adaptor reads a property or relays
    // a signal this object does not have.
    PanelBusObject(DeviceSession &session, Recorder &recorder, QObject *parent = nullptr);
    ~PanelBusObject() override;

    // Registers on the bus DBUS_SESSION_BUS_ADDRESS names. Without one, or
    // when another copy holds the name, the program goes on without the
    // interface: false, and the reason once on pwm.link.
    bool registerOnSessionBus();
    bool registerOn(QDBusConnection bus);

    // Each answers the bus once its commands are written, with Error.NotSent
    // when a write failed, or at once with a D-Bus error (Error.NotIdentified,
    // Error.OutOfRange, Error.Busy) having sent nothing.
    void SetDuty(int percent);
    void SelectPreset(int preset);
    void AskDuty();
    void AskPreset();
    // Records to an absolute path, with the checks Ctrl+R makes; refused with
    // Error.RecordingRefused and the reason. Stopping when not recording is no error.
    void StartRecording(const QString &path);
    void StopRecording();

    QString recording() const;

signals:
    void LineReceived(const QString &line);
    void CommandSent(const QString &command);

private:
    // Passes the call on; a call from the bus is answered once its commands are written.
    void answer(const std::function<std::optional<CallRefusal>(ScriptCalls::Written)> &call);
    // QtDBus has no PropertiesChanged of its own.
    void announceChanges(const QVariantMap &changedValues);
    void announceOnTheBus();

    DeviceSession &m_session;
    Recorder &m_recorder;
    ScriptCalls m_calls;
    QDBusConnection m_bus{QString()};
    QString m_busName; // empty until registered
};
