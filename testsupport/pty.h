#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal for tests that need a real serial device: the code under
// test opens slavePath(), the test plays the other end on the master.
// Both sides are raw (no echo, no CR/LF translation).
class PtyPair
{
public:
    PtyPair() = default;
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    // False when the system gives no pseudo-terminal; errorString() says why.
    bool open();
    QString errorString() const { return m_error; }
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }
    void writeMaster(const QByteArray &bytes);
    // Waits up to timeoutMs for at least atLeast bytes, running Qt events
    // meanwhile so that the other side can make progress in this thread.
    QByteArray readMaster(int timeoutMs, qsizetype atLeast = 1);
    // The other end goes away.
    void closeMaster();
    // The line speed the slave side is set to (ptyspeed.cpp: it needs the
    // kernel's termios2, which clashes with <termios.h>).
    qint32 lineSpeed() const;

private:
    int m_master = -1;
    // Held open so that the master never sees a hang-up while the slave is reopened.
    int m_slave = -1;
    QString m_slavePath;
    QString m_error;
};
