#pragma once

#include <QByteArrayView>
#include <QString>

// Why path cannot take a file's bytes: it is, or links to, a device, a FIFO,
// a socket or a folder, or the system cannot say what it is. Empty for a
// regular file and for a name where nothing is yet. Nothing is opened: opening
// a FIFO blocks until a reader comes, and opening a serial port raises its lines.
[[nodiscard]] QString unwritableTargetReason(const QString &path);

// Writes bytes to path whole or not at all; returns why not, empty when written.
// A regular file (or one a symbolic link points to: the link stays) is replaced
// only once the new content is all on disk, by a rename from a temporary file
// beside it, so a failure leaves the old file and no partial one. A replaced
// file keeps its mode and, where the system lets us, its owner and group. A
// path that unwritableTargetReason() refuses is refused before anything is
// opened for writing.
[[nodiscard]] QString writeFileWhole(const QString &path, QByteArrayView bytes);

// A regular file at path (through any link), created or emptied, open for
// writing: the descriptor, or -1 and why not. The same targets as above are
// refused, and the open itself never waits, should something else have been
// put at path since the check.
struct OpenedFile
{
    int fd = -1;
    QString reason;
};
[[nodiscard]] OpenedFile openRegularFileForWriting(const QString &path);
