#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString settingsLocation(const ExecutableInfo &exe)
{
    const QString beside = SettingsFile::pathFor(exe.dir, exe.baseName);
    const QFileInfo folder(exe.dir.isEmpty() ? QStringLiteral(".") : exe.dir);
    return SettingsFile::choosePath(exe.dir, exe.baseName,
                                    QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                                    QFileInfo::exists(beside), folder.isDir() && folder.isWritable());
}

QString portFolderFor(const ExecutableInfo &exe)
{
    return QFileInfo(settingsLocation(exe)).absolutePath();
}

QStringList portLookupFoldersFor(const ExecutableInfo &exe)
{
    QStringList folders{QDir::cleanPath(portFolderFor(exe))};
    if (const QString own = QDir::cleanPath(QDir(exe.dir).absolutePath()); !folders.contains(own))
        folders << own;
    return folders;
}

SettingsFile::ParseResult readSettingsFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return SettingsFile::parse(file.readAll());
}

QString writeSettingsFile(const QString &path, const SettingsRecord &record)
{
    // Under the user's configuration folder the folder may not exist yet.
    QDir().mkpath(QFileInfo(path).absolutePath());
    // A save that fails half-way must leave the previous file as it was. Where
    // the folder takes no temporary file (a shared bench folder with a file
    // prepared for the user), the file is written in place instead.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(SettingsFile::format(record)) < 0 || !file.commit())
        return file.errorString();
    return {};
}
