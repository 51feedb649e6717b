#pragma once

#include "settings/executableinfo.h"
#include "settings/settingsfile.h"

#include <QString>

// Where a copy keeps its settings file: <name>.ini beside the executable, or
// in the user's configuration folder when the executable's folder is not the
// user's (see SettingsFile::choosePath).
QString settingsLocation(const ExecutableInfo &exe);

// Where this copy looks up and writes its com<N> port links: the folder of
// its settings file.
QString portFolderFor(const ExecutableInfo &exe);

// What the file at path holds; a missing or unreadable file gives an empty result.
SettingsFile::ParseResult readSettingsFile(const QString &path);

// Writes the record, whole or not at all where the folder allows a temporary
// file, in place otherwise. Returns why it could not, or empty.
QString writeSettingsFile(const QString &path, const SettingsRecord &record);
