#pragma once

#include "dbus/panelproperties.h"
#include "dbus/scriptcalls.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

class DeviceSession;

// The panel on the session bus: the object /dev/kestravon/PwmPanel with the
// interface dev.kestravon.PwmPanel1 (dist/dev.kestravon.PwmPanel1.xml), under
// the name busNameFor(the program's name). Scripts drive the device through
// the session's command queue, as clicks do, while the window shows it all.
// The members the bus sees carry the interface's own names.
class PanelAdaptor : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "dev.kestravon.PwmPanel1")
    Q_PROPERTY(bool Identified READ identified)
    Q_PROPERTY(QString DeviceCode READ deviceCode)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QString StatusTone READ statusTone)
    Q_PROPERTY(QString Duty READ duty)
    Q_PROPERTY(int Preset READ preset)
    Q_PROPERTY(QString Port READ port)
    Q_PROPERTY(qint16 SampleTime READ sampleTime)
public:
    explicit PanelAdaptor(DeviceSession &session, QObject *parent = nullptr);
    ~PanelAdaptor() override;

    // Registers on the bus DBUS_SESSION_BUS_ADDRESS names. Without one, or
    // when another copy holds the name, the program goes on without the
    // interface: false, and the reason once on pwm.link.
    bool registerOnSessionBus();
    bool registerOn(QDBusConnection bus);

    bool identified() const;
    QString deviceCode() const;
    QString status() const;
    QString statusTone() const;
    QString duty() const;
    int preset() const;
    QString port() const;
    qint16 sampleTime() const;

public slots:
    // Each returns once its commands are queued, or with a D-Bus error
    // (Error.NotIdentified, Error.OutOfRange) having sent nothing.
    Q_SCRIPTABLE void SetDuty(int percent);
    Q_SCRIPTABLE void SelectPreset(int preset);
    Q_SCRIPTABLE void AskDuty();
    Q_SCRIPTABLE void AskPreset();

signals:
    Q_SCRIPTABLE void LineReceived(const QString &line);
    Q_SCRIPTABLE void CommandSent(const QString &command);

private:
    void replyWith(const std::optional<CallRefusal> &refusal);
    // QtDBus has no PropertiesChanged of its own.
    void announceChanges(const QVariantMap &changedValues);

    DeviceSession &m_session;
    ScriptCalls m_calls;
    PanelProperties m_properties;
    QDBusConnection m_bus{QString()};
    QString m_busName; // empty until registered
};
