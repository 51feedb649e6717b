// Painting the chart: grid, axis labels and the series.
#include "app/trendchart.h"

#include <QDateTime>
#include <QPainter>

namespace {

const QColor kGrid(0xE4, 0xE4, 0xE4);
const QColor kFrame(0xA0, 0xA0, 0xA0);
const QColor kLabel(0x30, 0x30, 0x30);
const QColor kClock(0x70, 0x70, 0x70);

} // namespace

void TrendChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    const ChartGeometry g = chartGeometry();
    paintGrid(p, g);
    paintSeries(p, g);
    if (!g.hasData()) {
        p.setPen(kClock);
        p.drawText(g.plotArea(), Qt::AlignCenter, tr("No values in this span yet"));
    }
}

void TrendChart::paintGrid(QPainter &p, const ChartGeometry &g) const
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
        if (tick.x - half < 0 || tick.x + half > width())
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

void TrendChart::paintSeries(QPainter &p, const ChartGeometry &g) const
{
    p.save();
    p.setClipRect(g.plotArea().adjusted(1, 1, 0, 0));
    p.setRenderHint(QPainter::Antialiasing, true);
    for (const SampleStore::Series &s : m_store.series()) {
        if (!isSeriesShown(s.name) || s.samples.empty())
            continue;
        auto [first, last] = ChartGeometry::samplesBetween(s.samples, g.startMSecs(), g.endMSecs());
        const auto lastShown = last; // the newest sample in view ends at the dot
        // One sample beyond each edge, so the line enters and leaves the frame.
        if (first != s.samples.begin())
            --first;
        if (last != s.samples.end())
            ++last;
        const qsizetype count = last - first;
        if (count <= 0)
            continue;
        const std::vector<QPointF> line = g.polyline(first, last);

        const SeriesStyle style = seriesStyle(s.name);
        const QColor colour = style.colour;
        p.setPen(QPen(colour, 2, style.line, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(line.data(), int(line.size()));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        if (count * 8 <= g.plotArea().width()) // few samples: each is marked
            for (const QPointF &point : line)
                p.drawEllipse(point, 2.5, 2.5);
        // The newest sample's dot may stand on the right edge: drawn whole.
        p.setClipping(false);
        if (lastShown != s.samples.begin()) {
            const SampleStore::Sample &newest = *(lastShown - 1);
            if (newest.msecs >= g.startMSecs())
                p.drawEllipse(g.pointFor(newest), 3.5, 3.5);
        }
        p.setClipping(true);
    }
    p.restore();
}
