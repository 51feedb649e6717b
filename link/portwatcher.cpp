#include "link/portwatcher.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

PortWatcher::PortWatcher(const PortPlaces &places, QString devFolder, std::chrono::milliseconds interval,
                         QObject *parent)
    : QObject(parent), m_folders(QStringList{std::move(devFolder)} + places.stableFolders),
      m_lockFolders(places.lockFolders), m_watcher(new QFileSystemWatcher(this)), m_quiet(new QTimer(this))
{
    // The first change starts the interval; the rest of a burst falls inside it.
    m_quiet->setSingleShot(true);
    m_quiet->setInterval(interval);
    connect(m_quiet, &QTimer::timeout, this, &PortWatcher::portsChanged);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &PortWatcher::directoryChanged);
    watchFolders();
}

void PortWatcher::watchLockFolders()
{
    for (const QString &folder : std::as_const(m_lockFolders))
        if (!m_folders.contains(folder))
            m_folders << folder;
    watchFolders();
}

void PortWatcher::directoryChanged()
{
    // by-id comes with the first USB serial device and goes with the last.
    watchFolders();
    if (!m_quiet->isActive())
        m_quiet->start();
}

void PortWatcher::watchFolders()
{
    QStringList wanted;
    for (const QString &folder : std::as_const(m_folders)) {
        QString path = QDir::cleanPath(QDir(folder).absolutePath());
        while (!QFileInfo(path).isDir() && path != QLatin1String("/"))
            path = QFileInfo(path).absolutePath();
        // /var/lock is usually a link to /run/lock: one folder, watched once.
        if (const QString canonical = QFileInfo(path).canonicalFilePath(); !canonical.isEmpty())
            path = canonical;
        if (!wanted.contains(path))
            wanted << path;
    }
    const QStringList watched = m_watcher->directories();
    for (const QString &path : watched)
        if (!wanted.contains(path))
            m_watcher->removePath(path);
    for (const QString &path : std::as_const(wanted))
        if (!watched.contains(path))
            m_watcher->addPath(path);
}
