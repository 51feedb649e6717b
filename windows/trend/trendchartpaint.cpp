// Painting the chart: grid, axis labels and the series.
#include "windows/trend/trendchart.h"

#include <QDateTime>
#include <QPainter>
#include <cmath>

namespace {

const QColor kGrid(TrendChart::kGridInk);
const QColor kFrame(TrendChart::kFrameInk);
const QColor kLabel(TrendChart::kLabelInk);
const QColor kClock(TrendChart::kClockInk);

} // namespace

void TrendChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(kBackground));
    const std::vector<Strip> all = strips();
    const QFontMetricsF fm(font());
    for (const Strip &strip : all) {
        const ChartGeometry &g = strip.geometry;
        paintGrid(p, g, &strip == &all.back()); // the time under the lowest strip only
        for (const SampleStore::Series *s : strip.series)
            paintSeries(p, g, *s);
        const QRectF plot = g.plotArea();
        if (all.size() > 1) { // whose strip this is: a stretch of its line, the name in text ink
            const SeriesStyle style = seriesStyle(strip.series.front()->name);
            const double mid = plot.top() + 2 + fm.height() / 2;
            p.setPen(QPen(style.colour, 2, style.line, Qt::FlatCap));
            p.drawLine(QPointF(plot.left() + 6, mid), QPointF(plot.left() + 26, mid));
            p.setPen(kLabel);
            p.drawText(plot.adjusted(32, 2, -6, 0), Qt::AlignLeft | Qt::AlignTop, strip.series.front()->name);
        }
        if (!g.hasData() && plot.height() >= 2 * fm.height()) {
            p.setPen(kClock);
            p.drawText(plot, Qt::AlignCenter, tr("No values in this span yet"));
        }
    }
    paintCursor(p, all);
    if (hasFocus()) { // reached by Tab: it shows where the keyboard is
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

void TrendChart::paintGrid(QPainter &p, const ChartGeometry &g, bool timeLabels) const
{
    const QFontMetricsF fm(font());
    const QRectF plot = g.plotArea();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(kGrid, 1));
    for (const ChartGeometry::ValueTick &tick : g.valueTicks()) {
        p.setPen(QPen(kGrid, 1));
        p.drawLine(QPointF(plot.left(), tick.y), QPointF(plot.right(), tick.y));
        p.setPen(kLabel);
        const QRectF box(0, tick.y - fm.height() / 2, plot.left() - 8, fm.height());
        p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, tick.text);
    }

    // Each time tick shows the time since collecting began and, below, the clock time.
    const qint64 origin = m_store.originMSecs();
    for (const ChartGeometry::TimeTick &tick : g.timeTicks(origin)) {
        p.setPen(QPen(kGrid, 1));
        p.drawLine(QPointF(tick.x, plot.top()), QPointF(tick.x, plot.bottom()));
        const QString clock = QDateTime::fromMSecsSinceEpoch(tick.msecs).toString(QStringLiteral("HH:mm:ss"));
        const double half = fm.horizontalAdvance(clock) / 2 + 2;
        if (!timeLabels || tick.x - half < 0 || tick.x + half > width())
            continue;
        const double top = plot.bottom() + 5;
        p.setPen(kLabel);
        p.drawText(QRectF(tick.x - half * 2, top, half * 4, fm.height()), Qt::AlignHCenter | Qt::AlignTop,
                   tick.text);
        p.setPen(kClock);
        p.drawText(QRectF(tick.x - half * 2, top + fm.height(), half * 4, fm.height()),
                   Qt::AlignHCenter | Qt::AlignTop, clock);
    }
    p.setPen(QPen(kFrame, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
}

void TrendChart::paintSeries(QPainter &p, const ChartGeometry &g, const SampleStore::Series &s) const
{
    if (s.samples.empty())
        return;
    auto [first, last] = ChartGeometry::samplesBetween(s.samples, g.startMSecs(), g.endMSecs());
    const auto lastShown = last; // the newest sample in view ends at the dot
    // One sample beyond each edge, so the line enters and leaves the frame.
    if (first != s.samples.begin())
        --first;
    if (last != s.samples.end())
        ++last;
    const qsizetype count = last - first;
    if (count <= 0)
        return;
    const std::vector<QPointF> line = g.polyline(first, last);

    p.save();
    p.setClipRect(g.plotArea().adjusted(1, 1, 0, 0));
    p.setRenderHint(QPainter::Antialiasing, true);
    const SeriesStyle style = inkOf(s.name);
    // Dashes on a line denser than they are long show nothing, yet cost Qt's
    // stroker dearly (seconds for 64 noisy series): a dense line is drawn
    // solid. Its smoothing, too, costs up to 0.1 s a series when every pixel
    // column holds a swing across the plot, and shows on such a line as nothing.
    const bool dense = qsizetype(line.size()) * 4 > qsizetype(g.plotArea().width());
    p.setRenderHint(QPainter::Antialiasing, !dense);
    p.setPen(QPen(style.colour, 2, dense ? Qt::SolidLine : style.line, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    for (const auto &[from, length] : ChartGeometry::runs(line)) // broken where the device fell silent
        p.drawPolyline(line.data() + from, int(length));
    p.setPen(Qt::NoPen);
    p.setBrush(style.colour);
    if (count * 8 <= g.plotArea().width()) // few samples: each is marked
        for (const QPointF &point : line)
            if (!std::isnan(point.x()))
                p.drawEllipse(point, 2.5, 2.5);
    // The newest sample's dot may stand on the right edge: drawn whole, but
    // not far outside a typed value range.
    p.setClipRect(g.plotArea().adjusted(-4, -4, 4, 4));
    if (lastShown != s.samples.begin()) {
        const SampleStore::Sample &newest = *(lastShown - 1);
        if (newest.msecs >= g.startMSecs())
            p.drawEllipse(g.pointFor(newest), 3.5, 3.5);
    }
    p.restore();
}
