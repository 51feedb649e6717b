#include "dbus/paneladaptor.h"

#include "dbus/busname.h"
#include "link/wirelog.h"
#include "session/devicesession.h"

#include <QDBusMessage>

PanelAdaptor::PanelAdaptor(DeviceSession &session, QObject *parent)
    : QObject(parent), m_session(session), m_calls(session), m_properties(session)
{
    connect(&m_properties, &PanelProperties::changed, this, &PanelAdaptor::announceChanges);
    // The session's lines and commands are Latin-1 on its status line too.
    connect(&session, &DeviceSession::lineReceived, this,
            [this](const WireLine &line) { emit LineReceived(QString::fromLatin1(line.bytes)); });
    connect(&session, &DeviceSession::commandWritten, this,
            [this](const WireLine &command) { emit CommandSent(QString::fromLatin1(command.bytes)); });
}

PanelAdaptor::~PanelAdaptor()
{
    if (m_busName.isEmpty())
        return;
    m_bus.unregisterService(m_busName);
    m_bus.unregisterObject(QLatin1String(kObjectPath));
}

bool PanelAdaptor::registerOnSessionBus()
{
    // Checked here rather than left to libdbus, which would otherwise try a
    // bus of its own finding (X11 autolaunch, $XDG_RUNTIME_DIR/bus).
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        qCInfo(lcLink).noquote()
            << wireTime() << "no D-Bus interface: no session bus (DBUS_SESSION_BUS_ADDRESS is not set)";
        return false;
    }
    return registerOn(QDBusConnection::sessionBus());
}

bool PanelAdaptor::registerOn(QDBusConnection bus)
{
    const QString name = busNameFor(m_session.executable().baseName);
    const QString path = QLatin1String(kObjectPath);
    if (!bus.isConnected()) {
        qCInfo(lcLink).noquote() << wireTime()
                                 << "no D-Bus interface: no session bus:" << bus.lastError().message();
        return false;
    }
    if (!bus.registerObject(path, this, QDBusConnection::ExportScriptableContents)) {
        qCInfo(lcLink).noquote() << wireTime() << "no D-Bus interface:" << path
                                 << "is taken in this program:" << bus.lastError().message();
        return false;
    }
    // The object first, so that whoever sees the name appear finds it.
    if (!bus.registerService(name)) {
        bus.unregisterObject(path);
        // Taken by another copy, as a rule; the bus's own words say if not.
        qCInfo(lcLink).noquote() << wireTime() << "no D-Bus interface: could not take" << name
                                 << "(another copy?):" << bus.lastError().message();
        return false;
    }
    m_bus = bus;
    m_busName = name;
    qCInfo(lcLink).noquote() << wireTime() << "on the session bus as" << name;
    return true;
}

bool PanelAdaptor::identified() const
{
    return m_properties.values().value(QStringLiteral("Identified")).toBool();
}
QString PanelAdaptor::deviceCode() const
{
    return m_properties.values().value(QStringLiteral("DeviceCode")).toString();
}
QString PanelAdaptor::status() const
{
    return m_properties.values().value(QStringLiteral("Status")).toString();
}
QString PanelAdaptor::statusTone() const
{
    return m_properties.values().value(QStringLiteral("StatusTone")).toString();
}
QString PanelAdaptor::duty() const
{
    return m_properties.values().value(QStringLiteral("Duty")).toString();
}
int PanelAdaptor::preset() const
{
    return m_properties.values().value(QStringLiteral("Preset")).toInt();
}
QString PanelAdaptor::port() const
{
    return m_properties.values().value(QStringLiteral("Port")).toString();
}
qint16 PanelAdaptor::sampleTime() const
{
    return m_properties.values().value(QStringLiteral("SampleTime")).value<qint16>();
}

void PanelAdaptor::SetDuty(int percent)
{
    replyWith(m_calls.setDuty(percent));
}
void PanelAdaptor::SelectPreset(int preset)
{
    replyWith(m_calls.selectPreset(preset));
}
void PanelAdaptor::AskDuty()
{
    replyWith(m_calls.askDuty());
}
void PanelAdaptor::AskPreset()
{
    replyWith(m_calls.askPreset());
}

void PanelAdaptor::replyWith(const std::optional<CallRefusal> &refusal)
{
    // A call from C++ rather than from the bus has nobody to answer.
    if (refusal && calledFromDBus())
        sendErrorReply(refusal->errorName, refusal->message);
}

void PanelAdaptor::announceChanges(const QVariantMap &changedValues)
{
    if (m_busName.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(kObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QLatin1String(kInterfaceName) << changedValues << QStringList();
    m_bus.send(signal);
}
