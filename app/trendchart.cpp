#include "app/trendchart.h"

#include "trend/samplestore.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>
#include <limits>

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

constexpr qint64 kTimeSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};

} // namespace

TrendChart::TrendChart(const SampleStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 180);
    m_repaintTimer.setSingleShot(true);
    m_repaintTimer.setInterval(kRepaintInterval);
    connect(&m_repaintTimer, &QTimer::timeout, this, &TrendChart::refresh);
    connect(&store, &SampleStore::sampleAdded, this, &TrendChart::scheduleRepaint);
    // Cleared even while paused: the view shows nothing held.
    connect(&store, &SampleStore::cleared, this, qOverload<>(&QWidget::update));
}

QColor TrendChart::seriesColour(int index)
{
    // Yellow last: it is faint on white.
    static const QRgb kColours[] = {0x0072B2, 0xD55E00, 0x009E73, 0xCC79A7,
                                    0xE69F00, 0x56B4E9, 0x000000, 0xF0E442};
    return QColor::fromRgb(kColours[index % int(std::size(kColours))]);
}

void TrendChart::setSpan(std::chrono::milliseconds span)
{
    m_span = span;
    update();
}

void TrendChart::setPaused(bool paused)
{
    if (paused == m_paused)
        return;
    m_paused = paused;
    m_frozenEndMSecs = QDateTime::currentMSecsSinceEpoch();
    if (paused)
        m_repaintTimer.stop();
    else
        refresh();
}

void TrendChart::setSeriesShown(const QString &name, bool shown)
{
    if (shown)
        m_hidden.remove(name);
    else
        m_hidden.insert(name);
    update();
}

// Per sample: only a flag and a timer, never painting.
void TrendChart::scheduleRepaint()
{
    if (m_repaintTimer.isActive() || m_paused || !isVisible() || window()->isMinimized())
        return;
    m_repaintTimer.start();
}

void TrendChart::refresh()
{
    update();
    emit refreshed();
}

void TrendChart::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh(); // whatever came while hidden
}

void TrendChart::hideEvent(QHideEvent *event)
{
    m_repaintTimer.stop();
    QWidget::hideEvent(event);
}

double TrendChart::View::x(qint64 msecs) const
{
    return plot.left() +
           double(msecs - startMSecs) * plot.width() / double(std::max<qint64>(1, endMSecs - startMSecs));
}

double TrendChart::View::y(double value) const
{
    return plot.bottom() - (value - low) * plot.height() / (high - low);
}

QPointF TrendChart::pointFor(qint64 msecs, double value) const
{
    const View v = computeView();
    return {v.x(msecs), v.y(value)};
}

TrendChart::View TrendChart::computeView() const
{
    View v;
    v.endMSecs = m_paused ? m_frozenEndMSecs : QDateTime::currentMSecsSinceEpoch();
    const auto &all = m_store.series();
    if (m_span.count() > 0) {
        v.startMSecs = v.endMSecs - m_span.count();
    } else {
        qint64 earliest = v.endMSecs - 60'000;
        for (const SampleStore::Series &s : all)
            if (isSeriesShown(s.name) && !s.samples.empty())
                earliest = std::min(earliest, s.samples.front().msecs);
        v.startMSecs = earliest;
    }

    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (const SampleStore::Series &s : all) {
        if (!isSeriesShown(s.name))
            continue;
        const auto [first, last] = samplesBetween(s.samples, v.startMSecs, v.endMSecs);
        for (auto it = first; it != last; ++it) {
            lo = std::min(lo, it->value);
            hi = std::max(hi, it->value);
        }
    }
    v.hasData = lo <= hi;
    if (!v.hasData) {
        lo = 0;
        hi = 1;
    }
    // A little room above and below, so a line never runs along the frame.
    const double pad = hi > lo ? (hi - lo) * 0.05 : lo == 0 ? 1 : std::fabs(lo) * 0.05;
    lo -= pad;
    hi += pad;

    const QFontMetricsF fm(font());
    const double top = std::round(fm.height() / 2 + 8);
    const double bottom = std::round(height() - 2 * fm.height() - 12);
    const double rows = std::max(2.0, (bottom - top) / (fm.height() * 2.2));
    v.valueStep = niceStep((hi - lo) / rows);
    v.low = std::floor(lo / v.valueStep) * v.valueStep;
    v.high = std::ceil(hi / v.valueStep) * v.valueStep;
    v.valueDecimals = std::max(0, int(-std::floor(std::log10(v.valueStep) + 1e-9)));
    const QString lowText = locale().toString(v.low, 'f', v.valueDecimals);
    const QString highText = locale().toString(v.high, 'f', v.valueDecimals);
    const double labelWidth = std::max(fm.horizontalAdvance(lowText), fm.horizontalAdvance(highText));
    const double left = std::round(12 + labelWidth + 8);
    const double right = std::round(width() - 20);
    v.plot = QRectF(QPointF(left, top), QPointF(std::max(left + 10, right), std::max(top + 10, bottom)));

    const double msPerPixel = double(std::max<qint64>(1, v.endMSecs - v.startMSecs)) / v.plot.width();
    const double spacing = fm.horizontalAdvance(QStringLiteral("00:00:00")) + 30;
    v.timeStepMSecs = kTimeSteps[std::size(kTimeSteps) - 1] * 1000;
    for (const qint64 step : kTimeSteps)
        if (double(step) * 1000 / msPerPixel >= spacing) {
            v.timeStepMSecs = step * 1000;
            break;
        }
    return v;
}

TrendChart::SampleRange TrendChart::samplesBetween(const std::deque<SampleStore::Sample> &samples,
                                                   qint64 from, qint64 to)
{
    const auto first = std::lower_bound(samples.begin(), samples.end(), from,
                                        [](const SampleStore::Sample &a, qint64 t) { return a.msecs < t; });
    const auto last = std::upper_bound(first, samples.end(), to,
                                       [](qint64 t, const SampleStore::Sample &a) { return t < a.msecs; });
    return {first, last};
}
