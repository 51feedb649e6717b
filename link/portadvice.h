#pragma once

#include <QString>

// What a user can do when a port will not open, added to the system's message
// (the status line's tooltip shows both).
enum class PortTrouble { NoPermission, HeldByOther };
QString portAdvice(PortTrouble trouble, const QString &devicePath);
