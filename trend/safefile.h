#pragma once

#include <QByteArray>
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

// The same, in parts, for a file too large to hold: begin() refuses the same
// targets and makes the temporary file, append() adds to it, commit() puts it
// in place once it is all on disk; abandon(), or the end of the object before
// a commit, removes it and leaves the old file as it was. append(), commit()
// and abandon() touch nothing but the file: another thread may call them.
class WholeFile
{
public:
    WholeFile() = default;
    WholeFile(const WholeFile &) = delete;
    WholeFile &operator=(const WholeFile &) = delete;
    ~WholeFile() { abandon(); }

    // Why not; empty when the temporary file is open.
    [[nodiscard]] QString begin(const QString &path);
    // False once a write has failed; commit() then says why.
    bool append(QByteArrayView bytes);
    // All on disk (the long part): false when not, and commit() says why.
    bool sync();
    // Why not; empty when the file is in place.
    [[nodiscard]] QString commit();
    void abandon();

private:
    int m_fd = -1;
    int m_error = 0;
    QByteArray m_temporary;
    QByteArray m_destination;
};

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
