#pragma once

#include <QString>

// What binding a port number did.
struct BindOutcome
{
    bool bound = false;
    QString message; // why not, in the system's or our words; empty when bound
};

// Makes <folder>/com<number> a symbolic link to target (replacing an older
// link in one step). A com<number> there that is not a symbolic link is the
// user's own file: it is never replaced, and the outcome says so.
BindOutcome bindPortNumber(const QString &folder, int number, const QString &target);
