#pragma once

#include <QString>
#include <array>

// What a copy of the program keeps in its settings file.
struct SettingsRecord
{
    qint16 portNumber = 1;
    QString baudRate = QStringLiteral("9600"); // as written; the link decides whether it is a rate
    QString password = QStringLiteral("-");    // kept for the device; never sent
    qint16 sampleTime = 0;                     // seconds between polls; 0 or less: no polling
    QString deviceCode;                        // the device's answer to "I?"; set once at start
    // Label 1 captions the duty figure; 2 to 4 are kept for the file's sake.
    std::array<QString, 4> labels{QStringLiteral("PWM(%):"), QStringLiteral("Label2"), QStringLiteral("nc"),
                                  QStringLiteral("nc")};

    // A file that cannot be used still names the device it was written for.
    void resetKeepingDeviceCode()
    {
        SettingsRecord defaults;
        defaults.deviceCode = deviceCode;
        *this = defaults;
    }

    friend bool operator==(const SettingsRecord &, const SettingsRecord &) = default;
};
