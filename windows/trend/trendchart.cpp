#include "windows/trend/trendchart.h"

#include "trend/chartdescription.h"
#include "trend/samplestore.h"

#include <QAccessibleWidget>
#include <QFontMetricsF>
#include <QScrollBar>
#include <algorithm>
#include <tuple>

namespace {

// Announced as a chart rather than a plain pane.
QAccessibleInterface *chartAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("TrendChart") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Chart);
    return nullptr;
}

} // namespace

TrendChart::TrendChart(const SampleStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    static const bool factoryInstalled = (QAccessible::installFactory(chartAccessible), true);
    Q_UNUSED(factoryInstalled);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 180);
    setAccessibleName(tr("Trend chart"));
    // Reached by Tab, so a screen reader stops on it and reads the values;
    // a click gives it the keys that zoom and pan.
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true); // the cursor follows the pointer
    m_stripBar = new QScrollBar(Qt::Vertical, this);
    m_stripBar->setAccessibleName(tr("Strips"));
    m_stripBar->setFocusPolicy(Qt::NoFocus); // the chart's own keys scroll it
    m_stripBar->hide();
    connect(m_stripBar, &QScrollBar::valueChanged, this, [this](int first) {
        m_firstStrip = first;
        update();
    });
    m_repaintTimer.setSingleShot(true);
    connect(&m_repaintTimer, &QTimer::timeout, this, &TrendChart::refresh);
    connect(&store, &SampleStore::sampleAdded, this, &TrendChart::scheduleRepaint);
    // Styles go in order of arrival, whether a series is shown or not.
    for (const SampleStore::Series &s : store.series())
        seriesStyle(s.name);
    connect(&store, &SampleStore::seriesAdded, this, [this](int index) {
        seriesStyle(m_store.series()[size_t(index)].name);
        syncStripBar();
    });
    // Cleared even while paused: the view shows nothing held.
    connect(&store, &SampleStore::cleared, this, [this] {
        if (m_zoomed) { // a window into what is gone: the span again
            m_zoomed.reset();
            announceView();
        }
        syncStripBar();
        update();
        describe();
    });
    describe();
}

TrendChart::SeriesStyle TrendChart::styleAt(int n)
{
    // Their yellow is left out and the orange and sky blue darkened: each
    // stands at least 3:1 against the white chart.
    static const QRgb kColours[] = {0x0072B2, 0xD55E00, 0x009E73, 0xCC79A7, 0xC08400, 0x3A94CF, 0x000000};
    static const Qt::PenStyle kLines[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine};
    constexpr int colours = int(std::size(kColours));
    static_assert(kStyles == colours * int(std::size(kLines)));
    n %= kStyles;
    return {QColor::fromRgb(kColours[n % colours]), kLines[n / colours]};
}

TrendChart::SeriesStyle TrendChart::seriesStyle(const QString &name) const
{
    const auto found = m_styleOf.constFind(name);
    return styleAt(found != m_styleOf.cend() ? *found : *m_styleOf.insert(name, int(m_styleOf.size())));
}

TrendChart::SeriesStyle TrendChart::inkOf(const QString &name) const
{
    SeriesStyle style = seriesStyle(name);
    if (!m_highlighted.isEmpty() && name != m_highlighted) // a quarter of its colour on the white
        style.colour =
            QColor::fromRgbF(0.75f + 0.25f * style.colour.redF(), 0.75f + 0.25f * style.colour.greenF(),
                             0.75f + 0.25f * style.colour.blueF());
    return style;
}

void TrendChart::setSpan(std::chrono::milliseconds span)
{
    m_span = span;
    m_zoomed.reset(); // a span chosen is the window wanted, ending at the frozen moment if paused
    announceView();
    update();
    describe();
}

void TrendChart::setStacked(bool stacked)
{
    m_stacked = stacked;
    syncStripBar();
    update();
}

void TrendChart::setPaused(bool paused)
{
    if (paused == m_paused)
        return;
    m_paused = paused;
    m_frozenEndMSecs = m_present();
    if (!paused)
        m_zoomed.reset(); // following the present again
    emit pausedChanged(paused);
    announceView();
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
    syncStripBar();
    update();
    describe();
}

void TrendChart::setHighlighted(const QString &name)
{
    if (name == m_highlighted)
        return;
    m_highlighted = name;
    update();
}

void TrendChart::setValueRange(std::optional<std::pair<double, double>> range)
{
    m_valueRange = range;
    update();
}

// Per sample: only a timer brought forward, never painting.
void TrendChart::scheduleRepaint()
{
    if (m_paused || !isVisible() || window()->isMinimized())
        return;
    if (!m_repaintTimer.isActive() || m_repaintTimer.remainingTime() > kRepaintInterval.count())
        m_repaintTimer.start(kRepaintInterval);
}

void TrendChart::refresh()
{
    update();
    describe();
    emit refreshed();
    // A minimised window gets a hide event, and a show event when restored.
    if (!m_paused && isVisible())
        m_repaintTimer.start(kClockInterval);
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

std::vector<const SampleStore::Series *> TrendChart::shownSeries() const
{
    std::vector<const SampleStore::Series *> shown;
    for (const SampleStore::Series &s : m_store.series())
        if (isSeriesShown(s.name))
            shown.push_back(&s);
    return shown;
}

ChartView::Window TrendChart::heldWindow() const
{
    const qint64 now = m_paused ? m_frozenEndMSecs : m_present();
    qint64 oldest = m_store.originMSecs();
    for (const SampleStore::Series &s : m_store.series())
        if (!s.samples.empty())
            oldest = std::min(oldest, s.samples.front().msecs);
    return {std::min(oldest, now), now};
}

ChartView::Window TrendChart::shownWindow() const
{
    if (m_zoomed)
        return *m_zoomed;
    std::optional<qint64> earliest;
    for (const SampleStore::Series *s : shownSeries())
        if (!s->samples.empty())
            earliest = std::min(earliest.value_or(s->samples.front().msecs), s->samples.front().msecs);
    const qint64 now = m_paused ? m_frozenEndMSecs : m_present();
    const auto [start, end] = ChartGeometry::timeWindow(now, m_span.count(), m_store.originMSecs(), earliest);
    return {start, end};
}

std::vector<TrendChart::Strip> TrendChart::strips() const
{
    ChartGeometry::Extent time;
    std::vector<const SampleStore::Series *> shown = shownSeries();
    const ChartView::Window window = shownWindow();
    time.startMSecs = window.startMSecs;
    time.endMSecs = window.endMSecs;
    // From the summary: the extremes cost a few runs, not every sample in the span.
    const auto widen = [&time](ChartGeometry::Extent &extent, const SampleStore::Series &s) {
        const auto [first, last] = ChartGeometry::samplesBetween(s.samples, time.startMSecs, time.endMSecs);
        const SampleSummary::Range range = s.extremes(first - s.samples.begin(), last - s.samples.begin());
        extent.lowest = std::min(extent.lowest, range.lowest);
        extent.highest = std::max(extent.highest, range.highest);
    };

    const QFontMetricsF fm(font());
    const ChartGeometry::LabelMetrics labels{
        fm.height(), [&fm](const QString &text) { return fm.horizontalAdvance(text); }, locale()};
    std::vector<Strip> strips;
    if (!m_stacked || shown.empty()) {
        ChartGeometry::Extent extent = time;
        for (const SampleStore::Series *s : shown)
            widen(extent, *s);
        // The highlighted series painted last, over the others.
        std::stable_partition(shown.begin(), shown.end(),
                              [this](const SampleStore::Series *s) { return s->name != m_highlighted; });
        strips.push_back({ChartGeometry(extent, size(), devicePixelRatioF(), labels, m_valueRange), shown});
        return strips;
    }
    // Only the strips scrolled to.
    const int count = int(shown.size());
    const int fit = ChartGeometry::stripsShown(count, size(), fm.height());
    const int first = ChartGeometry::firstStripShown(m_firstStrip, count, fit);
    shown = {shown.begin() + first, shown.begin() + std::min(count, first + fit)};
    std::vector<ChartGeometry::Extent> extents(shown.size(), time);
    for (size_t i = 0; i < shown.size(); ++i)
        widen(extents[i], *shown[i]);
    std::vector<ChartGeometry> stack =
        ChartGeometry::stacked(extents, size(), devicePixelRatioF(), labels, m_valueRange);
    for (size_t i = 0; i < shown.size(); ++i)
        strips.push_back({std::move(stack[i]), {shown[i]}});
    return strips;
}

void TrendChart::describe()
{
    // Reading every shown sample in the span again costs as much as the
    // painting does: only while an assistive technology listens.
    if (!QAccessible::isActive())
        return;
    const ChartView::Window window = shownWindow();
    const QString text = describeChart(shownSeries(), window.startMSecs, window.endMSecs, locale());
    if (text != accessibleDescription())
        setAccessibleDescription(text);
}

void TrendChart::setPresent(std::function<qint64()> present)
{
    m_present = std::move(present);
    update();
}
