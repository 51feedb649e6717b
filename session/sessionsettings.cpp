// Loading the settings for each connection cycle, and saving the settings panel.
#include "session/devicesession.h"

#include "link/linesettings.h"
#include "session/sessionprompts.h"
#include "settings/settingsstore.h"

void DeviceSession::loadSettings()
{
    m_settingsPath = settingsLocation(m_exe);
    const SettingsFile::ParseResult read = readSettingsFile(m_settingsPath);
    if (read.deviceCode)
        m_settings.deviceCode = *read.deviceCode; // kept even when the rest of the file fails
    std::optional<LineSettings> line;
    if (read.record)
        line = lineSettingsFor(read.record->portNumber, read.record->baudRate);
    if (line) {
        m_settings = *read.record;
    } else {
        // A file the port cannot use is not used at all.
        m_settings.resetKeepingDeviceCode();
        line = lineSettingsFor(m_settings.portNumber, m_settings.baudRate);
    }
    m_line = *line;
    emit settingsLoaded(m_settings);
}

void DeviceSession::pauseSampling()
{
    m_sampleTimer.setEnabled(false);
}

bool DeviceSession::saveSettings(const SettingsTexts &texts)
{
    // Everything that can fail is checked before the port or the file is touched.
    const SettingsEdit edit = recordFromTexts(texts, m_settings);
    if (!edit.record) {
        m_prompts.explainRefusedSave(edit.refusal);
        return false;
    }
    if (const QString error = writeSettingsFile(m_settingsPath, *edit.record); !error.isEmpty()) {
        m_prompts.explainRefusedSave(
            QStringLiteral("The settings file %1 could not be written: %2").arg(m_settingsPath, error));
        return false;
    }
    m_port.close();
    m_settings = *edit.record;
    startConnectionCycle();
    return true;
}
