#pragma once

#include "link/portlisting.h"
#include "session/portprobe.h"

#include <QDialog>
#include <QHash>
#include <chrono>

class DeviceSession;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// "Port for <name>": the serial ports present, each with what is known of it
// and whether it can be had, and a device path box. Choosing binds this
// panel's com<N> to the path (a port's stable name when it has one) and starts
// the search from the start; the settings keep their number. "Find the
// device" asks every free port for the device code at once. The list follows
// ports coming and going on its own.
class PortChooser : public QDialog
{
    Q_OBJECT
public:
    // probeTimeout: how long a free port may stay silent before it is taken as
    // not the device (the session's response time-out).
    PortChooser(DeviceSession &session, const PortLister &lister, PortProbe::PortMaker makePort,
                const PortPlaces &places, std::chrono::milliseconds probeTimeout, QWidget *parent = nullptr);
    ~PortChooser() override;

    // The state of a port in the list's words.
    static QString stateText(const PortRow &row);

    // Lists the ports again, keeping the selected one selected.
    void refresh();
    // Asks the free ports who they are.
    void findDevice();
    // Binds com<N> to the path in the box; closes on success, says why not otherwise.
    void accept() override;
    void done(int result) override;

signals:
    // A find has ended and its outcome is shown.
    void findFinished();

private:
    void fillRow(QTreeWidgetItem *item, const PortRow &row) const;
    QTreeWidgetItem *itemFor(const QString &device) const;
    QString selectedDevice() const;
    void select(const QString &device);
    void rowSelected();
    void probeFinished(const QStringList &answering);
    void fitToContents();

    DeviceSession &m_session;
    const PortLister &m_lister;
    PortProbe *m_probe;
    std::chrono::milliseconds m_probeTimeout;
    QList<PortRow> m_rows;
    QHash<QString, QString> m_answered; // device: the code it answered with
    int m_asked = 0;

    QTreeWidget *m_ports;
    QLabel *m_findStatus;
    QPushButton *m_findButton;
    QLineEdit *m_path;
    QLabel *m_refusal;
    QPushButton *m_okButton;
};
