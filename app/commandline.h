#pragma once

#include <QStringList>
#include <optional>

// The program's own options, read before any window exists (so --help works
// without a display): --help, --help-all (with Qt's options too) and --version
// print and end the program with 0;
// an option it does not know prints the usage to stderr and ends it with 2.
// Qt's own options (-platform, -style, ...) pass through to the application.
// Returns the exit status when the program should end now.
std::optional<int> handleCommandLine(const QStringList &arguments);
