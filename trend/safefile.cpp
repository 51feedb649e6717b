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

QString refusalOf(const struct stat &existing)
{
    if (S_ISDIR(existing.st_mode))
        return QCoreApplication::translate("writeFileWhole", "it is a folder");
    if (!S_ISREG(existing.st_mode))
        return QCoreApplication::translate("writeFileWhole",
                                           "it is a device, a FIFO or a socket, not a file");
    return {};
}

// Where permitted: root may give the file back to its user; anyone may keep
// a group they belong to. Otherwise the new file is the writer's, as any.
bool keepOwner(int fd, const struct stat &existing)
{
    return ::fchown(fd, existing.st_uid, existing.st_gid) == 0 ||
           ::fchown(fd, uid_t(-1), existing.st_gid) == 0;
}

} // namespace

QString unwritableTargetReason(const QString &path)
{
    struct stat existing
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &existing) != 0)
        return errno == ENOENT ? QString() : systemReason(errno);
    return refusalOf(existing);
}

QString writeFileWhole(const QString &path, QByteArrayView bytes)
{
    WholeFile file;
    if (QString why = file.begin(path); !why.isEmpty())
        return why;
    file.append(bytes);
    return file.commit();
}

QString WholeFile::begin(const QString &path)
{
    abandon();
    const QByteArray given = QFile::encodeName(path);
    struct stat existing
    {
    };
    const bool exists = ::stat(given.constData(), &existing) == 0;
    if (!exists && errno != ENOENT)
        return systemReason(errno);
    if (exists) {
        if (const QString refused = refusalOf(existing); !refused.isEmpty())
            return refused;
    }

    // The rename goes to where a link points, so the link itself stays.
    QString target = path;
    for (int hops = 0; QFileInfo(target).isSymLink(); ++hops) {
        if (hops == 40)
            return systemReason(ELOOP);
        target = QFileInfo(target).symLinkTarget();
    }
    const QFileInfo info(target);
    m_destination = QFile::encodeName(info.absoluteFilePath());
    m_fd = createBeside(info.absolutePath(), info.fileName(), m_temporary);
    if (m_fd < 0)
        return systemReason(errno);
    // A replaced file keeps its owner (root exporting over a user's file must
    // not take it from them), then its mode: a change of owner clears set-id bits.
    // A new one gets 0666 less the umask, as any.
    [[maybe_unused]] const bool ownerKept = exists && keepOwner(m_fd, existing);
    m_error = 0;
    if (exists && ::fchmod(m_fd, existing.st_mode & 07777) != 0) {
        const int error = errno;
        abandon();
        return systemReason(error);
    }
    return {};
}

bool WholeFile::append(QByteArrayView bytes)
{
    if (m_fd < 0 || m_error != 0)
        return false;
    if (!writeAll(m_fd, bytes))
        m_error = errno;
    return m_error == 0;
}

bool WholeFile::sync()
{
    if (m_fd < 0)
        return m_error == 0 && !m_temporary.isEmpty();
    if (m_error == 0 && ::fsync(m_fd) != 0)
        m_error = errno;
    if (::close(m_fd) != 0 && m_error == 0)
        m_error = errno;
    m_fd = -1;
    return m_error == 0;
}

QString WholeFile::commit()
{
    if (m_temporary.isEmpty())
        return systemReason(EBADF);
    sync();
    int error = m_error;
    if (error == 0 && ::rename(m_temporary.constData(), m_destination.constData()) != 0)
        error = errno;
    if (error == 0) {
        m_temporary.clear();
        return {};
    }
    ::unlink(m_temporary.constData());
    m_temporary.clear();
    return systemReason(error);
}

void WholeFile::abandon()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
    m_temporary.clear();
}

OpenedFile openRegularFileForWriting(const QString &path)
{
    if (const QString refused = unwritableTargetReason(path); !refused.isEmpty())
        return {-1, refused};
    // Not emptied by the open: only once it is known to be a regular file.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return {-1, systemReason(errno)};
    struct stat opened
    {
    };
    QString reason;
    if (::fstat(fd, &opened) != 0)
        reason = systemReason(errno);
    else
        reason = refusalOf(opened);
    if (reason.isEmpty() && (::ftruncate(fd, 0) != 0 || ::fcntl(fd, F_SETFL, 0) != 0))
        reason = systemReason(errno);
    if (reason.isEmpty())
        return {fd, {}};
    ::close(fd);
    return {-1, reason};
}
