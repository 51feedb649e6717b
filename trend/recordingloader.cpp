#include "trend/recordingloader.h"

#include "trend/safefile.h"
#include "trend/samplestore.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

RecordingLoader::RecordingLoader(SampleStore &store, QObject *parent) : QObject(parent), m_store(store)
{
    m_turn.setSingleShot(true);
    connect(&m_turn, &QTimer::timeout, this, &RecordingLoader::readSlice);
}

bool RecordingLoader::start(const QString &path)
{
    cancel();
    m_reader = RecordingReader();
    m_read = 0;
    m_loaded = false;
    m_started = false;
    // The same targets refused as for writing: a FIFO would hold the window, a device raise its lines.
    QString why = unwritableTargetReason(path);
    if (why.isEmpty() && !QFileInfo(path).isFile())
        why = QStringLiteral("there is no such file");
    if (why.isEmpty()) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 || !m_file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            if (fd >= 0)
                ::close(fd);
            why = QString::fromLocal8Bit(strerror(errno));
        }
    }
    if (!why.isEmpty()) {
        emit failed(QStringLiteral("%1 cannot be read: %2.").arg(path, why));
        return false;
    }
    m_size = m_file.size();
    m_turn.start(0);
    return true;
}

void RecordingLoader::cancel()
{
    m_turn.stop();
    m_file.close();
}

void RecordingLoader::readSlice()
{
    const QByteArray bytes = m_file.read(kSlice);
    m_read += bytes.size();
    for (const RecordedRow &row : m_reader.feed(bytes)) {
        if (!m_started) {
            m_store.setOriginMSecs(row.msecsSinceEpoch); // times count from the recording's start
            m_started = true;
        }
        if (!row.sent)
            m_store.add(WireLine::read(row.bytes, row.msecsSinceEpoch));
    }
    if (m_reader.isRefused()) {
        cancel();
        emit failed(m_reader.refusal());
        return;
    }
    if (!m_loaded) {
        emit progressed(m_read, m_size);
        if (m_read < m_size && !bytes.isEmpty()) {
            m_turn.start(0);
            return;
        }
        m_loaded = true;
        emit loaded();
    }
    // At the end: what the recorder appends is read a second from now.
    m_turn.start(bytes.size() == kSlice ? std::chrono::milliseconds(0) : kFollowEvery);
}
