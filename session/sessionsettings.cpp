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
    m_sampleTimer.stop();
}

namespace {
// Why the port could not use what the boxes hold: the load would fall back
// to the defaults and the next save would write them over the file.
QString unusableLine(const SettingsRecord &record)
{
    if (lineSettingsFor(record.portNumber, record.baudRate))
        return {};
    if (!isValidPortNumber(record.portNumber))
        return QStringLiteral("The COM box holds \"%1\", which is not a port number from 1 to 255.")
            .arg(record.portNumber);
    return QStringLiteral("The Baud box holds \"%1\", which is not a baud rate (digits only, above 0).")
        .arg(record.baudRate);
}
} // namespace

bool DeviceSession::saveSettings(const SettingsTexts &texts)
{
    // Everything that can fail is checked before the port or the file is touched.
    const SettingsEdit edit = recordFromTexts(texts, m_settings);
    QString refusal = edit.record ? unusableLine(*edit.record) : edit.refusal;
    if (refusal.isEmpty()) {
        if (const QString error = writeSettingsFile(m_settingsPath, *edit.record); !error.isEmpty())
            refusal =
                QStringLiteral("The settings file %1 could not be written: %2").arg(m_settingsPath, error);
    }
    if (!refusal.isEmpty()) {
        m_prompts.explainRefusedSave(refusal);
        return false;
    }
    m_settings = *edit.record;
    searchAgain(); // the new settings are read back for the new connection
    return true;
}
