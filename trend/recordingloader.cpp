#include "trend/recordingloader.h"

#include "trend/safefile.h"
#include "trend/samplestore.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Opens a recording to read, never waiting: the targets refused for writing
// are refused here too, as a FIFO would hold the window and a device raise
// its lines. Empty when open, else why not.
QString openToRead(const QString &path, QFile &file)
{
    QString why = unwritableTargetReason(path);
    if (why.isEmpty() && !QFileInfo(path).isFile())
        why = QStringLiteral("there is no such file");
    if (!why.isEmpty())
        return why;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return {};
    why = QString::fromLocal8Bit(strerror(errno));
    if (fd >= 0)
        ::close(fd);
    return why;
}

} // namespace

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
    m_marks.clear();
    m_path = path;
    const QString why = openToRead(path, m_file);
    if (!why.isEmpty()) {
        emit failed(QStringLiteral("%1 cannot be read: %2.").arg(path, why));
        return false;
    }
    m_size = m_file.size();
    m_turn.start(0);
    return true;
}

RecordingLoader::LastLines RecordingLoader::lastLinesAt(qint64 msecs) const
{
    LastLines last;
    const auto after = std::upper_bound(m_marks.begin(), m_marks.end(), msecs,
                                        [](qint64 t, const Mark &mark) { return t < mark.msecs; });
    if (after == m_marks.begin())
        return last;
    const auto from = after - std::min<qsizetype>(kLookBack + 1, after - m_marks.begin());
    const qint64 end = after == m_marks.end() ? m_read : after->offset;
    // Opened again as at the start: whatever now stands at the path is checked again.
    QFile file;
    if (!openToRead(m_path, file).isEmpty())
        return last;
    if (!file.seek(from->offset))
        return last;
    RecordingReader reader(RecordingReader::Start::AfterHeader);
    const qint64 most = (kLookBack + 2) * kPiece + RecordingReader::kLongestLine;
    for (const RecordedRow &row : reader.feed(file.read(std::min(end - from->offset, most)))) {
        if (row.msecsSinceEpoch > msecs)
            break;
        (row.sent ? last.sent : last.received) = row;
    }
    return last;
}

void RecordingLoader::cancel()
{
    m_turn.stop();
    m_file.close();
}

void RecordingLoader::readSlice()
{
    // Pieces until the turn's time is used, so the window is never held for long.
    QElapsedTimer turn;
    turn.start();
    qint64 got = 0;
    do {
        const QByteArray piece = m_file.read(kPiece);
        got = piece.size();
        take(piece);
        if (m_reader.isRefused()) {
            cancel();
            emit failed(m_reader.refusal());
            return;
        }
    } while (got == kPiece && turn.nsecsElapsed() < kTurnNSecs);
    if (!m_loaded) {
        emit progressed(m_read, m_size);
        if (m_read < m_size && got > 0) {
            m_turn.start(0);
            return;
        }
        m_loaded = true;
        emit loaded();
    }
    // At the end: what the recorder appends is read a second from now.
    m_turn.start(got == kPiece ? std::chrono::milliseconds(0) : kFollowEvery);
}

void RecordingLoader::take(QByteArrayView piece)
{
    // Where the first row this piece completes begins, for the wire texts.
    const qint64 rowsFrom = m_read - m_reader.pendingBytes();
    m_read += piece.size();
    const QList<RecordedRow> rows = m_reader.feed(piece);
    if (rows.isEmpty())
        return;
    if (!m_started) {
        m_store.setOriginMSecs(rows.first().msecsSinceEpoch); // times count from the recording's start
        m_started = true;
    }
    if (m_marks.empty() || rows.first().msecsSinceEpoch >= m_marks.back().msecs)
        m_marks.push_back({rows.first().msecsSinceEpoch, rowsFrom});
    for (const RecordedRow &row : rows)
        if (!row.sent)
            m_store.add(WireLine::read(row.bytes, row.msecsSinceEpoch));
}
