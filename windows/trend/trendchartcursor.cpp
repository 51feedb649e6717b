// The chart's cursor: a line at a moment, the shown series' values there for
// the eye and, as text, for a screen reader; and the box a drag zooms to.
#include "windows/trend/trendchart.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

qint64 TrendChart::msecsAt(double x) const
{
    const double share = m_lastPlot.width() > 0 ? (x - m_lastPlot.left()) / m_lastPlot.width() : 0;
    return m_lastWindow.startMSecs + qint64(std::llround(share * double(m_lastWindow.width())));
}

void TrendChart::setCursorAt(std::optional<qint64> msecs)
{
    if (msecs == m_cursorMSecs)
        return;
    m_cursorMSecs = msecs;
    update();
    emit cursorRead(readout());
}

QString TrendChart::readout() const
{
    if (!m_cursorMSecs)
        return {};
    const qint64 at = *m_cursorMSecs;
    QStringList values;
    for (const SampleStore::Series *s : shownSeries()) {
        const auto sample = ChartView::sampleAt(
            s->samples, at, ChartGeometry::gapLimitMSecs(s->samples.begin(), s->samples.end()));
        values << (sample ? tr("%1 %2").arg(s->name, locale().toString(sample->value, 'g',
                                                                       QLocale::FloatingPointShortest))
                          : tr("%1 none").arg(s->name));
    }
    const QString time = QDateTime::fromMSecsSinceEpoch(at).toString(QStringLiteral("HH:mm:ss.zzz"));
    QString read = values.isEmpty() ? tr("At %1").arg(time)
                                    : tr("At %1: %2").arg(time, values.join(QStringLiteral(", ")));
    if (const QString wire = m_wireTextAt ? m_wireTextAt(at) : QString(); !wire.isEmpty())
        read += QStringLiteral("; ") + wire;
    return read;
}

void TrendChart::paintCursor(QPainter &p, const std::vector<Strip> &all) const
{
    const ChartGeometry &first = all.front().geometry;
    m_lastPlot = first.plotArea();
    m_lastWindow = {first.startMSecs(), first.endMSecs()};
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    if (m_dragFrom && !m_dragPans) { // the box a drag zooms to
        const double left =
            std::clamp(std::min(m_dragFrom->x(), m_dragTo), m_lastPlot.left(), m_lastPlot.right());
        const double right =
            std::clamp(std::max(m_dragFrom->x(), m_dragTo), m_lastPlot.left(), m_lastPlot.right());
        for (const Strip &strip : all) {
            const QRectF plot = strip.geometry.plotArea();
            p.fillRect(QRectF(left, plot.top(), right - left, plot.height()), QColor(0, 114, 178, 40));
        }
    }
    if (!m_cursorMSecs || *m_cursorMSecs < first.startMSecs() || *m_cursorMSecs > first.endMSecs()) {
        p.restore();
        return;
    }
    const qint64 at = *m_cursorMSecs;
    const QFontMetricsF fm(font());
    for (const Strip &strip : all) {
        const ChartGeometry &g = strip.geometry;
        const double x = std::round(g.x(at)) + 0.5;
        p.setPen(QPen(QColor(kLabelInk), 1, Qt::DashLine));
        p.drawLine(QPointF(x, g.plotArea().top()), QPointF(x, g.plotArea().bottom()));
        p.setRenderHint(QPainter::Antialiasing, true);
        for (const SampleStore::Series *s : strip.series) {
            const auto sample = ChartView::sampleAt(
                s->samples, at, ChartGeometry::gapLimitMSecs(s->samples.begin(), s->samples.end()));
            if (!sample)
                continue;
            const QPointF point(x, g.y(sample->value));
            if (!g.plotArea().contains(point))
                continue;
            p.setPen(QPen(QColor(kBackground), 1.5));
            p.setBrush(inkOf(s->name).colour);
            p.drawEllipse(point, 4, 4);
        }
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    // The time at the top of the line, on the side with room.
    const QString time = QDateTime::fromMSecsSinceEpoch(at).toString(QStringLiteral("HH:mm:ss.zzz"));
    const double width = fm.horizontalAdvance(time) + 8;
    const double x = first.x(at);
    const QRectF box(x + 4 + width > first.plotArea().right() ? x - 4 - width : x + 4,
                     first.plotArea().top() + 2, width, fm.height() + 2);
    p.fillRect(box, QColor(kBackground));
    p.setPen(QColor(kLabelInk));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box);
    p.drawText(box, Qt::AlignCenter, time);
    p.restore();
}
