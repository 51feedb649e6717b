#pragma once

#include <QString>

// Where the program was started from and under which name. Taken from argv[0]
// rather than from the running file, so a symlink with another name behaves
// like a copy with that name.
struct ExecutableInfo
{
    QString dir;      // absolute directory
    QString baseName; // the file name; only a final ".exe" (any case) is dropped

    // runningFile: the program's own file (/proc/self/exe). A bare argv[0] is
    // looked up on PATH as the shell did, but the hit counts only when it is
    // the running program itself; otherwise the running file's own path does.
    static ExecutableInfo fromArgv0(const QString &argv0, const QString &pathEnv, const QString &currentDir,
                                    const QString &runningFile);
    static ExecutableInfo fromArgv0(const QString &argv0);
};
