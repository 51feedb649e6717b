#pragma once

#include <QString>

// Maps a port number to a device path. A "com<N>" entry in exeDir (usually a
// symlink) wins; otherwise 1-32 -> /dev/ttyS0-31, 33-64 -> /dev/ttyUSB0-31,
// 65-96 -> /dev/ttyACM0-31. Returns empty when the number maps to nothing.
// The result is the canonical path (links resolved) when the target exists.
QString resolvePortDevice(int number, const QString &exeDir);

// The mapping without the com<N> lookup and without touching the file system.
QString defaultPortDevice(int number);
