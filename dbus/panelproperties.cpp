#include "dbus/panelproperties.h"

#include "session/devicesession.h"

#include <QMetaProperty>

QString toneWord(StatusTone tone)
{
    switch (tone) {
    case StatusTone::Failed:
        return QStringLiteral("failed");
    case StatusTone::Receiving:
        return QStringLiteral("receiving");
    case StatusTone::Found:
        return QStringLiteral("found");
    case StatusTone::Neutral:
    case StatusTone::Searching:
        break;
    }
    return QStringLiteral("searching");
}

PanelProperties::PanelProperties(const DeviceSession &session, QObject *parent)
    : QObject(parent), m_session(session), m_port(session.portNaming().device),
      m_portDescription(session.portNaming().identity.text())
{
    takeSessionValues();
    connect(&session, &DeviceSession::statusChanged, this, &PanelProperties::refresh);
    connect(&session, &DeviceSession::dutyChanged, this, &PanelProperties::refresh);
    connect(&session, &DeviceSession::presetHighlighted, this, &PanelProperties::refresh);
    connect(&session, &DeviceSession::stateChanged, this, &PanelProperties::refresh);
    // The port follows from the settings and the com<N> link; finding its
    // device node is not worth repeating for every line.
    connect(&session, &DeviceSession::settingsLoaded, this, &PanelProperties::refreshWithPort);
    connect(&session, &DeviceSession::portNamed, this, &PanelProperties::refreshWithPort);
}

void PanelProperties::refresh()
{
    // Nobody listens (the program is not on a bus): the values only follow.
    if (!isSignalConnected(QMetaMethod::fromSignal(&PanelProperties::changed))) {
        takeSessionValues();
        return;
    }
    const QVariantList before = propertyValues();
    takeSessionValues();
    announceMovedSince(before);
}

void PanelProperties::refreshWithPort()
{
    const QVariantList before = propertyValues();
    const PortNaming &naming = m_session.portNaming();
    m_port = naming.device;
    m_portDescription = naming.identity.text();
    takeSessionValues();
    announceMovedSince(before);
}

void PanelProperties::announceMovedSince(const QVariantList &before)
{
    const QVariantList now = propertyValues();
    QVariantMap moved;
    const QMetaObject &meta = staticMetaObject;
    for (int i = 0; i < now.size(); ++i)
        if (now[i] != before[i])
            moved.insert(QString::fromLatin1(meta.property(meta.propertyOffset() + i).name()), now[i]);
    if (!moved.isEmpty())
        emit changed(moved);
}

void PanelProperties::takeSessionValues()
{
    const StatusLine &status = m_session.status();
    m_identified = m_session.state() == DeviceSession::State::Identified;
    m_deviceCode = m_session.settings().deviceCode;
    m_status = status.text;
    m_statusTone = toneWord(status.tone);
    m_duty = m_session.dutyText();
    m_preset = m_session.highlightedPreset();
    m_sampleTime = m_session.settings().sampleTime;
}

// Each of this class's own properties, by its index from propertyOffset().
QVariantList PanelProperties::propertyValues() const
{
    QVariantList values;
    const QMetaObject &meta = staticMetaObject;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
        values << meta.property(i).read(this);
    return values;
}
