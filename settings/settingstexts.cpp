#include "settings/settingstexts.h"

#include "settings/settingsfile.h"
#include "settings/wholenumber.h"

#include <utility>

namespace {

QString notAWholeNumber(const QString &box, const QString &text)
{
    return QStringLiteral("The %1 box holds \"%2\", which is not a whole number from -32768 to 32767.")
        .arg(box, text);
}

} // namespace

SettingsEdit recordFromTexts(const SettingsTexts &texts, const SettingsRecord &current, const QLocale &locale)
{
    const std::optional<qint16> port = toWholeNumber(texts.portNumber, locale);
    if (!port)
        return {std::nullopt, notAWholeNumber(QStringLiteral("COM"), texts.portNumber)};
    const std::optional<qint16> sampleTime = toWholeNumber(texts.sampleTime, locale);
    if (!sampleTime)
        return {std::nullopt, notAWholeNumber(QStringLiteral("STime"), texts.sampleTime)};

    SettingsRecord next = current;
    next.portNumber = *port;
    next.baudRate = texts.baudRate;
    next.password = texts.password;
    next.sampleTime = *sampleTime;
    next.deviceCode = texts.deviceCode;
    next.labels[0] = texts.label1;
    for (size_t i = 1; i < next.labels.size(); ++i)
        next.labels[i] = SettingsFile::storableForm(next.labels[i]);

    const std::pair<QString, QString> typed[] = {
        {QStringLiteral("Baud"), next.baudRate},
        {QStringLiteral("DevPas"), next.password},
        {QStringLiteral("ucApp"), next.deviceCode},
        {QStringLiteral("MyLabel1"), next.labels[0]},
    };
    for (const auto &[box, text] : typed) {
        const QString reason = SettingsFile::unstorableReason(text);
        if (!reason.isEmpty())
            return {std::nullopt,
                    QStringLiteral("The %1 box %2, which the settings file cannot hold.").arg(box, reason)};
    }
    return {next, {}};
}
