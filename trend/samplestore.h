#pragma once

#include "link/wireline.h"
#include "trend/samplesummary.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <deque>
#include <vector>

// Every sample received (NAME=number, the number plain), one series per name in order of first
// arrival, each holding at most a fixed number of samples: the oldest go first.
// At most kMaxSeries names are kept; a device that invents names cannot make
// the store, the chart or the legend grow without end. Lives from program
// start, so a trend window opened later has the past.
class SampleStore : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype kMaxSamplesPerSeries = 100'000;
    static constexpr qsizetype kMaxSeries = 64;

    struct Sample
    {
        qint64 msecs; // since the epoch
        double value;
    };
    struct Series
    {
        QString name;
        std::deque<Sample> samples;
        // Samples dropped from the front so far: samples[i] is number dropped + i.
        qint64 dropped = 0;
        SampleSummary summary;

        // The lowest and highest of samples[first] to samples[last - 1]: a few
        // summary runs and at most two runs' worth of samples, however many.
        SampleSummary::Range extremes(qsizetype first, qsizetype last) const;
    };

    explicit SampleStore(qsizetype maxSamplesPerSeries = kMaxSamplesPerSeries, QObject *parent = nullptr);

    const std::vector<Series> &series() const { return m_series; }
    qsizetype maxSamplesPerSeries() const { return m_maxSamples; }
    // When collecting began: program start, or the last clear.
    qint64 originMSecs() const { return m_originMSecs; }
    bool hasDropped() const { return m_dropped; }
    // Whether a line with a new name found the store full.
    bool hasRefusedSeries() const { return m_refused; }

    // A line from the device as the session read it; only lines with a sample count.
    void add(const WireLine &line);
    void clear();
    // Collecting began then: a recording read back began at its first row.
    void setOriginMSecs(qint64 msecs) { m_originMSecs = msecs; }

signals:
    void seriesAdded(int index);
    // Per sample: listeners only mark themselves dirty.
    void sampleAdded();
    // The first time any series reached its bound; said once.
    void samplesDropped();
    // The first time a new name found kMaxSeries names held; said once.
    void seriesRefused();
    void cleared();

private:
    std::vector<Series> m_series;
    QHash<QByteArray, int> m_index; // a name's place in m_series
    std::vector<QByteArray> m_keys; // the names as bytes, in m_series' order
    int m_last = -1;                // the series of the line before
    qsizetype m_maxSamples;
    qint64 m_originMSecs;
    bool m_dropped = false;
    bool m_refused = false;
};
