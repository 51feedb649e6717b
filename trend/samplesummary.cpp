#include "trend/samplesummary.h"

SampleSummary::SampleSummary(qint64 longestSeries)
{
    int count = 1;
    while (runLength(count - 1) < longestSeries)
        ++count;
    m_levels.resize(size_t(count));
}

void SampleSummary::append(qint64 number, qint64 msecs, double value)
{
    int shift = kBaseShift;
    for (Level &l : m_levels) {
        // Numbers come one by one: a run is the last one held or the next.
        const qint64 run = number >> shift++;
        if (l.runs.empty()) {
            l.first = run;
            l.runs.push_back({{value, value}, msecs});
        } else if (run >= l.first + qint64(l.runs.size())) {
            l.runs.push_back({{value, value}, msecs});
        } else {
            Range &range = l.runs.back().range;
            // The longer runs above hold this one: if it need not widen, neither do they.
            if (value >= range.lowest && value <= range.highest)
                return;
            range.widen(value);
        }
    }
}

void SampleSummary::dropBefore(qint64 firstKept)
{
    for (int level = 0; level < levels(); ++level) {
        Level &l = m_levels[size_t(level)];
        // A run partly dropped stays: its later samples are still kept.
        while (!l.runs.empty() && (l.first + 1) * runLength(level) <= firstKept) {
            l.runs.pop_front();
            ++l.first;
        }
    }
}

void SampleSummary::clear()
{
    for (Level &l : m_levels) {
        l.runs.clear();
        l.first = 0;
    }
}

qsizetype SampleSummary::bytes() const
{
    qsizetype total = 0;
    for (const Level &l : m_levels)
        total += qsizetype(l.runs.size() * sizeof(Run));
    return total;
}
