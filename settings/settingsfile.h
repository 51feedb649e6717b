#pragma once

#include "settings/settingsrecord.h"

#include <QByteArray>
#include <QString>
#include <optional>

// The two-line comma-separated settings file, as pure functions.
namespace SettingsFile {

struct ParseResult
{
    // Set when the first five fields were read; the device code from the file
    // is kept even when the rest of the file fails.
    std::optional<QString> deviceCode;
    // Set only when all nine fields were read without fault.
    std::optional<SettingsRecord> record;
};

// Decodes as UTF-8, or as Latin-1 when the bytes are not valid UTF-8.
QString decode(const QByteArray &bytes);

ParseResult parse(const QByteArray &bytes);

// Line 1: port,"baud","password",sample time,"device code" CR LF; line 2: four quoted
// labels CR LF. UTF-8.
QByteArray format(const SettingsRecord &record);

// Texts the format cannot hold (a double quote, a line break). Returns the reason or empty.
QString unstorableReason(const QString &text);
// The nearest text the format can hold: a double quote becomes an apostrophe,
// a line break a space.
QString storableForm(QString text);

// <dir>/<baseName>.ini
QString pathFor(const QString &exeDir, const QString &baseName);
// Where a copy keeps its settings: beside the executable when a file is there
// or the folder could take one; otherwise <configDir>/<baseName>.ini. A copy
// installed under /usr always uses configDir: the folder is the system's even
// when root could write it.
QString choosePath(const QString &exeDir, const QString &baseName, const QString &configDir,
                   bool besideExists, bool exeDirWritable);

} // namespace SettingsFile
