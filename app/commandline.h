#pragma once

#include <QString>
#include <QStringList>
#include <variant>

// How to run: with the window or without one (--no-window), and whether to
// record from the start (--record FILE).
struct ProgramOptions
{
    bool noWindow = false;
    QString recordTo;
    QString view; // --view FILE: a recording in a trend window, no port, no settings
};

// The program's own options, read before any window exists (so --help works
// without a display): --help, --help-all (with Qt's options too) and --version
// print and end the program with 0;
// an option it does not know prints the usage to stderr and ends it with 2.
// Qt's own options (-platform, -style, ...) pass through to the application.
// Returns the exit status when the program should end now, else the options.
std::variant<int, ProgramOptions> readCommandLine(const QStringList &arguments);
