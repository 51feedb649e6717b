#pragma once

#include "trend/csvrowformat.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class SampleStore;

// Export CSV without stopping the device: the samples held when it starts, in
// time order, in the recording's columns (direction "received", text
// NAME=value, elapsed_s from the store's origin). Rows are made in slices
// between events on this object's thread, from the live store (nothing is
// copied: it may hold a hundred megabytes), and written by a thread of its
// own, which alone waits for the disk; at most a few chunks of a megabyte wait
// between them. The file is put in place only once it is whole; a Cancel, a
// failure or a Clear of the store leaves the old file as it was. A sample
// dropped from the store before its row was made is left out.
class SampleExport : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Written, Cancelled, Failed };
    Q_ENUM(Outcome)
    static constexpr qsizetype kChunkBytes = 1 << 20;
    static constexpr int kChunksWaiting = 4;

    explicit SampleExport(const SampleStore &store, QObject *parent = nullptr);
    // A running export is cancelled, and waited for: a file half in place
    // is never left behind.
    ~SampleExport() override;

    // Why it cannot start (the target refused); empty: it runs, and
    // progressed() and then finished() follow.
    QString start(const QString &path);
    void cancel();
    bool isRunning() const { return m_running; }

signals:
    void progressed(qint64 rowsMade, qint64 rowsHeld);
    // why: the system's reason, for Failed.
    void finished(SampleExport::Outcome outcome, const QString &why);

private:
    struct Cursor
    {
        qint64 next; // the number of the next sample to write (counted as Series::dropped)
        qint64 end;  // one past the last sample held at the start
    };
    void makeRows();
    bool fillChunk(const QElapsedTimer &slice);
    void hand(QByteArray chunk, bool last);
    void end(Outcome outcome, const QString &why);

    const SampleStore &m_store;
    QTimer m_slices;
    bool m_running = false;
    std::vector<Cursor> m_cursors;
    std::vector<QByteArray> m_names;
    // The series whose next sample is oldest on top: (msecs, series) negated.
    std::vector<std::pair<qint64, int>> m_heads;
    qint64 m_origin = 0;
    qint64 m_rowsHeld = 0;
    qint64 m_rowsMade = 0;
    QByteArray m_chunk;
    CsvRowFormat m_format;

    struct Writer;
    std::shared_ptr<Writer> m_writer;
    bool m_allHanded = false;
    std::thread m_thread;
};
