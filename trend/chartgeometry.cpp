#include "trend/chartgeometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

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
                             const LabelMetrics &labels)
    : m_startMSecs(extent.startMSecs), m_endMSecs(extent.endMSecs), m_devicePixelRatio(devicePixelRatio),
      m_locale(labels.locale)
{
    const auto [top, bottom] = plotRows(chartSize, labels.lineHeight);
    fitValues(extent, bottom - top, labels.lineHeight);
    place(top, bottom, chartSize.width(), widestValueText(labels), labels);
}

std::vector<ChartGeometry> ChartGeometry::stacked(const std::vector<Extent> &strips, QSize chartSize,
                                                  double devicePixelRatio, const LabelMetrics &labels)
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
    for (size_t i = 0; i < strips.size(); ++i) {
        ChartGeometry &g = stack.emplace_back(ChartGeometry());
        g.m_startMSecs = strips[i].startMSecs;
        g.m_endMSecs = strips[i].endMSecs;
        g.m_devicePixelRatio = devicePixelRatio;
        g.m_locale = labels.locale;
        g.fitValues(strips[i], height, labels.lineHeight);
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

std::pair<double, double> ChartGeometry::plotRows(QSize chartSize, double lineHeight)
{
    // Half a line above for the top value's label, two lines below for the
    // time since the start and the clock time.
    return {std::round(lineHeight / 2 + 8), std::round(chartSize.height() - 2 * lineHeight - 12)};
}

void ChartGeometry::fitValues(const Extent &extent, double height, double lineHeight)
{
    m_hasData = !extent.isEmpty();
    double lo = m_hasData ? extent.lowest : 0;
    double hi = m_hasData ? extent.highest : 1;
    // A little room above and below, so a line never runs along the frame.
    const double pad = hi > lo ? (hi - lo) * 0.05 : lo == 0 ? 1 : std::fabs(lo) * 0.05;
    lo -= pad;
    hi += pad;
    // A grid line about every two lines.
    const double rows = std::max(2.0, height / (lineHeight * 2.2));
    m_valueStep = niceStep((hi - lo) / rows);
    m_low = std::floor(lo / m_valueStep) * m_valueStep;
    m_high = std::ceil(hi / m_valueStep) * m_valueStep;
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
    const int rows = int(std::lround((m_high - m_low) / m_valueStep));
    for (int i = 0; i <= rows; ++i) {
        double value = m_low + i * m_valueStep;
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
    for (auto it = first; it != last; ++it)
        line.push_back(pointFor(*it));
    return line;
}
