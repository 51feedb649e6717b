#pragma once

#include "trend/samplestore.h"

#include <deque>
#include <optional>

// The stretch of time a chart shows when the user zooms and pans, worked out
// as a value with no widget: a window kept within what is held, never
// narrower than kNarrowestMSecs; and what a cursor at a moment reads.
class ChartView
{
public:
    struct Window
    {
        qint64 startMSecs = 0;
        qint64 endMSecs = 0;
        qint64 width() const { return endMSecs - startMSecs; }
        bool operator==(const Window &) const = default;
    };

    // Narrower than this shows no more: samples come at most every few ms.
    static constexpr qint64 kNarrowestMSecs = 100;

    // `shown` made `factor` times as wide (below 1: zoomed in), the moment
    // `anchorMSecs` staying where it was on screen, then kept within `held`.
    static Window zoomed(Window shown, double factor, qint64 anchorMSecs, Window held);
    // `shown` moved by `byMSecs` (later when positive), kept within `held`.
    static Window panned(Window shown, qint64 byMSecs, Window held);
    // `wanted` as wide as it is (at least kNarrowestMSecs, at most `held`),
    // moved to lie within `held`.
    static Window within(Window wanted, Window held);

    // The sample a cursor at atMSecs reads on a series: the latest one at or
    // before it, unless that is more than gapLimitMSecs before (then none: the
    // line shows a gap there).
    static std::optional<SampleStore::Sample> sampleAt(const std::deque<SampleStore::Sample> &samples,
                                                       qint64 atMSecs, qint64 gapLimitMSecs);
};
