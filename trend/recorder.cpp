#include "trend/recorder.h"

#include "trend/safefile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

Recorder::Recorder(QObject *parent) : QObject(parent)
{
    m_fileCheck.setInterval(1s);
    connect(&m_fileCheck, &QTimer::timeout, this, &Recorder::checkFileStillThere);
}

Recorder::~Recorder()
{
    closeFile();
}

bool Recorder::start(const QString &path)
{
    stop();
    m_path = path;
    // No buffer of ours: every row is its own write() to the system.
    const OpenedFile opened = openRegularFileForWriting(path);
    if (opened.fd < 0) {
        emit failed(path, opened.reason);
        return false;
    }
    m_fd = opened.fd;
    m_written = 0;
    m_startMSecs = wireClockMSecs();
    if (!write(CsvRowFormat::header()))
        return false;
    m_fileCheck.start();
    emit started(path);
    return true;
}

void Recorder::stop()
{
    if (m_fd < 0)
        return;
    m_fileCheck.stop();
    closeFile();
    emit stopped();
}

void Recorder::recordSent(const WireLine &command)
{
    record(command, CsvRowFormat::Direction::Sent);
}

void Recorder::recordReceived(const WireLine &line)
{
    record(line, CsvRowFormat::Direction::Received);
}

void Recorder::record(const WireLine &line, CsvRowFormat::Direction direction)
{
    if (m_fd >= 0)
        write(m_format.row(line, line.msecsSinceEpoch - m_startMSecs, direction));
}

bool Recorder::write(const QByteArray &bytes)
{
    // write() itself: after a partial write the system's reason is still known.
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const QString reason = QString::fromLocal8Bit(std::strerror(n < 0 ? errno : EIO));
        // A row cut off by a full disk would leave a broken last line: cut it back.
        if (done > 0 && ::ftruncate(m_fd, m_written) != 0)
            qWarning("recorder: the partial row stays in %s", qPrintable(m_path));
        fail(reason);
        return false;
    }
    m_written += done;
    return true;
}

// Rows written to a file nobody can reach any more would be lost without a word.
void Recorder::checkFileStillThere()
{
    struct stat held
    {
    };
    struct stat named
    {
    };
    if (m_fd < 0 || ::fstat(m_fd, &held) != 0)
        return;
    const bool found = ::stat(QFile::encodeName(m_path).constData(), &named) == 0;
    const bool gone = found ? named.st_dev != held.st_dev || named.st_ino != held.st_ino : errno == ENOENT;
    if (held.st_nlink == 0 || gone)
        fail(tr("the file was deleted or replaced while recording"));
}

void Recorder::fail(const QString &reason)
{
    m_fileCheck.stop();
    closeFile();
    emit failed(m_path, reason);
    emit stopped();
}

void Recorder::closeFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
