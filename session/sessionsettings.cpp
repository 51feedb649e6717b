#include "session/sessionsettings.h"

#include "link/linesettings.h"
#include "settings/settingsstore.h"

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

SessionSettings::SessionSettings(ExecutableInfo exe) : m_exe(std::move(exe))
{
    // Until a settings file names another, the device answers with this code.
    m_record.deviceCode = QStringLiteral("DUTY01");
}

void SessionSettings::load()
{
    m_path = settingsLocation(m_exe);
    const SettingsFile::ParseResult read = readSettingsFile(m_path);
    if (read.deviceCode)
        m_record.deviceCode = *read.deviceCode; // kept even when the rest of the file fails
    std::optional<LineSettings> line;
    if (read.record)
        line = lineSettingsFor(read.record->portNumber, read.record->baudRate);
    if (line) {
        m_record = *read.record;
    } else {
        // A file the port cannot use is not used at all.
        m_record.resetKeepingDeviceCode();
        line = lineSettingsFor(m_record.portNumber, m_record.baudRate);
    }
    m_line = *line;
}

std::optional<QString> SessionSettings::save(const SettingsTexts &texts)
{
    // Everything that can fail is checked before the file is touched.
    const SettingsEdit edit = recordFromTexts(texts, m_record);
    QString refusal = edit.record ? unusableLine(*edit.record) : edit.refusal;
    if (refusal.isEmpty()) {
        if (const QString error = writeSettingsFile(m_path, *edit.record); !error.isEmpty())
            refusal = QStringLiteral("The settings file %1 could not be written: %2").arg(m_path, error);
    }
    if (!refusal.isEmpty())
        return refusal;
    m_record = *edit.record;
    return std::nullopt;
}
