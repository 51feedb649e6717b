#pragma once

#include "link/portbinding.h"
#include "link/portlisting.h"
#include "session/portprobe.h"

#include <QDialog>
#include <chrono>

class DeviceSession;
class Dialogs;
class PortList;
class QLabel;
class QLineEdit;
class QPushButton;

// "Port for <name>": the serial ports present, each with what is known of it
// and whether it can be had, and a device path box. Choosing binds this
// panel's com<N> to the path (a port's stable name when it has one) and starts
// the search from the start; the settings keep their number. A typed path is
// checked first, and a port someone else holds is only bound once the user
// says so. "Find the device" asks every free port for the device code at
// once. The list follows ports and lock files coming and going on its own.
class PortChooser : public QDialog
{
    Q_OBJECT
public:
    // What the chooser works with; typedBefore outlives it: the paths typed
    // and bound in this run, listed again each time it opens.
    struct Parts
    {
        DeviceSession &session;
        const PortLister &lister;
        Dialogs &dialogs;
        QStringList &typedBefore;
        PortProbe::PortMaker makePort;
        PortPlaces places;
        // How long a free port may stay silent before it is taken as not the
        // device (the session's response time-out).
        std::chrono::milliseconds probeTimeout;
    };
    explicit PortChooser(Parts parts, QWidget *parent = nullptr);
    ~PortChooser() override;

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

protected:
    // Return chooses wherever the focus is, Esc cancels.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void rowSelected();
    void pathEdited();
    void probeAnswered(const QString &device, const QString &answer);
    void probeFinished(const QStringList &answering);
    void bind(const BindCheck &check, bool typed);
    void sayNotBound(const QString &why);
    void showFindStatus(const QString &text);
    void fitToContents();

    Parts m_parts;
    PortProbe *m_probe;
    int m_asked = 0;
    int m_foundCount = 0;
    int m_otherCount = 0;
    bool m_pathFromRow = false; // the box holds a row's target rather than a path typed

    PortList *m_ports;
    QLabel *m_findStatus;
    QPushButton *m_findButton;
    QLineEdit *m_path;
    QLabel *m_pathNote;
    QLabel *m_refusal;
    QPushButton *m_okButton;
};
