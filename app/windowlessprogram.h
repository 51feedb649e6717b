#pragma once

#include "app/sessioncore.h"
#include "session/sessionprompts.h"

#include <cstdio>

// Answers the session's questions where nobody sits at a screen: after no
// response it searches again, as it does for a script's command, and says so.
class SearchAgainPrompts final : public SessionPrompts
{
public:
    void askContinueAfterNoResponse(std::function<void(bool)> answered) override;
    void explainRefusedSave(const QString &why) override;
};

// The program without a window (--no-window), for a rig without a screen:
// the session, its polls, the recording and the bus, wired as the windowed
// program wires them. Each change of the status is one line on stderr with
// its time; a device's stream of lines is one line when it starts.
class WindowlessProgram
{
public:
    WindowlessProgram(SerialPort &port, ExecutableInfo exe, std::FILE *log = stderr);

    DeviceSession &session() { return m_core.session(); }
    Recorder &recorder() { return m_core.recorder(); }
    PanelBusObject &bus() { return m_core.bus(); }

private:
    void logStatus(const StatusLine &status);

    SearchAgainPrompts m_prompts;
    SessionCore m_core;
    std::FILE *m_log;
    StatusLine m_logged;
};

// A line of the log: the wire clock's time, then the text.
void logLine(std::FILE *log, const QString &text);
