#pragma once

#include <QString>
#include <array>

// The persisted settings. Field names follow the settings file's vocabulary.
struct SettingsRecord
{
    qint16 CommPort = 1;
    QString Baud = QStringLiteral("9600");
    QString DevPass = QStringLiteral("-");
    qint16 STime = 0;
    QString ucApp; // no default here: the window sets "DUTY01" once at start
    // Index 0 is never used; 1 to 4 are the user labels.
    std::array<QString, 5> MyLabels{QString(), QStringLiteral("PWM(%):"), QStringLiteral("Label2"),
                                    QStringLiteral("nc"), QStringLiteral("nc")};

    // Every field but ucApp back to its default.
    void resetKeepingUcApp()
    {
        SettingsRecord defaults;
        defaults.ucApp = ucApp;
        *this = defaults;
    }

    friend bool operator==(const SettingsRecord &, const SettingsRecord &) = default;
};
