#pragma once

#include "trend/recordingreader.h"

#include <QFile>
#include <QObject>
#include <QTimer>

#include <vector>

class SampleStore;

// A recording (or an export) of this program loaded into a sample store, a
// slice at a time between events so that the window stays live whatever the
// file's size; the store's own bounds keep the memory bounded. Once the end
// is reached, a file still being written is followed as it grows.
class RecordingLoader : public QObject
{
    Q_OBJECT
public:
    explicit RecordingLoader(SampleStore &store, QObject *parent = nullptr);

    // Starts reading the file; false (and failed()) when it cannot be opened
    // or is no regular file. Nothing is opened that could wait (a FIFO).
    bool start(const QString &path);
    void cancel();

    qint64 bytesRead() const { return m_read; }

    // The last line sent and the last received at or before a moment, read
    // again from the file near there; a line sent long before is not found.
    struct LastLines
    {
        std::optional<RecordedRow> sent;
        std::optional<RecordedRow> received;
    };
    LastLines lastLinesAt(qint64 msecs) const;
    const RecordingReader &reader() const { return m_reader; }

    static constexpr qint64 kPiece = 64 << 10;
    static constexpr qint64 kTurnNSecs = 8'000'000; // read per turn of the event loop
    static constexpr auto kFollowEvery = std::chrono::seconds(1);
    // Pieces before the moment's own that lastLinesAt() reads.
    static constexpr int kLookBack = 2;

signals:
    // While loading: how far, of the file's size when loading began.
    void progressed(qint64 read, qint64 size);
    // The whole file as it was is in the store; growth follows from now on.
    void loaded();
    // Cannot read it, or it is not a recording; nothing more follows.
    void failed(const QString &why);

private:
    void readSlice();
    void take(QByteArrayView piece);

    SampleStore &m_store;
    RecordingReader m_reader;
    QFile m_file;
    QString m_path;
    QTimer m_turn;
    qint64 m_read = 0;
    qint64 m_size = 0;
    bool m_loaded = false;
    bool m_started = false; // the first row has set the store's origin
    // A row's moment and where in the file its line begins, one per piece read.
    struct Mark
    {
        qint64 msecs;
        qint64 offset;
    };
    std::vector<Mark> m_marks;
};
