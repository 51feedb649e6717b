#pragma once

#include <QString>

// The questions the session must put to the user, answered by the window
// (with message boxes) or by a test (from a script).
class SessionPrompts
{
public:
    virtual ~SessionPrompts() = default;
    // A command could not be sent. True: search for the device again;
    // false: the program ends.
    virtual bool continueAfterNoResponse() = 0;
    // The settings were not saved, and why.
    virtual void explainRefusedSave(const QString &why) = 0;
};
