#pragma once

#include "link/serialport.h"
#include "settings/executableinfo.h"
#include "settings/settingsrecord.h"
#include "settings/settingstexts.h"

#include <QString>
#include <optional>

// The settings of this copy of the program: read from its file for each
// connection, written from the settings panel.
class SessionSettings
{
public:
    explicit SessionSettings(ExecutableInfo exe);

    // Reads the file again. A file whose port number or baud rate the link
    // cannot use is not used at all: the defaults, keeping its device code.
    void load();
    // Checks every box, and the port number and baud rate as the load does,
    // then writes the file whole; nothing is written when anything fails.
    // Returns why the save was refused, or nothing when the file was written.
    std::optional<QString> save(const SettingsTexts &texts);

    const SettingsRecord &record() const { return m_record; }
    const LineSettings &line() const { return m_line; }
    const QString &path() const { return m_path; }

private:
    ExecutableInfo m_exe;
    SettingsRecord m_record;
    LineSettings m_line;
    QString m_path;
};
