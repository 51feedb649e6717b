#pragma once

#include "settings/settingsrecord.h"

#include <QLocale>
#include <QString>
#include <optional>

// The settings as the user typed them into the settings panel.
struct SettingsTexts
{
    QString portNumber;
    QString baudRate;
    QString password;
    QString sampleTime;
    QString deviceCode;
    QString label1;
};

// The record the texts describe, or why it cannot be saved: a number box that
// holds no 16-bit whole number in the user's locale, or a typed text the file
// format cannot hold. The reason names the box by its caption. Labels 2 to 4
// come from current; the user cannot edit them, so what the file cannot hold
// in them is stored in its nearest form rather than refused.
struct SettingsEdit
{
    std::optional<SettingsRecord> record;
    QString refusal;
};
SettingsEdit recordFromTexts(const SettingsTexts &texts, const SettingsRecord &current,
                             const QLocale &locale = QLocale());
