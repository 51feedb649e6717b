#pragma once

// The real program started as a user would: fork and execve through a link
// in a folder of its own, on a virtual display of the benchmark's own or
// without any display at all.
#include <QString>

#include <string>
#include <sys/types.h>
#include <vector>

namespace bench {

// A virtual X display of the benchmark's own when Xvfb is installed (as on a
// desktop, the window system's own start-up costs fall on every program
// started), offscreen otherwise. The programs started while it lives use it.
struct Display
{
    pid_t server = -1;
    std::string name; // ":n"; empty: offscreen

    Display();
    ~Display();
    Display(const Display &) = delete;
    Display &operator=(const Display &) = delete;
    QString describe() const;
};

struct Launch
{
    // The first frame handed to the window system is logged as "Flushing
    // QRegion(...) of MainWindow": that moment is "first shown".
    bool tracePaint = false;
    // No display at all (no DISPLAY, no platform plugin chosen): --no-window.
    bool withoutDisplay = false;
    std::vector<std::string> arguments;
};

// Started in the link's folder; stderr to errFd, or nowhere when negative.
pid_t startProgram(const QString &link, int errFd, const Launch &how = {});
void stopProgram(pid_t pid);

} // namespace bench
