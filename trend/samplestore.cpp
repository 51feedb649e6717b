#include "trend/samplestore.h"

#include <algorithm>

SampleStore::SampleStore(qsizetype maxSamplesPerSeries, QObject *parent)
    : QObject(parent), m_maxSamples(qMax<qsizetype>(1, maxSamplesPerSeries)), m_originMSecs(wireClockMSecs())
{
}

void SampleStore::add(const WireLine &line)
{
    if (!line.sample)
        return;
    const QByteArrayView name = line.name();

    // A device mostly repeats the name before; else the index, whose key
    // borrows the line's bytes, so finding a held name allocates nothing.
    if (m_last < 0 || m_keys[size_t(m_last)] != name)
        m_last = m_index.value(QByteArray::fromRawData(name.data(), name.size()), -1);
    auto it = m_last >= 0 ? m_series.begin() + m_last : m_series.end();
    if (it == m_series.end()) {
        if (qsizetype(m_series.size()) >= kMaxSeries) {
            if (!m_refused) {
                m_refused = true;
                emit seriesRefused();
            }
            return;
        }
        m_series.push_back({QString::fromLatin1(name), {}, 0, SampleSummary(m_maxSamples)});
        m_keys.push_back(name.toByteArray());
        m_index.insert(m_keys.back(), int(m_series.size()) - 1);
        m_last = int(m_series.size()) - 1;
        it = m_series.end() - 1;
        emit seriesAdded(int(m_series.size()) - 1);
    }
    it->samples.push_back({line.msecsSinceEpoch, *line.sample});
    it->summary.append(it->dropped + qint64(it->samples.size()) - 1, line.msecsSinceEpoch, *line.sample);
    if (qsizetype(it->samples.size()) > m_maxSamples) {
        it->samples.pop_front();
        it->summary.dropBefore(++it->dropped);
        if (!m_dropped) {
            m_dropped = true;
            emit samplesDropped();
        }
    }
    emit sampleAdded();
}

void SampleStore::clear()
{
    m_series.clear();
    m_index.clear();
    m_keys.clear();
    m_last = -1;
    m_originMSecs = wireClockMSecs();
    // Their notices go with what they were about.
    m_dropped = false;
    m_refused = false;
    emit cleared();
}

SampleSummary::Range SampleStore::Series::extremes(qsizetype first, qsizetype last) const
{
    SampleSummary::Range range;
    first = std::max<qsizetype>(first, 0);
    last = std::min<qsizetype>(last, qsizetype(samples.size()));
    while (first < last) {
        // The longest run that starts here and ends in the stretch, else one sample.
        const qint64 number = dropped + first;
        int level = summary.levels() - 1;
        while (level >= 0 && (number % SampleSummary::runLength(level) != 0 ||
                              first + SampleSummary::runLength(level) > last))
            --level;
        if (level < 0) {
            range.widen(samples[size_t(first++)].value);
            continue;
        }
        range.widen(summary.run(level, number >> (SampleSummary::kBaseShift + level)));
        first += qsizetype(SampleSummary::runLength(level));
    }
    return range;
}
