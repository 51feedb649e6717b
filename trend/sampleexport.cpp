#include "trend/sampleexport.h"

#include "trend/csvrowformat.h"
#include "trend/safefile.h"
#include "trend/samplestore.h"

#include <QCoreApplication>
#include <algorithm>

using namespace std::chrono_literals;

namespace {

// A slice of row making between events: short beside the 50 ms a click may wait.
constexpr auto kSliceNSecs = 8'000'000;

bool later(const std::pair<qint64, int> &a, const std::pair<qint64, int> &b)
{
    return a > b; // a min-heap: the earliest time, then the first series
}

} // namespace

// What the window's thread and the writing thread share; the writing thread
// touches nothing else, so it may outlive a cancelled export.
struct SampleExport::Writer
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QByteArray> chunks;
    bool last = false; // every chunk handed over
    bool cancelled = false;
    bool done = false; // the file is in place, or failed: why
    QString why;
    WholeFile file;

    // The chunks to the temporary file, then the whole file in place, or nothing.
    void run()
    {
        for (;;) {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return cancelled || !chunks.empty() || last; });
            if (cancelled) {
                file.abandon();
                return;
            }
            if (chunks.empty()) { // the last chunk written: the long wait for the disk, unlocked
                lock.unlock();
                file.sync();
                lock.lock();
                if (cancelled)
                    file.abandon();
                else
                    why = file.commit();
                done = true;
                return;
            }
            QByteArray chunk = std::move(chunks.front());
            chunks.pop_front();
            lock.unlock();
            if (!file.append(chunk)) {
                lock.lock();
                why = file.commit(); // says why and leaves the old file
                done = true;
                return;
            }
        }
    }
};

SampleExport::SampleExport(const SampleStore &store, QObject *parent) : QObject(parent), m_store(store)
{
    connect(&m_slices, &QTimer::timeout, this, &SampleExport::makeRows);
    // Cleared, the store's series are others: the rows would no longer be the samples held.
    connect(&store, &SampleStore::cleared, this, [this] {
        if (m_running)
            end(Outcome::Failed, tr("the samples were cleared while they were written"));
    });
}

SampleExport::~SampleExport()
{
    cancel();
    if (m_thread.joinable())
        m_thread.join();
}

QString SampleExport::start(const QString &path)
{
    cancel();
    if (m_thread.joinable())
        m_thread.detach(); // a cancelled writer ends by itself
    auto writer = std::make_shared<Writer>();
    if (QString why = writer->file.begin(path); !why.isEmpty())
        return why;
    m_writer = writer;
    m_cursors.clear();
    m_names.clear();
    m_heads.clear();
    m_rowsHeld = m_rowsMade = 0;
    m_allHanded = false;
    m_origin = m_store.originMSecs();
    const auto &all = m_store.series();
    for (int i = 0; i < int(all.size()); ++i) {
        const SampleStore::Series &s = all[size_t(i)];
        m_cursors.push_back({s.dropped, s.dropped + qint64(s.samples.size())});
        m_names.push_back(s.name.toLatin1());
        m_rowsHeld += qint64(s.samples.size());
        if (!s.samples.empty())
            m_heads.emplace_back(s.samples.front().msecs, i);
    }
    std::make_heap(m_heads.begin(), m_heads.end(), later);
    m_chunk = CsvRowFormat::header();
    m_chunk.reserve(kChunkBytes + 4096);
    m_running = true;
    m_thread = std::thread([writer] { writer->run(); });
    m_slices.start(0);
    return {};
}

void SampleExport::cancel()
{
    if (m_running)
        end(Outcome::Cancelled, {});
}

void SampleExport::makeRows()
{
    bool done = false;
    QString why;
    {
        const std::lock_guard lock(m_writer->mutex);
        done = m_writer->done;
        why = m_writer->why;
    }
    if (done) {
        end(why.isEmpty() ? Outcome::Written : Outcome::Failed, why);
        return;
    }
    if (m_allHanded)
        return; // waiting for the disk
    QElapsedTimer slice;
    slice.start();
    while (slice.nsecsElapsed() < kSliceNSecs) {
        {
            // The writer is behind: nothing more is made until it catches up.
            const std::lock_guard lock(m_writer->mutex);
            if (qsizetype(m_writer->chunks.size()) >= kChunksWaiting)
                break;
        }
        const bool more = fillChunk(slice);
        if (!more) {
            hand(std::exchange(m_chunk, {}), true);
            m_allHanded = true;
            m_slices.start(20); // now only asks whether the file is in place
            break;
        }
        if (m_chunk.size() >= kChunkBytes) {
            hand(std::exchange(m_chunk, {}), false);
            m_chunk.reserve(kChunkBytes + 4096);
        }
    }
    emit progressed(m_rowsMade, m_rowsHeld);
}

// Rows until the chunk is full, the slice is over or every row is made
// (false). The store is read as it stands now: a series may have grown (its
// new samples are not this export's) or lost its oldest samples.
bool SampleExport::fillChunk(const QElapsedTimer &slice)
{
    const auto &all = m_store.series();
    int rows = 0;
    while (!m_heads.empty() && m_chunk.size() < kChunkBytes) {
        if (++rows % 256 == 0 && slice.nsecsElapsed() >= kSliceNSecs)
            return true;
        std::pop_heap(m_heads.begin(), m_heads.end(), later);
        const int index = m_heads.back().second;
        m_heads.pop_back();
        const SampleStore::Series &s = all[size_t(index)];
        Cursor &cursor = m_cursors[size_t(index)];
        cursor.next = std::max(cursor.next, s.dropped); // dropped before its row came
        if (cursor.next >= cursor.end)
            continue;
        const SampleStore::Sample &sample = s.samples[size_t(cursor.next - s.dropped)];
        m_format.appendSampleRow(m_chunk, sample.msecs, sample.msecs - m_origin,
                                 QLatin1StringView(m_names[size_t(index)]), sample.value);
        ++m_rowsMade;
        if (++cursor.next < cursor.end) {
            m_heads.emplace_back(s.samples[size_t(cursor.next - s.dropped)].msecs, index);
            std::push_heap(m_heads.begin(), m_heads.end(), later);
        }
    }
    return !m_heads.empty();
}

void SampleExport::hand(QByteArray chunk, bool last)
{
    const std::lock_guard lock(m_writer->mutex);
    if (!chunk.isEmpty())
        m_writer->chunks.push_back(std::move(chunk));
    m_writer->last = last;
    m_writer->changed.notify_one();
}

void SampleExport::end(Outcome outcome, const QString &why)
{
    if (!m_running)
        return;
    m_running = false;
    m_slices.stop();
    bool done = false;
    {
        const std::lock_guard lock(m_writer->mutex);
        done = m_writer->done;
        // Too late to cancel: the file went in place before the click.
        if (outcome == Outcome::Cancelled && done && m_writer->why.isEmpty())
            outcome = Outcome::Written;
        m_writer->cancelled = outcome != Outcome::Written;
        m_writer->changed.notify_one();
    }
    // Finished or told to stop, the writer ends by itself; the window never
    // waits for the disk.
    if (done)
        m_thread.join();
    m_writer.reset();
    m_chunk = {};
    m_heads.clear();
    emit finished(outcome, why);
}
