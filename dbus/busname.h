#pragma once

#include <QString>

// Where a running copy is found on the session bus.
inline constexpr auto kBusNamePrefix = "dev.kestravon.PwmPanel.";
inline constexpr auto kObjectPath = "/dev/kestravon/PwmPanel";
inline constexpr auto kInterfaceName = "dev.kestravon.PwmPanel1";

// The well-known name of the copy called programName (what its caption ends
// with): a bus name element may hold only A-Z a-z 0-9 _ and may not start with
// a digit, so "PUMP.1" becomes "dev.kestravon.PwmPanel.PUMP_1".
QString busNameFor(const QString &programName);
