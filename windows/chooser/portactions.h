#pragma once

#include "link/portlisting.h"
#include "session/portprobe.h"

#include <QObject>
#include <QPointer>
#include <chrono>
#include <memory>

class DeviceSession;
class Dialogs;
class PortChooser;
class QAction;
class QWidget;

// What the port chooser reads of the machine and how it reaches other ports:
// by default the system's; tests and the screenshot tool pass fakes.
struct PortSystem
{
    std::shared_ptr<const PortLister> lister = std::make_shared<SystemPortLister>();
    // A port for each device the search asks; it is opened by path, so its port folder is unused.
    PortProbe::PortMaker makePort = systemPortMaker();
    PortPlaces places; // the folders the list is watched through

    static PortProbe::PortMaker systemPortMaker();
};

// Ctrl+P opens or raises the port chooser, a child window of the main one.
class PortActions : public QObject
{
    Q_OBJECT
public:
    // probeTimeout: how long "Find the device" waits for each port (the
    // session's response time-out); dialogs ask before a port in use is chosen.
    PortActions(QWidget &mainWindow, DeviceSession &session, Dialogs &dialogs, PortSystem ports,
                std::chrono::milliseconds probeTimeout);
    ~PortActions() override;

    QList<QAction *> actions() const;

    PortChooser &showChooser();

private:
    QWidget &m_mainWindow;
    DeviceSession &m_session;
    Dialogs &m_dialogs;
    PortSystem m_ports;
    QStringList m_typedBefore; // paths typed and bound in this run, newest first
    std::chrono::milliseconds m_probeTimeout;
    QAction *m_chooseAction;
    QPointer<PortChooser> m_chooser;
};
