#include "trend/recorder.h"

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
    m_file.close();
}

bool Recorder::start(const QString &path)
{
    stop();
    m_file.setFileName(path);
    // Unbuffered: every row is its own write() to the system.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        emit failed(path, m_file.errorString());
        return false;
    }
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
    if (!m_file.isOpen())
        return;
    m_fileCheck.stop();
    m_file.close();
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
    if (m_file.isOpen())
        write(m_format.row(line, line.msecsSinceEpoch - m_startMSecs, direction));
}

bool Recorder::write(const QByteArray &bytes)
{
    // write() itself rather than QFile: after a partial write QFile reports
    // the short count but not the system's reason.
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_file.handle(), bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const QString reason = QString::fromLocal8Bit(std::strerror(n < 0 ? errno : EIO));
        // A row cut off by a full disk would leave a broken last line: cut it back.
        if (done > 0 && ::ftruncate(m_file.handle(), m_written) != 0)
            qWarning("recorder: the partial row stays in %s", qPrintable(m_file.fileName()));
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
    if (!m_file.isOpen() || ::fstat(m_file.handle(), &held) != 0)
        return;
    const bool found = ::stat(QFile::encodeName(m_file.fileName()).constData(), &named) == 0;
    const bool gone = found ? named.st_dev != held.st_dev || named.st_ino != held.st_ino : errno == ENOENT;
    if (held.st_nlink == 0 || gone)
        fail(tr("the file was deleted or replaced while recording"));
}

void Recorder::fail(const QString &reason)
{
    m_fileCheck.stop();
    m_file.close();
    emit failed(m_file.fileName(), reason);
    emit stopped();
}
