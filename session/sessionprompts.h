#pragma once

#include <QString>
#include <functional>

// The questions the session must put to the user, answered by the window
// (with message boxes) or by a test (from a script). Neither waits: the
// answer comes back through the callback, from the top of the event loop.
class SessionPrompts
{
public:
    virtual ~SessionPrompts() = default;
    // A command could not be sent. True: search for the device again;
    // false: the program ends.
    virtual void askContinueAfterNoResponse(std::function<void(bool)> answered) = 0;
    // The settings were not saved, and why.
    virtual void explainRefusedSave(const QString &why) = 0;
};
