// Painting the chart: grid, axis labels and the series.
#include "app/trendchart.h"

#include <QDateTime>
#include <QPainter>
#include <algorithm>
#include <cmath>

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
    const View v = computeView();
    paintGrid(p, v);
    paintSeries(p, v);
    if (!v.hasData) {
        p.setPen(kClock);
        p.drawText(v.plot, Qt::AlignCenter, tr("No values in this span yet"));
    }
}

void TrendChart::paintGrid(QPainter &p, const View &v) const
{
    const QFontMetricsF fm(font());
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(kGrid, 1));
    const int rows = int(std::lround((v.high - v.low) / v.valueStep));
    for (int i = 0; i <= rows; ++i) {
        const double value = v.low + i * v.valueStep;
        const double y = std::round(v.y(value));
        p.setPen(QPen(kGrid, 1));
        p.drawLine(QPointF(v.plot.left(), y), QPointF(v.plot.right(), y));
        p.setPen(kLabel);
        const QRectF box(0, y - fm.height() / 2, v.plot.left() - 8, fm.height());
        p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, locale().toString(value, 'f', v.valueDecimals));
    }

    // Time ticks at whole steps since collecting began: each shows those
    // seconds and, below, the clock time.
    const qint64 origin = m_store.originMSecs();
    const qint64 step = v.timeStepMSecs;
    const qint64 sinceOrigin = v.startMSecs - origin;
    qint64 tick = origin + (sinceOrigin >= 0 ? (sinceOrigin + step - 1) / step : sinceOrigin / step) * step;
    for (; tick <= v.endMSecs; tick += step) {
        const double x = std::round(v.x(tick));
        p.setPen(QPen(kGrid, 1));
        p.drawLine(QPointF(x, v.plot.top()), QPointF(x, v.plot.bottom()));
        const QString seconds = locale().toString((tick - origin) / 1000) + QStringLiteral(" s");
        const QString clock = QDateTime::fromMSecsSinceEpoch(tick).toString(QStringLiteral("HH:mm:ss"));
        const double half = fm.horizontalAdvance(clock) / 2 + 2;
        if (x - half < 0 || x + half > width())
            continue;
        const double top = v.plot.bottom() + 5;
        p.setPen(kLabel);
        p.drawText(QRectF(x - half * 2, top, half * 4, fm.height()), Qt::AlignHCenter | Qt::AlignTop,
                   seconds);
        p.setPen(kClock);
        p.drawText(QRectF(x - half * 2, top + fm.height(), half * 4, fm.height()),
                   Qt::AlignHCenter | Qt::AlignTop, clock);
    }
    p.setPen(QPen(kFrame, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(v.plot);
}

void TrendChart::paintSeries(QPainter &p, const View &v) const
{
    p.save();
    p.setClipRect(v.plot.adjusted(1, 1, 0, 0));
    p.setRenderHint(QPainter::Antialiasing, true);
    // One point per device pixel column is all a screen can show: a long
    // series is cut to the first, lowest, highest and last sample of each.
    const double columnsPerPixel = devicePixelRatioF();
    const qsizetype columns = qsizetype(v.plot.width() * columnsPerPixel) + 1;
    const auto &all = m_store.series();
    for (int index = 0; index < int(all.size()); ++index) {
        const SampleStore::Series &s = all[size_t(index)];
        if (!isSeriesShown(s.name) || s.samples.empty())
            continue;
        auto [first, last] = samplesBetween(s.samples, v.startMSecs, v.endMSecs);
        const auto lastShown = last; // the newest sample in view ends at the dot
        // One sample beyond each edge, so the line enters and leaves the frame.
        if (first != s.samples.begin())
            --first;
        if (last != s.samples.end())
            ++last;
        const qsizetype count = last - first;
        if (count <= 0)
            continue;

        QPolygonF line;
        if (count <= 2 * columns) {
            line.reserve(count);
            for (auto it = first; it != last; ++it)
                line << QPointF(v.x(it->msecs), v.y(it->value));
        } else {
            line.reserve(columns * 4);
            qsizetype column = -1;
            double low = 0, high = 0, lastX = 0, lastValue = 0;
            const auto flush = [&] {
                if (column >= 0)
                    line << QPointF(lastX, v.y(low)) << QPointF(lastX, v.y(high))
                         << QPointF(lastX, v.y(lastValue));
            };
            for (auto it = first; it != last; ++it) {
                const double x = v.x(it->msecs);
                const auto c = qsizetype(std::floor((x - v.plot.left()) * columnsPerPixel));
                if (c != column) {
                    flush();
                    column = c;
                    low = high = it->value;
                    line << QPointF(x, v.y(it->value));
                }
                low = std::min(low, it->value);
                high = std::max(high, it->value);
                lastX = x;
                lastValue = it->value;
            }
            flush();
        }

        const QColor colour = seriesColour(index);
        p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(line);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        if (count * 8 <= v.plot.width()) // few samples: each is marked
            for (const QPointF &point : std::as_const(line))
                p.drawEllipse(point, 2.5, 2.5);
        // The newest sample's dot may stand on the right edge: drawn whole.
        p.setClipping(false);
        if (lastShown != s.samples.begin()) {
            const SampleStore::Sample &newest = *(lastShown - 1);
            if (newest.msecs >= v.startMSecs)
                p.drawEllipse(QPointF(v.x(newest.msecs), v.y(newest.value)), 3.5, 3.5);
        }
        p.setClipping(true);
    }
    p.restore();
}
