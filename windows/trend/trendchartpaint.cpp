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
        paintSeries(p, g, strip.series);
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

namespace {

// A dense line in device pixels: a run of rows in each column it passes
// (top and bottom included), and straight joins across columns it skips.
struct DenseLine
{
    struct Run
    {
        int column;
        int top;
        int bottom;
    };
    std::vector<Run> runs;
    std::vector<QLineF> joins;
    std::vector<QLine> visible; // the runs less what later lines cover
};

DenseLine denseLine(const ChartGeometry &g, const std::vector<ChartGeometry::Column> &columns, double dpr,
                    int thickness, qint64 gapLimitMSecs)
{
    DenseLine line;
    // A silence longer than the gap limit stays a gap, not a ramp.
    const double msecsPerColumn =
        double(g.endMSecs() - g.startMSecs()) / std::max(1.0, g.plotArea().width() * dpr);
    const int left = int(std::lround(g.plotArea().left() * dpr));
    const auto row = [&](double value) { return g.y(value) * dpr; };
    std::vector<DenseLine::Run> own;
    own.reserve(columns.size());
    const ChartGeometry::Column *previous = nullptr;
    for (const ChartGeometry::Column &c : columns) {
        double top = row(c.highest);
        double bottom = row(c.lowest);
        if (previous && previous->column == c.column - 1) { // touching the column before: a step rises
            top = std::min(top, row(previous->lowest));
            bottom = std::max(bottom, row(previous->highest));
        } else if (previous &&
                   double(c.column - previous->column) * msecsPerColumn <= double(gapLimitMSecs)) {
            line.joins.emplace_back(left + previous->column, row(previous->last), left + c.column,
                                    row(c.first));
        }
        // One row more: a flat stretch is as thick as the sparse lines.
        own.push_back({left + c.column, int(std::floor(top)), int(std::floor(bottom)) + thickness - 1});
        previous = &c;
    }
    // As thick as the sparse lines: each column also takes the runs of the
    // columns just before it.
    line.runs.reserve(own.size() + size_t(thickness));
    for (size_t i = 0; i < own.size(); ++i) {
        const int end = i + 1 < own.size() ? std::min(own[i + 1].column, own[i].column + thickness)
                                           : own[i].column + thickness;
        for (int column = own[i].column; column < end; ++column) {
            DenseLine::Run run{column, own[i].top, own[i].bottom};
            for (size_t j = i; j > 0 && own[j - 1].column > column - thickness; --j) {
                run.top = std::min(run.top, own[j - 1].top);
                run.bottom = std::max(run.bottom, own[j - 1].bottom);
            }
            line.runs.push_back(run);
        }
    }
    return line;
}

// What a later line paints over need not be painted: with 64 noisy lines on
// one axis, each column would otherwise be filled 64 times over. Lines are
// taken from the topmost down; each column keeps one covered stretch of rows.
void hideCovered(std::vector<DenseLine *> &topmostFirst, const QRect &plot)
{
    std::vector<std::pair<int, int>> covered(size_t(plot.width() + 1), {1, 0}); // empty: top > bottom
    for (DenseLine *line : topmostFirst) {
        for (const DenseLine::Run &run : line->runs) {
            const int index = run.column - plot.left();
            if (index < 0 || index > plot.width())
                continue;
            const int top = std::max(run.top, plot.top());
            const int bottom = std::min(run.bottom, plot.bottom());
            if (top > bottom)
                continue;
            auto &[coveredTop, coveredBottom] = covered[size_t(index)];
            if (coveredTop > coveredBottom) {
                line->visible.emplace_back(run.column, top, run.column, bottom);
                coveredTop = top;
                coveredBottom = bottom;
                continue;
            }
            if (top < coveredTop)
                line->visible.emplace_back(run.column, top, run.column, std::min(bottom, coveredTop - 1));
            if (bottom > coveredBottom)
                line->visible.emplace_back(run.column, std::max(top, coveredBottom + 1), run.column, bottom);
            if (top <= coveredBottom + 1 && bottom >= coveredTop - 1) {
                coveredTop = std::min(coveredTop, top);
                coveredBottom = std::max(coveredBottom, bottom);
            } else if (bottom - top > coveredBottom - coveredTop) {
                coveredTop = top;
                coveredBottom = bottom;
            }
        }
    }
}

} // namespace

void TrendChart::paintSeries(QPainter &p, const ChartGeometry &g,
                             const std::vector<const SampleStore::Series *> &shown) const
{
    const double dpr = devicePixelRatioF();
    const int thickness = std::max(1, int(std::lround(2 * dpr)));
    // What each series shows: the samples in the span and one beyond each
    // edge, so the line enters and leaves the frame.
    struct Shown
    {
        qsizetype first, last, newest; // newest: one past the newest in the span
        std::optional<DenseLine> dense;
    };
    std::vector<Shown> lines;
    std::vector<DenseLine *> topmostFirst;
    for (const SampleStore::Series *s : shown) {
        const auto [from, to] = ChartGeometry::samplesBetween(s->samples, g.startMSecs(), g.endMSecs());
        const qsizetype newest = to - s->samples.begin();
        const qsizetype first = std::max<qsizetype>(0, (from - s->samples.begin()) - 1);
        const qsizetype last = std::min<qsizetype>(qsizetype(s->samples.size()), newest + 1);
        Shown &line = lines.emplace_back(Shown{first, last, newest, std::nullopt});
        // Dashes on a line denser than they are long show nothing, and Qt's
        // stroker takes seconds over 64 long noisy lines: a dense line is a
        // vertical stroke per device pixel column, as thick as the others.
        if ((last - first) * 4 > qsizetype(g.plotArea().width()))
            line.dense = denseLine(
                g, g.columns(*s, first, last), dpr, thickness,
                ChartGeometry::gapLimitMSecs(s->samples.begin() + first, s->samples.begin() + last));
    }
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        if (it->dense)
            topmostFirst.push_back(&*it->dense);
    const QRectF plot = g.plotArea();
    const QRect devicePlot(
        QPoint(int(std::lround((plot.left() + 1) * dpr)), int(std::lround((plot.top() + 1) * dpr))),
        QPoint(int(std::lround(plot.right() * dpr)) - 1, int(std::lround(plot.bottom() * dpr)) - 1));
    hideCovered(topmostFirst, devicePlot);

    for (size_t i = 0; i < shown.size(); ++i) {
        const SampleStore::Series &s = *shown[i];
        const Shown &line = lines[i];
        if (line.first >= line.last)
            continue;
        const SeriesStyle style = inkOf(s.name); // faded when another is picked out
        p.save();
        p.setClipRect(plot.adjusted(1, 1, 0, 0));
        if (line.dense) {
            // In device pixels, one wide: Qt's quick path for cosmetic lines.
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setWorldTransform(QTransform::fromScale(1 / dpr, 1 / dpr));
            QPen pen(style.colour, 1, Qt::SolidLine, Qt::SquareCap);
            pen.setCosmetic(true);
            p.setPen(pen);
            p.drawLines(line.dense->visible.data(), int(line.dense->visible.size()));
            for (int pass = 0; pass < thickness; ++pass)
                for (const QLineF &join : line.dense->joins)
                    p.drawLine(join.translated(pass, 0));
            p.resetTransform();
        } else {
            std::vector<QPointF> points =
                g.polyline(s.samples.begin() + line.first, s.samples.begin() + line.last);
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setPen(QPen(style.colour, 2, style.line, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            for (const auto &[from, length] :
                 ChartGeometry::runs(points)) // broken where the device fell silent
                p.drawPolyline(points.data() + from, int(length));
            p.setPen(Qt::NoPen);
            p.setBrush(style.colour);
            if ((line.last - line.first) * 8 <= plot.width()) // few samples: each is marked
                for (const QPointF &point : points)
                    if (!std::isnan(point.x()))
                        p.drawEllipse(point, 2.5, 2.5);
        }
        // The newest sample's dot may stand on the right edge: drawn whole, but
        // not far outside a typed value range.
        p.setClipRect(plot.adjusted(-4, -4, 4, 4));
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(style.colour);
        if (line.newest > 0) {
            const SampleStore::Sample &newest = s.samples[size_t(line.newest - 1)];
            if (newest.msecs >= g.startMSecs())
                p.drawEllipse(g.pointFor(newest), 3.5, 3.5);
        }
        p.restore();
    }
}
