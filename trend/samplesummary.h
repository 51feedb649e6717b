#pragma once

#include <QtGlobal>
#include <deque>
#include <limits>
#include <vector>

// The lowest and highest value of a series over runs of samples: level 0 holds
// a pair per kBaseRun samples, each level above a pair per twice as many. A
// sample costs a pair per level; in return a chart finds the extremes of any
// stretch, or of a pixel column, in a few pairs instead of every sample. Runs
// are numbered from the first sample the series ever held, so dropping the
// oldest samples moves nothing. At 24 bytes a run (the pair and when it
// began) it adds less than a fifth to the 16 bytes a sample takes.
class SampleSummary
{
public:
    static constexpr int kBaseShift = 4;
    static constexpr qint64 kBaseRun = qint64(1) << kBaseShift;

    struct Range
    {
        double lowest = std::numeric_limits<double>::infinity();
        double highest = -std::numeric_limits<double>::infinity();
        bool isEmpty() const { return !(lowest <= highest); }
        void widen(double value)
        {
            lowest = std::min(lowest, value);
            highest = std::max(highest, value);
        }
        void widen(const Range &other)
        {
            lowest = std::min(lowest, other.lowest);
            highest = std::max(highest, other.highest);
        }
    };

    static constexpr qint64 runLength(int level) { return kBaseRun << level; }

    // Levels up to runs at least as long as a series can grow.
    explicit SampleSummary(qint64 longestSeries);

    // The sample numbered `number` (counted since the series began) has come.
    void append(qint64 number, qint64 msecs, double value);
    // Samples before `firstKept` are gone: the runs wholly before it go too.
    void dropBefore(qint64 firstKept);
    void clear();

    int levels() const { return int(m_levels.size()); }
    // Run `run` (counted since the series began) of a level, which must be
    // held; correct once every sample in it is still kept.
    const Range &run(int level, qint64 run) const { return at(level, run).range; }
    // When its first sample came: a chart places runs without reading the
    // samples, which lie far apart in memory.
    qint64 runStart(int level, qint64 run) const { return at(level, run).startMSecs; }
    bool holdsRun(int level, qint64 run) const
    {
        const Level &l = m_levels[size_t(level)];
        return run >= l.first && run < l.first + qint64(l.runs.size());
    }
    qsizetype bytes() const;

private:
    struct Run
    {
        Range range;
        qint64 startMSecs;
    };
    struct Level
    {
        qint64 first = 0; // the number of the oldest run held
        std::deque<Run> runs;
    };
    const Run &at(int level, qint64 run) const
    {
        const Level &l = m_levels[size_t(level)];
        return l.runs[size_t(run - l.first)];
    }
    std::vector<Level> m_levels;
};
