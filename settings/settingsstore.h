#pragma once

#include "settings/executableinfo.h"
#include "settings/settingsfile.h"

#include <QString>
#include <QStringList>

// Where a copy keeps its settings file: <name>.ini beside the executable, or
// in the user's configuration folder when the executable's folder is not the
// user's (see SettingsFile::choosePath).
QString settingsLocation(const ExecutableInfo &exe);

// Where this copy writes its com<N> port links: the folder of its settings file.
QString portFolderFor(const ExecutableInfo &exe);
// Where it looks them up, in order: that folder, then the executable's own
// (a shared program folder may hold the links while the file lives elsewhere).
QStringList portLookupFoldersFor(const ExecutableInfo &exe);

// What the file at path holds; a missing or unreadable file gives an empty result.
SettingsFile::ParseResult readSettingsFile(const QString &path);

// Writes the record, whole or not at all where the folder allows a temporary
// file, in place otherwise. Returns why it could not, or empty.
QString writeSettingsFile(const QString &path, const SettingsRecord &record);
