#pragma once

#include "session/statusline.h"

#include <QObject>
#include <QVariantMap>

class DeviceSession;

// The status tone as a script reads it: "searching", "failed", "receiving" or
// "found". Before the first search the panel is as good as searching.
QString toneWord(StatusTone tone);

// What the panel shows, as the bus object's properties, kept up to date from
// the session's signals. The properties carry the interface's own names: the
// generated adaptor reads them by name (see adaptorcheck.h). Knows no bus, so
// it is tested without one.
class PanelProperties : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Identified READ identified)
    Q_PROPERTY(QString DeviceCode READ deviceCode)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QString StatusTone READ statusTone)
    Q_PROPERTY(QString Duty READ duty)
    Q_PROPERTY(int Preset READ preset)
    Q_PROPERTY(QString Port READ port)
    Q_PROPERTY(QString PortDescription READ portDescription)
    // qint16 stays a short, so the bus sees the "n" of the interface.
    Q_PROPERTY(qint16 SampleTime READ sampleTime)
public:
    explicit PanelProperties(const DeviceSession &session, QObject *parent = nullptr);

    bool identified() const { return m_identified; }
    QString deviceCode() const { return m_deviceCode; }
    QString status() const { return m_status; }
    QString statusTone() const { return m_statusTone; }
    QString duty() const { return m_duty; }
    int preset() const { return m_preset; }
    QString port() const { return m_port; }
    QString portDescription() const { return m_portDescription; }
    qint16 sampleTime() const { return m_sampleTime; }

signals:
    // Only the properties whose values changed, by name; never empty.
    void changed(const QVariantMap &changedValues);

private:
    // The session's signals say that something changed, its getters what it
    // is now: comparing the properties before and after finds what moved.
    void refresh();
    void refreshWithPort();
    void takeSessionValues(); // all but the port
    void announceMovedSince(const QVariantList &before);
    QVariantList propertyValues() const;

    const DeviceSession &m_session;
    bool m_identified = false;
    QString m_deviceCode;
    QString m_status;
    QString m_statusTone;
    QString m_duty;
    int m_preset = 0;
    QString m_port;
    QString m_portDescription;
    qint16 m_sampleTime = 0;
};
