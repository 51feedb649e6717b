// A dense series read per device pixel column from its summary.
#include "trend/chartgeometry.h"

#include <algorithm>
#include <cmath>

int ChartGeometry::columnAt(qint64 msecs) const
{
    const double column = std::floor(double(msecs - m_startMSecs) * m_columnsPerMSec);
    return int(std::clamp(column, -1e9, 1e9));
}

std::vector<ChartGeometry::Column> ChartGeometry::columns(const SampleStore::Series &series, qsizetype first,
                                                          qsizetype last) const
{
    std::vector<Column> out;
    first = std::max<qsizetype>(first, 0);
    last = std::min<qsizetype>(last, qsizetype(series.samples.size()));
    if (first >= last)
        return out;
    const auto &samples = series.samples;
    const double perColumn = double(last - first) / std::max(1.0, m_plot.width() * m_devicePixelRatio);
    // The longest runs no longer than a column: about one a column.
    int top = -1;
    while (top + 1 < series.summary.levels() && double(SampleSummary::runLength(top + 1)) <= perColumn)
        ++top;
    out.reserve(size_t(std::min<double>(double(last - first), m_plot.width() * m_devicePixelRatio + 2)));
    // Samples lie far apart in memory: a run is placed by the time the
    // summary keeps of it and of the run after it; a sample is read only
    // where no run starts or fits, and at the edges of an empty stretch.
    const SampleSummary &summary = series.summary;
    const auto sampleAt = [&samples](qsizetype i) -> const SampleStore::Sample & {
        return samples[size_t(i)];
    };
    qsizetype i = first;
    while (i < last) {
        const qint64 number = series.dropped + i;
        bool merged = false;
        for (int level = top; level >= 0 && !merged; --level) {
            const qint64 length = SampleSummary::runLength(level);
            if ((number & (length - 1)) != 0 || i + length > last)
                continue; // a shorter run may start here
            const qint64 run = number >> (SampleSummary::kBaseShift + level);
            const int column = columnAt(summary.runStart(level, run));
            // A run goes where it starts and may reach into the next column,
            // never further (one before a pause is split): a device pixel at most.
            const qint64 afterMSecs = i + length < last && summary.holdsRun(level, run + 1)
                                          ? summary.runStart(level, run + 1)
                                          : sampleAt(i + qsizetype(length) - 1).msecs;
            if (columnAt(afterMSecs) > column + 1)
                continue;
            const SampleSummary::Range &range = summary.run(level, run);
            if (out.empty() || out.back().column != column) {
                out.push_back({column, range.lowest, range.lowest, range.highest, range.highest});
            } else {
                out.back().lowest = std::min(out.back().lowest, range.lowest);
                out.back().highest = std::max(out.back().highest, range.highest);
            }
            i += qsizetype(length);
            merged = true;
        }
        if (merged)
            continue;
        const SampleStore::Sample &sample = sampleAt(i);
        const int column = columnAt(sample.msecs);
        if (out.empty() || out.back().column != column) {
            out.push_back({column, sample.value, sample.value, sample.value, sample.value});
        } else {
            out.back().lowest = std::min(out.back().lowest, sample.value);
            out.back().highest = std::max(out.back().highest, sample.value);
        }
        ++i;
    }
    // Where a column meets no neighbour, the line joins its first or last
    // sample to the next column with any: read those few exactly.
    qsizetype at = first;
    for (size_t k = 0; k < out.size(); ++k) {
        const bool alone = k == 0 || out[k - 1].column != out[k].column - 1;
        const bool aloneAfter = k + 1 == out.size() || out[k + 1].column != out[k].column + 1;
        if (!alone && !aloneAfter)
            continue;
        // The samples of column k: from the first whose time is in it.
        const auto begin = std::partition_point(
            samples.begin() + at, samples.begin() + last,
            [&](const SampleStore::Sample &x) { return columnAt(x.msecs) < out[k].column; });
        const auto end =
            std::partition_point(begin, samples.begin() + last, [&](const SampleStore::Sample &x) {
                return columnAt(x.msecs) <= out[k].column;
            });
        at = end - samples.begin();
        if (begin == end)
            continue;
        if (alone)
            out[k].first = begin->value;
        if (aloneAfter)
            out[k].last = (end - 1)->value;
    }
    // The line's own ends, whichever column a run put them in.
    out.front().first = sampleAt(first).value;
    out.back().last = sampleAt(last - 1).value;
    return out;
}
