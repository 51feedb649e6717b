#include "trend/chartview.h"

#include <algorithm>
#include <cmath>

ChartView::Window ChartView::zoomed(Window shown, double factor, qint64 anchorMSecs, Window held)
{
    const double width = std::max(double(kNarrowestMSecs), double(shown.width()) * factor);
    const double share =
        shown.width() > 0 ? double(anchorMSecs - shown.startMSecs) / double(shown.width()) : 1;
    const auto start = qint64(std::llround(double(anchorMSecs) - share * width));
    return within({start, start + qint64(std::llround(width))}, held);
}

ChartView::Window ChartView::panned(Window shown, qint64 byMSecs, Window held)
{
    return within({shown.startMSecs + byMSecs, shown.endMSecs + byMSecs}, held);
}

ChartView::Window ChartView::within(Window wanted, Window held)
{
    // Little held (just after a start): the narrowest window ending with it.
    if (held.width() < kNarrowestMSecs)
        held.startMSecs = held.endMSecs - kNarrowestMSecs;
    const qint64 width = std::clamp(wanted.width(), kNarrowestMSecs, held.width());
    const qint64 start = std::clamp(wanted.startMSecs, held.startMSecs, held.endMSecs - width);
    return {start, start + width};
}

std::optional<SampleStore::Sample> ChartView::sampleAt(const std::deque<SampleStore::Sample> &samples,
                                                       qint64 atMSecs, qint64 gapLimitMSecs)
{
    const auto after = std::upper_bound(samples.begin(), samples.end(), atMSecs,
                                        [](qint64 t, const SampleStore::Sample &s) { return t < s.msecs; });
    if (after == samples.begin())
        return std::nullopt;
    const SampleStore::Sample &before = *(after - 1);
    // Deep in a gap, or long after the last sample: the series says nothing there.
    if (atMSecs - before.msecs > gapLimitMSecs)
        return std::nullopt;
    return before;
}
