#include "dbus/panelbusobject.h"

#include "dbus/adaptorcheck.h"
#include "dbus/busname.h"
#include "link/escapedtext.h"
#include "link/wirelog.h"
#include "session/devicesession.h"
#include "trend/recorder.h"

#include <QDBusMessage>
#include <QDir>

#include "pwmpanel1adaptor.h" // generated from the XML into the build folder

PanelBusObject::PanelBusObject(DeviceSession &session, Recorder &recorder, QObject *parent)
    : PanelProperties(session, parent), m_session(session), m_recorder(recorder), m_calls(session)
{
    // A property or signal the adaptor reads by a name this object lacks
    // would compile and then show an empty value or nothing on the bus.
    const QStringList mismatches = adaptorMismatches(PwmPanel1Adaptor::staticMetaObject, staticMetaObject);
    if (!mismatches.isEmpty())
        qFatal("PanelBusObject does not match dev.kestravon.PwmPanel1.xml: %s",
               qPrintable(mismatches.join(QLatin1String("; "))));
    new PwmPanel1Adaptor(this); // exported with this object (ExportAdaptors)
}

// Only once someone can hear them: off the bus, a busy line would pay for
// every signal and every moved property for nothing.
void PanelBusObject::announceOnTheBus()
{
    connect(this, &PanelProperties::changed, this, &PanelBusObject::announceChanges);
    // The text the recording's text column has: a NUL or a stray byte reads
    // back exactly rather than cutting the string or turning into mojibake.
    connect(&m_session, &DeviceSession::lineReceived, this,
            [this](const WireLine &line) { emit LineReceived(escapedText(line.bytes)); });
    connect(&m_session, &DeviceSession::commandWritten, this,
            [this](const WireLine &command) { emit CommandSent(escapedText(command.bytes)); });
    const auto recordingMoved = [this] { announceChanges({{QStringLiteral("Recording"), recording()}}); };
    connect(&m_recorder, &Recorder::started, this, recordingMoved);
    connect(&m_recorder, &Recorder::stopped, this, recordingMoved);
}

QString PanelBusObject::recording() const
{
    return m_recorder.isRecording() ? m_recorder.fileName() : QString();
}

void PanelBusObject::StartRecording(const QString &path)
{
    QString why;
    if (QDir::isRelativePath(path))
        why = QStringLiteral("the path must be absolute: the panel's working folder is not the script's");
    else if (m_recorder.isRecording())
        why = QStringLiteral("already recording to ") + m_recorder.fileName();
    if (why.isEmpty()) {
        const QMetaObject::Connection said =
            connect(&m_recorder, &Recorder::failed, this,
                    [&why](const QString &, const QString &reason) { why = reason; });
        const bool started = m_recorder.start(path);
        disconnect(said);
        if (started)
            return;
    }
    if (calledFromDBus())
        sendErrorReply(QStringLiteral("dev.kestravon.PwmPanel1.Error.RecordingRefused"),
                       QStringLiteral("Not recording to %1: %2").arg(path, why));
}

void PanelBusObject::StopRecording()
{
    m_recorder.stop();
}

PanelBusObject::~PanelBusObject()
{
    if (m_busName.isEmpty())
        return;
    m_bus.unregisterService(m_busName);
    m_bus.unregisterObject(QLatin1String(kObjectPath));
}

bool PanelBusObject::registerOnSessionBus()
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

bool PanelBusObject::registerOn(QDBusConnection bus)
{
    const QString name = busNameFor(m_session.executable().baseName);
    const QString path = QLatin1String(kObjectPath);
    if (!bus.isConnected()) {
        qCInfo(lcLink).noquote() << wireTime()
                                 << "no D-Bus interface: no session bus:" << bus.lastError().message();
        return false;
    }
    if (!bus.registerObject(path, this, QDBusConnection::ExportAdaptors)) {
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
    announceOnTheBus();
    qCInfo(lcLink).noquote() << wireTime() << "on the session bus as" << name;
    return true;
}

void PanelBusObject::SetDuty(int percent)
{
    answer([&](ScriptCalls::Written written) { return m_calls.setDuty(percent, std::move(written)); });
}
void PanelBusObject::SelectPreset(int preset)
{
    answer([&](ScriptCalls::Written written) { return m_calls.selectPreset(preset, std::move(written)); });
}
void PanelBusObject::AskDuty()
{
    answer([&](ScriptCalls::Written written) { return m_calls.askDuty(std::move(written)); });
}
void PanelBusObject::AskPreset()
{
    answer([&](ScriptCalls::Written written) { return m_calls.askPreset(std::move(written)); });
}

void PanelBusObject::answer(const std::function<std::optional<CallRefusal>(ScriptCalls::Written)> &call)
{
    // A call from C++ rather than from the bus has nobody to answer.
    if (!calledFromDBus()) {
        call({});
        return;
    }
    // A script told "done" must be able to trust that the device was written
    // to: the reply waits for the write, 50 ms for each command queued before it.
    setDelayedReply(true);
    const auto reply = [bus = connection(), asked = message()](const std::optional<CallRefusal> &failure) {
        bus.send(failure ? asked.createErrorReply(failure->errorName, failure->message)
                         : asked.createReply());
    };
    if (const std::optional<CallRefusal> refusal = call(reply))
        reply(refusal);
}

void PanelBusObject::announceChanges(const QVariantMap &changedValues)
{
    if (m_busName.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(kObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QLatin1String(kInterfaceName) << changedValues << QStringList();
    m_bus.send(signal);
}
