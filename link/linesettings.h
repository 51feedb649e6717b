#pragma once

#include "link/serialport.h"

#include <QString>
#include <optional>

// Port numbers run from 1 to 255 (see portnumber.h for the devices they name).
bool isValidPortNumber(int number);

// A baud rate as the settings file holds it: ASCII digits naming a positive
// rate; anything else gives nullopt. Whether the driver can set that rate only
// shows when the port opens.
std::optional<qint32> baudRateFromText(const QString &text);

// Both checks at once: the line a port number and a baud text describe.
std::optional<LineSettings> lineSettingsFor(int portNumber, const QString &baudText);
