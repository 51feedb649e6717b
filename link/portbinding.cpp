#include "link/portbinding.h"

#include "link/portlisting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

QString systemWords(const QString &path, int error)
{
    return QStringLiteral("%1: %2").arg(path, qt_error_string(error));
}

} // namespace

BindOutcome bindPortNumber(const QString &folder, int number, const QString &target)
{
    if (!QDir().mkpath(folder))
        return {false, QStringLiteral("%1: the folder could not be made").arg(folder)};
    const QDir dir(folder);
    const QString link = dir.filePath(QStringLiteral("com%1").arg(number));
    const QFileInfo existing(link);
    if (existing.exists() && !existing.isSymLink())
        return {false,
                QStringLiteral("%1 is a file of its own, not a link; it was left as it is.").arg(link)};

    // A new link beside it, then renamed over it: a search that opens the port
    // meanwhile finds the old link or the new one, never none.
    const QByteArray targetBytes = QFile::encodeName(target);
    QByteArray temporary;
    for (int attempt = 0;; ++attempt) {
        temporary = QFile::encodeName(
            dir.filePath(QStringLiteral(".com%1.%2")
                             .arg(number)
                             .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))));
        if (::symlink(targetBytes.constData(), temporary.constData()) == 0)
            break;
        if (errno != EEXIST || attempt == 10)
            return {false, systemWords(QFile::decodeName(temporary), errno)};
    }
    if (::rename(temporary.constData(), QFile::encodeName(link).constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return {false, systemWords(link, error)};
    }
    return {true, {}};
}

namespace {

// One line of /proc/tty/drivers: "usbserial /dev/ttyUSB 188 0-511 serial".
bool driverTakes(const QList<QByteArray> &fields, unsigned major, unsigned minor)
{
    if (fields.size() < 5 || fields[2].toUInt() != major)
        return false;
    const QList<QByteArray> range = fields[3].split('-');
    const unsigned first = range.first().toUInt();
    const unsigned last = range.last().toUInt();
    return minor >= first && minor <= last;
}

} // namespace

bool isSerialOrPseudoTerminal(const QString &device)
{
    struct stat node
    {
    };
    if (::stat(QFile::encodeName(device).constData(), &node) != 0 || !S_ISCHR(node.st_mode))
        return false;
    QFile drivers(QStringLiteral("/proc/tty/drivers"));
    if (!drivers.open(QIODevice::ReadOnly))
        return true; // the system does not say: a character device is given the benefit of the doubt
    for (const QByteArray &line : drivers.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (driverTakes(fields, major(node.st_rdev), minor(node.st_rdev)))
            return fields[4] == "serial" || fields[4] == "pty:slave";
    }
    return false;
}

BindCheck checkBindTarget(const QString &typed, const QStringList &stableFolders, const TtyCheck &isTty)
{
    BindCheck check;
    const QFileInfo info(typed);
    if (!info.isAbsolute()) {
        check.refusal =
            QCoreApplication::translate("PortBinding", "%1 is not a whole path: type it from / on, "
                                                       "for example /dev/ttyUSB0.")
                .arg(typed);
        return check;
    }
    check.device = info.canonicalFilePath();
    if (check.device.isEmpty()) {
        check.refusal =
            info.isSymLink()
                ? QCoreApplication::translate("PortBinding", "%1 is a link to %2, which does not exist.")
                      .arg(typed, info.symLinkTarget())
                : QCoreApplication::translate("PortBinding", "%1 does not exist.").arg(typed);
        return check;
    }
    const QFileInfo device(check.device);
    if (device.isDir())
        check.refusal =
            QCoreApplication::translate("PortBinding", "%1 is a folder, not a serial port.").arg(typed);
    else if (!isTty(check.device))
        check.refusal =
            QCoreApplication::translate("PortBinding", "%1 is neither a serial port nor a pseudo-terminal.")
                .arg(typed);
    if (!check.refusal.isEmpty())
        return check;

    check.target = typed;
    if (!info.isSymLink()) {
        QStringList byId;
        for (const QString &folder : stableFolders)
            if (QDir(folder).dirName() == QLatin1String("by-id"))
                byId << folder;
        if (const QString name = stableNameOf(check.device, byId); !name.isEmpty()) {
            check.target = name;
            check.byId = true;
        }
    }
    return check;
}
