#include "settings/executableinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

bool sameFile(const QString &a, const QString &b)
{
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

QString pathOnPath(const QString &name, const QString &pathEnv, const QString &currentDir)
{
    for (const QString &entry : pathEnv.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QFileInfo candidate(QDir(QDir(currentDir).absoluteFilePath(entry)), name);
        if (candidate.isFile() && candidate.isExecutable())
            return candidate.absoluteFilePath();
    }
    return {};
}

} // namespace

ExecutableInfo ExecutableInfo::fromArgv0(const QString &argv0, const QString &pathEnv,
                                         const QString &currentDir, const QString &runningFile)
{
    QString path;
    if (argv0.contains(QLatin1Char('/'))) {
        path = QDir(currentDir).absoluteFilePath(argv0);
    } else {
        // A program started by execve() under a bare name was not looked up on
        // PATH at all: only a hit that is this very program tells its folder.
        path = pathOnPath(argv0, pathEnv, currentDir);
        if (path.isEmpty() || !sameFile(path, runningFile))
            path = runningFile.isEmpty() ? QDir(currentDir).absoluteFilePath(argv0) : runningFile;
    }
    // absolutePath() keeps symlinks as they are: a link's own name and folder count.
    const QFileInfo info(QDir::cleanPath(path));
    QString name = info.fileName();
    // Copies named PUMP.1 and PUMP.2 are two copies; only a Windows-style suffix is not part of the name.
    if (name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive) && name.size() > 4)
        name.chop(4);
    return {info.absolutePath(), name};
}

ExecutableInfo ExecutableInfo::fromArgv0(const QString &argv0)
{
    return fromArgv0(argv0, qEnvironmentVariable("PATH"), QDir::currentPath(),
                     QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath());
}
