#pragma once

#include <QByteArrayView>
#include <QString>

// Writes bytes to path whole or not at all; returns why not, empty when written.
// A regular file (or one a symbolic link points to: the link stays) is replaced
// only once the new content is all on disk, by a rename from a temporary file
// beside it, so a failure leaves the old file and no partial one. A path that
// is, or links to, anything else (a device, a FIFO, a socket, a folder) is
// refused before anything is opened for writing.
[[nodiscard]] QString writeFileWhole(const QString &path, QByteArrayView bytes);
