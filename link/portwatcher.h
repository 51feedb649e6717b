#pragma once

#include "link/portlisting.h"

#include <QObject>
#include <chrono>

class QFileSystemWatcher;
class QTimer;

// Says when a port may have appeared or gone: watches /dev and the stable-name
// folders (and their parent, until they exist), and says so at most once per
// interval however many changes arrive.
class PortWatcher : public QObject
{
    Q_OBJECT
public:
    explicit PortWatcher(const PortPlaces &places, QString devFolder = QStringLiteral("/dev"),
                         std::chrono::milliseconds interval = std::chrono::seconds(1),
                         QObject *parent = nullptr);

    // Also says when a lock file comes or goes, so a port taken or let go by
    // another program is seen at once.
    void watchLockFolders();

signals:
    void portsChanged();

private:
    void directoryChanged();
    // Watches what exists of the folders, and the nearest parent of each missing one.
    void watchFolders();

    QStringList m_folders; // the dev folder, then the stable folders (and the lock folders)
    QStringList m_lockFolders;
    QFileSystemWatcher *m_watcher;
    QTimer *m_quiet;
};
