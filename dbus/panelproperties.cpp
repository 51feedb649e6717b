#include "dbus/panelproperties.h"

#include "session/devicesession.h"

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
    : QObject(parent), m_session(session), m_values(current())
{
    // The port and the sample time come with new settings or a new connection
    // cycle, which always shows a new status.
    connect(&session, &DeviceSession::statusChanged, this, &PanelProperties::refresh);
    connect(&session, &DeviceSession::dutyChanged, this, &PanelProperties::refresh);
    connect(&session, &DeviceSession::presetHighlighted, this, &PanelProperties::refresh);
    connect(&session, &DeviceSession::stateChanged, this, &PanelProperties::refresh);
    connect(&session, &DeviceSession::settingsLoaded, this, &PanelProperties::refresh);
}

void PanelProperties::refresh()
{
    QVariantMap moved;
    const QVariantMap now = current();
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (m_values.value(it.key()) != it.value())
            moved.insert(it.key(), it.value());
    if (moved.isEmpty())
        return;
    m_values = now;
    emit changed(moved);
}

QVariantMap PanelProperties::current() const
{
    const StatusLine &status = m_session.status();
    return {
        {QStringLiteral("Identified"), m_session.state() == DeviceSession::State::Identified},
        {QStringLiteral("DeviceCode"), m_session.settings().deviceCode},
        {QStringLiteral("Status"), status.text},
        {QStringLiteral("StatusTone"), toneWord(status.tone)},
        {QStringLiteral("Duty"), m_session.dutyText()},
        {QStringLiteral("Preset"), m_session.highlightedPreset()},
        {QStringLiteral("Port"), m_session.portDevice()},
        // qint16 stays a short, so the bus sees the "n" of the interface.
        {QStringLiteral("SampleTime"), QVariant::fromValue<qint16>(m_session.settings().sampleTime)},
    };
}
