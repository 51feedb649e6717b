// The stacked view's strips: as many as keep a readable height, the rest
// reached by scrolling a whole strip at a time, so the time axis under the
// lowest strip stays where it is and no strip is ever cut.
#include "trend/chartgeometry.h"

#include <algorithm>
#include <cmath>

double ChartGeometry::leastStripHeight(double lineHeight)
{
    // A label at each end of the axis and half a line between them.
    return std::ceil(2.5 * lineHeight);
}

int ChartGeometry::stripsShown(int count, QSize chartSize, double lineHeight)
{
    const auto [top, bottom] = plotRows(chartSize, lineHeight);
    const double gap = std::round(lineHeight);
    const int fit = int(std::floor((bottom - top + gap) / (leastStripHeight(lineHeight) + gap)));
    return std::clamp(fit, 1, std::max(1, count));
}

int ChartGeometry::firstStripShown(int wanted, int count, int shown)
{
    return std::clamp(wanted, 0, std::max(0, count - shown));
}

std::vector<ChartGeometry> ChartGeometry::stacked(const std::vector<Extent> &strips, QSize chartSize,
                                                  double devicePixelRatio, const LabelMetrics &labels,
                                                  ValueRange range)
{
    std::vector<ChartGeometry> stack;
    if (strips.empty())
        return stack;
    stack.reserve(strips.size());
    // A line between strips: the labels at the ends of neighbouring axes.
    const auto [top, bottom] = plotRows(chartSize, labels.lineHeight);
    const double gap = std::round(labels.lineHeight);
    const double count = double(strips.size());
    const double height = std::max(10.0, (bottom - top - gap * (count - 1)) / count);
    double widest = 0;
    for (const Extent &strip : strips) {
        ChartGeometry &g = stack.emplace_back(ChartGeometry());
        g.m_startMSecs = strip.startMSecs;
        g.m_endMSecs = strip.endMSecs;
        g.m_devicePixelRatio = devicePixelRatio;
        g.m_locale = labels.locale;
        g.fitValues(strip, height, labels.lineHeight, range);
        widest = std::max(widest, g.widestValueText(labels));
    }
    // One left edge for all, so the strips share their time axis.
    for (size_t i = 0; i < strips.size(); ++i) {
        const double stripTop = top + double(i) * (height + gap);
        stack[i].place(std::round(stripTop), std::round(stripTop + height), chartSize.width(), widest,
                       labels);
    }
    return stack;
}
