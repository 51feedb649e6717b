#include "trend/samplestore.h"

#include "trend/namedvalue.h"

#include <QDateTime>
#include <cmath>

SampleStore::SampleStore(qsizetype maxSamplesPerSeries, QObject *parent)
    : QObject(parent), m_maxSamples(qMax<qsizetype>(1, maxSamplesPerSeries)),
      m_originMSecs(QDateTime::currentMSecsSinceEpoch())
{
}

void SampleStore::addLine(const QByteArray &line)
{
    addLineAt(line, QDateTime::currentMSecsSinceEpoch());
}

void SampleStore::addLineAt(QByteArrayView line, qint64 msecsSinceEpoch)
{
    const std::optional<NamedValue> named = readNamedValue(line);
    // Infinity and NaN have no place on a chart.
    if (!named || !std::isfinite(named->value))
        return;

    // A handful of names at most: a linear search beats hashing a fresh key per line.
    auto it = m_series.begin();
    while (it != m_series.end() && it->name != QLatin1StringView(named->name))
        ++it;
    if (it == m_series.end()) {
        m_series.push_back({QString::fromLatin1(named->name), {}});
        it = m_series.end() - 1;
        emit seriesAdded(int(m_series.size()) - 1);
    }
    it->samples.push_back({msecsSinceEpoch, named->value});
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
    m_originMSecs = QDateTime::currentMSecsSinceEpoch();
    emit cleared();
}
