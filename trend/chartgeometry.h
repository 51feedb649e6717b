#pragma once

#include "trend/samplestore.h"

#include <QLocale>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <deque>
#include <functional>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

// Where a chart of samples puts things, worked out once per painting with no
// painter and no font: the plot area inside the chart, time to x and value to
// y, the grid's ticks and labels, and a series cut to what the screen's pixel
// columns can show. The chart widget only paints what this says.
class ChartGeometry
{
public:
    using Samples = std::deque<SampleStore::Sample>;
    using SampleIterator = Samples::const_iterator;

    // What the shown samples cover: the time from the left edge to the right
    // one, and the lowest and highest value they take in it.
    struct Extent
    {
        qint64 startMSecs = 0;
        qint64 endMSecs = 0;
        double lowest = std::numeric_limits<double>::infinity();
        double highest = -std::numeric_limits<double>::infinity();
        bool isEmpty() const { return !(lowest <= highest); }
    };

    // What the labels need from the chart's font, in pixels, and the locale
    // that writes the values. Read while the geometry is built, not kept.
    struct LabelMetrics
    {
        double lineHeight = 0;
        std::function<double(const QString &)> textWidth;
        QLocale locale;
    };

    struct ValueTick
    {
        double value;
        double y; // the pixel row of its grid line
        QString text;
    };
    struct TimeTick
    {
        qint64 msecs;
        double x;     // the pixel column of its grid line
        QString text; // the time since collecting began: "45 s", "20 min", "3 h"
    };

    // Below this the chart does not narrow its time axis: the first moments
    // after a start or a clear have room to the right.
    static constexpr qint64 kShortestWindowMSecs = 10'000;

    // The value axis typed by the user: exactly from the first to the second,
    // whatever the samples take.
    using ValueRange = std::optional<std::pair<double, double>>;

    // chartSize is the whole chart, labels included; devicePixelRatio the
    // screen's device pixels per pixel.
    ChartGeometry(const Extent &extent, QSize chartSize, double devicePixelRatio, const LabelMetrics &labels,
                  ValueRange range = {});

    // The stacked view: a strip per extent, each with its own value axis, one
    // above the other over the plot's height a line apart, all with the same
    // left edge and so the same time axis (the extents share their times).
    // Given only the strips shown: the rest are scrolled to.
    static std::vector<ChartGeometry> stacked(const std::vector<Extent> &strips, QSize chartSize,
                                              double devicePixelRatio, const LabelMetrics &labels,
                                              ValueRange range = {});
    // A strip is never lower than room for two axis labels.
    static double leastStripHeight(double lineHeight);
    // How many of count strips fit at once (at least one).
    static int stripsShown(int count, QSize chartSize, double lineHeight);
    // The first strip shown when the user scrolled to `wanted`: the last
    // screenful ends on the last strip.
    static int firstStripShown(int wanted, int count, int shown);

    // Silence longer than this between two samples of [first, last) is a gap
    // in the line, not a ramp: kGapIntervals times the series' usual interval
    // (the median of its last intervals); max() for fewer than two samples.
    static constexpr int kGapIntervals = 4;
    static qint64 gapLimitMSecs(SampleIterator first, SampleIterator last);
    // The stretches of a polyline between its gaps (a NaN point marks one), as
    // offset and length.
    static std::vector<std::pair<qsizetype, qsizetype>> runs(const std::vector<QPointF> &line);

    // The time a chart shows at nowMSecs: the last spanMSecs (0: everything held
    // from earliestMSecs, the oldest sample), starting neither before collecting
    // began (originMSecs) nor before the oldest sample, and ending now, or
    // kShortestWindowMSecs after its start while that is still to come.
    static std::pair<qint64, qint64> timeWindow(qint64 nowMSecs, qint64 spanMSecs, qint64 originMSecs,
                                                std::optional<qint64> earliestMSecs);

    // How an axis writes its values, the same for every label on it: plain
    // with the step's decimals ("990000", "1000000", "123456.781"), or, where
    // that would be longer than ten characters and than the other, as 3.4e38 or
    // -2.5e-7 with the digits the step needs: neighbouring labels always differ.
    enum class Notation { Plain, Exponent };
    static QString valueText(double value, double step, Notation notation, const QLocale &locale);
    static Notation notationFor(const std::vector<double> &values, double step, const QLocale &locale);
    // A value as the legend writes it: the fewest digits that read back to the
    // same double, plain from 0.0001 to below 10^12, else as the axes write an
    // exponent (1e30, 1.5e-7).
    static QString exactText(double value, const QLocale &locale);

    // The samples from `from` to `to`, both included, of a series ordered by time.
    static std::pair<SampleIterator, SampleIterator> samplesBetween(const Samples &samples, qint64 from,
                                                                    qint64 to);

    QRectF plotArea() const { return m_plot; }
    qint64 startMSecs() const { return m_startMSecs; }
    qint64 endMSecs() const { return m_endMSecs; }
    // False: no sample in the span, the axis shows 0 to 1.
    bool hasData() const { return m_hasData; }
    qint64 timeStepMSecs() const { return m_timeStepMSecs; }

    double x(qint64 msecs) const;
    double y(double value) const;
    QPointF pointFor(const SampleStore::Sample &sample) const { return {x(sample.msecs), y(sample.value)}; }

    // From the bottom of the axis to its top, 1, 2 or 5 times a power of ten apart.
    std::vector<ValueTick> valueTicks() const;
    // At whole steps since originMSecs (when collecting began) within the span,
    // so the grid stays put while the span moves on.
    std::vector<TimeTick> timeTicks(qint64 originMSecs) const;
    // The line through the samples, a point each: for a series sparser than
    // the pixel columns. A gap (see gapLimitMSecs) comes as a point with NaN
    // coordinates.
    std::vector<QPointF> polyline(SampleIterator first, SampleIterator last) const;

    // A dense stretch as device pixel columns (0 at the plot's left edge): the
    // lowest and highest value in each column that has any, in order, and,
    // where a column has no neighbour on a side, its first or last sample (a
    // line joins it to the next column with any). Read from the series'
    // summary, so it costs about the columns, not the samples: a run of
    // samples at most a column long counts whole in the column it starts in,
    // so a sample may show a device pixel early, never more (a run before a
    // pause is split).
    struct Column
    {
        int column;
        double first;
        double lowest;
        double highest;
        double last;
    };
    std::vector<Column> columns(const SampleStore::Series &series, qsizetype first, qsizetype last) const;
    int columnAt(qint64 msecs) const;
    // The middle of a device pixel column, in pixels.
    double columnX(int column) const { return m_plot.left() + (column + 0.5) / m_devicePixelRatio; }

private:
    ChartGeometry() = default;
    // The top and bottom of the plot area, between the labels above and below.
    static std::pair<double, double> plotRows(QSize chartSize, double lineHeight);
    void fitValues(const Extent &extent, double height, double lineHeight, ValueRange range = {});
    double widestValueText(const LabelMetrics &labels) const;
    // The plot area from the widest value label to the right, and the time step.
    void place(double top, double bottom, int chartWidth, double labelWidth, const LabelMetrics &labels);

    QRectF m_plot;
    qint64 m_startMSecs = 0;
    qint64 m_endMSecs = 0;
    qint64 m_timeStepMSecs = 1000;
    double m_low = 0;
    double m_high = 1;
    double m_valueStep = 0.5;
    bool m_hasData = false;
    bool m_fixedRange = false;
    double m_devicePixelRatio = 1;
    double m_columnsPerMSec = 1;
    QLocale m_locale;
};
