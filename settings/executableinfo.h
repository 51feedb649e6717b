#pragma once

#include <QString>

// Where the program was started from and under which name. Taken from argv[0]
// (looked up through PATH when it has no slash), not from /proc/self/exe, so a
// symlink with another name behaves like a copy with that name.
struct ExecutableInfo
{
    QString dir;      // absolute directory
    QString baseName; // file name without directory and extension

    static ExecutableInfo fromArgv0(const QString &argv0, const QString &pathEnv, const QString &currentDir);
    static ExecutableInfo fromArgv0(const QString &argv0);
};
