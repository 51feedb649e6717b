#include "trend/samplestore.h"

#include <cmath>

SampleStore::SampleStore(qsizetype maxSamplesPerSeries, QObject *parent)
    : QObject(parent), m_maxSamples(qMax<qsizetype>(1, maxSamplesPerSeries)), m_originMSecs(wireClockMSecs())
{
}

void SampleStore::add(const WireLine &line)
{
    // Infinity and NaN have no place on a chart.
    if (!line.hasValue() || !std::isfinite(line.value))
        return;
    const QLatin1StringView name(line.name());

    // At most kMaxSeries names: a linear search beats hashing a fresh key per
    // line, and a name not held costs no allocation.
    auto it = m_series.begin();
    while (it != m_series.end() && it->name != name)
        ++it;
    if (it == m_series.end()) {
        if (qsizetype(m_series.size()) >= kMaxSeries) {
            if (!m_refused) {
                m_refused = true;
                emit seriesRefused();
            }
            return;
        }
        m_series.push_back({QString(name), {}});
        it = m_series.end() - 1;
        emit seriesAdded(int(m_series.size()) - 1);
    }
    it->samples.push_back({line.msecsSinceEpoch, line.value});
    if (qsizetype(it->samples.size()) > m_maxSamples) {
        it->samples.pop_front();
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
    m_originMSecs = wireClockMSecs();
    // Their notices go with what they were about.
    m_dropped = false;
    m_refused = false;
    emit cleared();
}
