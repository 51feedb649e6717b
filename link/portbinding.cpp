#include "link/portbinding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
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
