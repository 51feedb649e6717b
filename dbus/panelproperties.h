#pragma once

#include "session/statusline.h"

#include <QObject>
#include <QVariantMap>

class DeviceSession;

// The status tone as a script reads it: "searching", "failed", "receiving" or
// "found". Before the first search the panel is as good as searching.
QString toneWord(StatusTone tone);

// What the panel shows, as the values of the bus object's properties, kept
// up to date from the session's signals. Knows no bus, so it is tested
// without one.
class PanelProperties : public QObject
{
    Q_OBJECT
public:
    explicit PanelProperties(const DeviceSession &session, QObject *parent = nullptr);

    // Every property by its name on the bus ("Identified", "Duty", ...).
    const QVariantMap &values() const { return m_values; }

signals:
    // Only the properties whose values changed, by name; never empty.
    void changed(const QVariantMap &changedValues);

private:
    // The session's signals say that something changed, the session's getters
    // what it is now: comparing them with the last values finds what moved.
    void refresh();
    QVariantMap current() const;

    const DeviceSession &m_session;
    QVariantMap m_values;
};
