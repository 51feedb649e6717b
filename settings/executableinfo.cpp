#include "settings/executableinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

ExecutableInfo ExecutableInfo::fromArgv0(const QString &argv0, const QString &pathEnv,
                                         const QString &currentDir)
{
    QString path;
    if (argv0.contains(QLatin1Char('/'))) {
        path = QDir(currentDir).absoluteFilePath(argv0);
    } else {
        // Started through PATH: the first directory that has it, as the shell found it.
        for (const QString &entry : pathEnv.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
            const QFileInfo candidate(QDir(QDir(currentDir).absoluteFilePath(entry)), argv0);
            if (candidate.isFile() && candidate.isExecutable()) {
                path = candidate.absoluteFilePath();
                break;
            }
        }
        if (path.isEmpty())
            path = QDir(currentDir).absoluteFilePath(argv0);
    }
    // absolutePath() keeps symlinks as they are: a link's own name and folder count.
    const QFileInfo info(QDir::cleanPath(path));
    return {info.absolutePath(), info.completeBaseName()};
}

ExecutableInfo ExecutableInfo::fromArgv0(const QString &argv0)
{
    return fromArgv0(argv0, qEnvironmentVariable("PATH"), QDir::currentPath());
}
