#include "windows/chooser/portactions.h"

#include "link/systemserialport.h"
#include "windows/chooser/portchooser.h"

#include <QAction>

PortProbe::PortMaker PortSystem::systemPortMaker()
{
    return [] { return std::make_unique<SystemSerialPort>(QString()); };
}

PortActions::PortActions(QWidget &mainWindow, DeviceSession &session, Dialogs &dialogs, PortSystem ports,
                         std::chrono::milliseconds probeTimeout)
    : m_mainWindow(mainWindow), m_session(session), m_dialogs(dialogs), m_ports(std::move(ports)),
      m_probeTimeout(probeTimeout)
{
    m_chooseAction = new QAction(tr("Choose port…"), this);
    m_chooseAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(m_chooseAction, &QAction::triggered, this, [this] { showChooser(); });
}

// The chooser is a child window of the main one; it goes first here, while
// the session and the lister it uses are still there.
PortActions::~PortActions()
{
    delete m_chooser;
}

QList<QAction *> PortActions::actions() const
{
    return {m_chooseAction};
}

PortChooser &PortActions::showChooser()
{
    if (m_chooser && !m_chooser->isVisible())
        delete m_chooser.data(); // closed, its deletion still waiting: a fresh one lists afresh
    if (!m_chooser) {
        // Made afresh each time: the list is read when it opens, and nothing watches /dev while it is closed.
        m_chooser = new PortChooser({m_session, *m_ports.lister, m_dialogs, m_typedBefore, m_ports.makePort,
                                     m_ports.places, m_probeTimeout},
                                    &m_mainWindow);
        m_chooser->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_chooser->show();
    m_chooser->raise();
    m_chooser->activateWindow();
    return *m_chooser;
}
