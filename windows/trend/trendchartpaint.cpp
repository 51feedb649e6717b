// Painting the chart: grid, axis labels and the series.
#include "windows/trend/trendchart.h"

#include <QDateTime>
#include <QPainter>

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

    p.save();
    p.setClipRect(g.plotArea().adjusted(1, 1, 0, 0));
    const SeriesStyle style = seriesStyle(s.name);
    // Dashes on a line denser than they are long show nothing, and Qt's
    // stroker takes seconds over 64 long noisy lines: a dense line is a
    // vertical stroke per device pixel column, as thick as the others.
    if (count * 4 > qsizetype(g.plotArea().width())) {
        paintDense(p, g, s, first - s.samples.begin(), last - s.samples.begin(), style.colour);
    } else {
        const std::vector<QPointF> line = g.polyline(first, last);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(style.colour, 2, style.line, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(line.data(), int(line.size()));
        p.setPen(Qt::NoPen);
        p.setBrush(style.colour);
        if (count * 8 <= g.plotArea().width()) // few samples: each is marked
            for (const QPointF &point : line)
                p.drawEllipse(point, 2.5, 2.5);
    }
    // The newest sample's dot may stand on the right edge: drawn whole.
    p.setClipping(false);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(style.colour);
    if (lastShown != s.samples.begin()) {
        const SampleStore::Sample &newest = *(lastShown - 1);
        if (newest.msecs >= g.startMSecs())
            p.drawEllipse(g.pointFor(newest), 3.5, 3.5);
    }
    p.restore();
}

void TrendChart::paintDense(QPainter &p, const ChartGeometry &g, const SampleStore::Series &s,
                            qsizetype first, qsizetype last, const QColor &colour) const
{
    const std::vector<ChartGeometry::Column> columns = g.columns(s, first, last);
    const double dpr = devicePixelRatioF();
    std::vector<QLineF> lines;
    lines.reserve(columns.size() + columns.size() / 8);
    const ChartGeometry::Column *previous = nullptr;
    for (const ChartGeometry::Column &c : columns) {
        const double x = g.columnX(c.column);
        double lowest = c.lowest;
        double highest = c.highest;
        if (previous && previous->column == c.column - 1) { // joined to the column before
            lowest = std::min(lowest, previous->last);
            highest = std::max(highest, previous->last);
        } else if (previous) { // across empty columns, a straight line
            lines.emplace_back(g.columnX(previous->column), g.y(previous->last), x, g.y(c.first));
        }
        // One device pixel longer: a flat stretch is as thick as a steep one.
        lines.emplace_back(x, g.y(highest), x, g.y(lowest) + 1 / dpr);
        previous = &c;
    }
    // A cosmetic pen one device pixel wide takes Qt's quick path; drawn
    // again a pixel to the right, as thick as the sparse lines.
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(colour, 0, Qt::SolidLine, Qt::SquareCap);
    pen.setCosmetic(true);
    p.setPen(pen);
    const int passes = std::max(1, int(std::lround(2 * dpr)));
    for (int pass = 0; pass < passes; ++pass) {
        p.drawLines(lines.data(), int(lines.size()));
        p.translate(1 / dpr, 0);
    }
    p.translate(-passes / dpr, 0);
}
