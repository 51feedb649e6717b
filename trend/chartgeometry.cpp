#include "trend/chartgeometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <tuple>

namespace {

// 1, 2 or 5 times a power of ten, at least raw.
double niceStep(double raw)
{
    if (!(raw > 0) || !std::isfinite(raw))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / power;
    return (f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10) * power;
}

// Seconds between time ticks: steps a clock reader counts in.
constexpr qint64 kTimeSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};

} // namespace

ChartGeometry::ChartGeometry(const Extent &extent, QSize chartSize, double devicePixelRatio,
                             const LabelMetrics &labels, ValueRange range)
    : m_startMSecs(extent.startMSecs), m_endMSecs(extent.endMSecs), m_devicePixelRatio(devicePixelRatio),
      m_locale(labels.locale)
{
    const auto [top, bottom] = plotRows(chartSize, labels.lineHeight);
    fitValues(extent, bottom - top, labels.lineHeight, range);
    place(top, bottom, chartSize.width(), widestValueText(labels), labels);
}

std::pair<double, double> ChartGeometry::plotRows(QSize chartSize, double lineHeight)
{
    // Half a line above for the top value's label, two lines below for the
    // time since the start and the clock time.
    return {std::round(lineHeight / 2 + 8), std::round(chartSize.height() - 2 * lineHeight - 12)};
}

void ChartGeometry::fitValues(const Extent &extent, double height, double lineHeight, ValueRange range)
{
    m_hasData = !extent.isEmpty();
    // A grid line about every two lines.
    const double rows = std::max(2.0, height / (lineHeight * 2.2));
    m_fixedRange = range.has_value();
    if (m_fixedRange) {
        std::tie(m_low, m_high) = *range;
        m_valueStep = niceStep((m_high - m_low) / rows);
        while ((m_high - m_low) / m_valueStep > height / lineHeight)
            m_valueStep = niceStep(m_valueStep * 1.5);
        return;
    }
    double lo = m_hasData ? extent.lowest : 0;
    double hi = m_hasData ? extent.highest : 1;
    // A little room above and below, so a line never runs along the frame.
    const double pad = hi > lo ? (hi - lo) * 0.05 : lo == 0 ? 1 : std::fabs(lo) * 0.05;
    lo -= pad;
    hi += pad;
    m_valueStep = niceStep((hi - lo) / rows);
    m_low = std::floor(lo / m_valueStep) * m_valueStep;
    m_high = std::ceil(hi / m_valueStep) * m_valueStep;
    // Rounded out to whole steps, a low strip may get more rows than labels
    // fit in: a longer step until they do.
    while ((m_high - m_low) / m_valueStep > height / lineHeight + 1e-9) {
        m_valueStep = niceStep(m_valueStep * 1.5);
        m_low = std::floor(lo / m_valueStep) * m_valueStep;
        m_high = std::ceil(hi / m_valueStep) * m_valueStep;
    }
}

double ChartGeometry::widestValueText(const LabelMetrics &labels) const
{
    double widest = 0;
    for (const ValueTick &tick : valueTicks())
        widest = std::max(widest, labels.textWidth(tick.text));
    return widest;
}

void ChartGeometry::place(double top, double bottom, int chartWidth, double labelWidth,
                          const LabelMetrics &labels)
{
    const double left = std::round(12 + labelWidth + 8);
    const double right = std::round(chartWidth - 20);
    m_plot = QRectF(QPointF(left, top), QPointF(std::max(left + 10, right), std::max(top + 10, bottom)));

    // The shortest step whose labels do not run into each other.
    const double msPerPixel = double(std::max<qint64>(1, m_endMSecs - m_startMSecs)) / m_plot.width();
    m_columnsPerMSec = m_devicePixelRatio / msPerPixel;
    const double spacing = labels.textWidth(QStringLiteral("00:00:00")) + 30;
    m_timeStepMSecs = kTimeSteps[std::size(kTimeSteps) - 1] * 1000;
    for (const qint64 step : kTimeSteps)
        if (double(step) * 1000 / msPerPixel >= spacing) {
            m_timeStepMSecs = step * 1000;
            break;
        }
}

std::pair<qint64, qint64> ChartGeometry::timeWindow(qint64 nowMSecs, qint64 spanMSecs, qint64 originMSecs,
                                                    std::optional<qint64> earliestMSecs)
{
    // A sample stamped before the origin (a clock set back) still shows.
    const qint64 beginning = earliestMSecs ? std::min(originMSecs, *earliestMSecs) : originMSecs;
    qint64 start =
        spanMSecs > 0 ? std::max(nowMSecs - spanMSecs, beginning) : earliestMSecs.value_or(beginning);
    start = std::min(start, nowMSecs);
    const qint64 shortest = spanMSecs > 0 ? std::min(spanMSecs, kShortestWindowMSecs) : kShortestWindowMSecs;
    return {start, std::max(nowMSecs, start + shortest)};
}

QString ChartGeometry::valueText(double value, double step, Notation notation, const QLocale &locale)
{
    const int stepPower = int(std::floor(std::log10(step) + 1e-9));
    if (notation == Notation::Plain)
        return locale.toString(value == 0 ? 0.0 : value, 'f', std::max(0, -stepPower));
    if (value == 0)
        return QStringLiteral("0");
    const double magnitude = std::fabs(value);
    int exponent = int(std::floor(std::log10(magnitude)));
    int digits = 0;
    for (int pass = 0; pass < 2; ++pass) {
        digits = std::clamp(exponent - stepPower, 0, 17);
        // 9.996e9 to two digits is 1e10, not 10.00e9.
        const double scale = std::pow(10.0, digits);
        if (std::round(magnitude / std::pow(10.0, exponent) * scale) < 10 * scale)
            break;
        ++exponent;
    }
    QString mantissa = locale.toString(value / std::pow(10.0, exponent), 'f', digits);
    if (digits > 0) {
        while (mantissa.endsWith(QLatin1Char('0')))
            mantissa.chop(1);
        if (mantissa.endsWith(locale.decimalPoint()))
            mantissa.chop(locale.decimalPoint().size());
    }
    return mantissa + QStringLiteral("e") + QString::number(exponent);
}

ChartGeometry::Notation ChartGeometry::notationFor(const std::vector<double> &values, double step,
                                                   const QLocale &locale)
{
    constexpr qsizetype kLongPlain = 10;
    qsizetype plain = 0;
    qsizetype exponent = 0;
    for (const double value : values) {
        plain = std::max(plain, valueText(value, step, Notation::Plain, locale).size());
        exponent = std::max(exponent, valueText(value, step, Notation::Exponent, locale).size());
    }
    return plain <= std::max(kLongPlain, exponent) ? Notation::Plain : Notation::Exponent;
}

QString ChartGeometry::exactText(double value, const QLocale &locale)
{
    if (!std::isfinite(value) || value == 0)
        return locale.toString(value);
    char buffer[40];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string_view text(buffer, size_t(written.ptr - buffer)); // -d.ddde+XX
    const size_t e = text.find('e');
    const int exponent = std::stoi(std::string(text.substr(e + 1)));
    const int digits = int(std::count_if(text.begin(), text.begin() + qsizetype(e),
                                         [](char c) { return c >= '0' && c <= '9'; }));
    if (exponent >= -4 && exponent < 12)
        return locale.toString(value, 'f', std::max(0, digits - 1 - exponent));
    QString mantissa = QString::fromLatin1(text.data(), qsizetype(e));
    mantissa.replace(QLatin1Char('.'), locale.decimalPoint());
    return mantissa + QStringLiteral("e") + QString::number(exponent);
}

std::pair<ChartGeometry::SampleIterator, ChartGeometry::SampleIterator>
ChartGeometry::samplesBetween(const Samples &samples, qint64 from, qint64 to)
{
    const auto first = std::lower_bound(samples.begin(), samples.end(), from,
                                        [](const SampleStore::Sample &a, qint64 t) { return a.msecs < t; });
    const auto last = std::upper_bound(first, samples.end(), to,
                                       [](qint64 t, const SampleStore::Sample &a) { return t < a.msecs; });
    return {first, last};
}

double ChartGeometry::x(qint64 msecs) const
{
    return m_plot.left() + double(msecs - m_startMSecs) * m_plot.width() /
                               double(std::max<qint64>(1, m_endMSecs - m_startMSecs));
}

double ChartGeometry::y(double value) const
{
    return m_plot.bottom() - (value - m_low) * m_plot.height() / (m_high - m_low);
}

std::vector<ChartGeometry::ValueTick> ChartGeometry::valueTicks() const
{
    std::vector<double> values;
    // A typed range need not start on a step: the ticks are the steps within it.
    const double first = m_fixedRange ? std::ceil(m_low / m_valueStep - 1e-6) * m_valueStep : m_low;
    const int rows = m_fixedRange ? int(std::floor((m_high - first) / m_valueStep + 1e-6))
                                  : int(std::lround((m_high - m_low) / m_valueStep));
    for (int i = 0; i <= rows; ++i) {
        double value = first + i * m_valueStep;
        if (std::fabs(value) < m_valueStep * 1e-9)
            value = 0; // not 5.5e-17 from the sum
        values.push_back(value);
    }
    const Notation notation = notationFor(values, m_valueStep, m_locale);
    std::vector<ValueTick> ticks;
    ticks.reserve(values.size());
    for (const double value : values)
        ticks.push_back({value, std::round(y(value)), valueText(value, m_valueStep, notation, m_locale)});
    return ticks;
}

std::vector<ChartGeometry::TimeTick> ChartGeometry::timeTicks(qint64 originMSecs) const
{
    std::vector<TimeTick> ticks;
    const qint64 step = m_timeStepMSecs;
    // The first whole step at or after the start, rounding towards the origin
    // on either side of it.
    const qint64 sinceOrigin = m_startMSecs - originMSecs;
    qint64 tick =
        originMSecs + (sinceOrigin >= 0 ? (sinceOrigin + step - 1) / step : sinceOrigin / step) * step;
    // Counted in the step's own unit, so every label is a whole number.
    const auto [unit, suffix] = step < 60'000      ? std::pair{qint64(1'000), QStringLiteral(" s")}
                                : step < 3'600'000 ? std::pair{qint64(60'000), QStringLiteral(" min")}
                                                   : std::pair{qint64(3'600'000), QStringLiteral(" h")};
    for (; tick <= m_endMSecs; tick += step)
        ticks.push_back({tick, std::round(x(tick)), m_locale.toString((tick - originMSecs) / unit) + suffix});
    return ticks;
}

std::vector<QPointF> ChartGeometry::polyline(SampleIterator first, SampleIterator last) const
{
    std::vector<QPointF> line;
    line.reserve(size_t(std::max<qsizetype>(0, last - first)));
    const qint64 gapLimit = gapLimitMSecs(first, last);
    for (auto it = first; it != last; ++it) {
        if (it != first && it->msecs - (it - 1)->msecs > gapLimit)
            line.emplace_back(qQNaN(), qQNaN());
        line.push_back(pointFor(*it));
    }
    return line;
}

qint64 ChartGeometry::gapLimitMSecs(SampleIterator first, SampleIterator last)
{
    // The last few intervals: cheap however long the series, and what the
    // device does now rather than an hour ago.
    constexpr qsizetype kLooked = 16;
    std::vector<qint64> intervals;
    for (auto it = last; it - first > 1 && qsizetype(intervals.size()) < kLooked; --it)
        intervals.push_back((it - 1)->msecs - (it - 2)->msecs);
    if (intervals.empty())
        return std::numeric_limits<qint64>::max();
    const auto middle = intervals.begin() + qsizetype(intervals.size()) / 2;
    std::nth_element(intervals.begin(), middle, intervals.end());
    return kGapIntervals * std::max<qint64>(1, *middle);
}

std::vector<std::pair<qsizetype, qsizetype>> ChartGeometry::runs(const std::vector<QPointF> &line)
{
    std::vector<std::pair<qsizetype, qsizetype>> out;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= qsizetype(line.size()); ++i)
        if (i == qsizetype(line.size()) || std::isnan(line[size_t(i)].x())) {
            if (i > from)
                out.emplace_back(from, i - from);
            from = i + 1;
        }
    return out;
}
