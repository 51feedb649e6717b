#include "trend/safefile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool writeAll(int fd, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0)
            errno = EIO;
        if (n <= 0 && errno != EINTR)
            return false;
    }
    return true;
}

// A new name beside the target: O_EXCL, so nothing there is ever opened.
int createBeside(const QString &folder, const QString &name, QByteArray &temporary)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = QFile::encodeName(folder + QLatin1StringView("/.") + name + QLatin1Char('.') +
                                      QString::number(QRandomGenerator::global()->generate(), 36));
        const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

QString writeFileWhole(const QString &path, QByteArrayView bytes)
{
    const QByteArray given = QFile::encodeName(path);
    struct stat existing
    {
    };
    const bool exists = ::stat(given.constData(), &existing) == 0;
    if (!exists && errno != ENOENT)
        return systemReason(errno);
    if (exists && S_ISDIR(existing.st_mode))
        return QCoreApplication::translate("writeFileWhole", "it is a folder");
    if (exists && !S_ISREG(existing.st_mode))
        return QCoreApplication::translate("writeFileWhole",
                                           "it is a device, a FIFO or a socket, not a file");

    // The rename goes to where a link points, so the link itself stays.
    QString target = path;
    for (int hops = 0; QFileInfo(target).isSymLink(); ++hops) {
        if (hops == 40)
            return systemReason(ELOOP);
        target = QFileInfo(target).symLinkTarget();
    }
    const QFileInfo info(target);
    const QByteArray destination = QFile::encodeName(info.absoluteFilePath());
    QByteArray temporary;
    const int fd = createBeside(info.absolutePath(), info.fileName(), temporary);
    if (fd < 0)
        return systemReason(errno);
    // A replaced file keeps its mode; a new one gets 0666 less the umask, as any.
    bool ok =
        (!exists || ::fchmod(fd, existing.st_mode & 07777) == 0) && writeAll(fd, bytes) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.constData(), destination.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (ok)
        return {};
    ::unlink(temporary.constData());
    return systemReason(error);
}
