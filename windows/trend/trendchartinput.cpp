// Reading the chart up close: zoom, pan, the cursor and the strips' scrolling,
// by keys and by mouse.
#include "windows/trend/trendchart.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace {

// A wheel notch zooms by this; + and - by half and double.
constexpr double kWheelZoom = 0.8;
// Left and Right pan by this share of the width; Shift moves the cursor by a fiftieth.
constexpr double kPanShare = 0.1;
constexpr double kCursorShare = 0.02;

} // namespace

void TrendChart::zoom(double factor)
{
    const ChartView::Window shown = shownWindow();
    const qint64 anchor =
        m_cursorMSecs && *m_cursorMSecs >= shown.startMSecs && *m_cursorMSecs <= shown.endMSecs
            ? *m_cursorMSecs
            : shown.startMSecs + shown.width() / 2;
    holdAt(ChartView::zoomed(shown, factor, anchor, heldWindow()));
}

void TrendChart::pan(double share)
{
    const ChartView::Window shown = shownWindow();
    holdAt(ChartView::panned(shown, qint64(std::llround(share * double(shown.width()))), heldWindow()));
}

void TrendChart::followPresent()
{
    m_zoomed.reset();
    if (m_paused)
        setPaused(false);
    else
        update();
}

void TrendChart::showEverythingHeld()
{
    holdAt(ChartView::within(heldWindow(), heldWindow()));
}

void TrendChart::holdAt(ChartView::Window window)
{
    m_zoomed = window;
    if (!m_paused) { // as Pause does: the view stands still, the store goes on
        m_paused = true;
        m_frozenEndMSecs = m_present();
        m_repaintTimer.stop();
        emit pausedChanged(true);
    }
    announceView();
    update();
    describe();
    if (m_cursorMSecs)
        emit cursorRead(readout());
}

void TrendChart::announceView()
{
    const ChartView::Window shown = shownWindow();
    emit viewMoved(shown.startMSecs, shown.endMSecs, !m_paused);
}

void TrendChart::scrollStrips(int by)
{
    m_stripBar->setValue(m_stripBar->value() + by);
}

void TrendChart::syncStripBar()
{
    const QFontMetricsF fm(font());
    const int count = m_stacked ? int(shownSeries().size()) : 0;
    const int fit = ChartGeometry::stripsShown(count, size(), fm.height());
    m_stripBar->setRange(0, std::max(0, count - fit));
    m_stripBar->setPageStep(fit);
    // In the margin right of the plots, beside the strips and not the time axis.
    m_stripBar->setGeometry(width() - 16, 8, 12, std::max(20, int(height() - 2 * fm.height() - 20)));
    m_stripBar->setVisible(count > fit);
}

void TrendChart::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    syncStripBar();
}

void TrendChart::keyPressEvent(QKeyEvent *event)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const ChartView::Window shown = shownWindow();
    const auto moveCursor = [&](double share) {
        const qint64 from = m_cursorMSecs.value_or(shown.startMSecs + shown.width() / 2);
        const qint64 step = m_cursorMSecs ? qint64(std::llround(share * double(shown.width()))) : 0;
        setCursorAt(std::clamp(from + step, shown.startMSecs, shown.endMSecs));
    };
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoom(0.5);
        break;
    case Qt::Key_Minus:
        zoom(2);
        break;
    case Qt::Key_Left:
        shift ? moveCursor(-kCursorShare) : pan(-kPanShare);
        break;
    case Qt::Key_Right:
        shift ? moveCursor(kCursorShare) : pan(kPanShare);
        break;
    case Qt::Key_Home:
        showEverythingHeld();
        break;
    case Qt::Key_End:
        followPresent();
        break;
    case Qt::Key_Escape:
        setCursorAt(std::nullopt);
        break;
    case Qt::Key_Up:
        scrollStrips(-1);
        break;
    case Qt::Key_Down:
        scrollStrips(1);
        break;
    case Qt::Key_PageUp:
        scrollStrips(-m_stripBar->pageStep());
        break;
    case Qt::Key_PageDown:
        scrollStrips(m_stripBar->pageStep());
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TrendChart::wheelEvent(QWheelEvent *event)
{
    const QPoint notches = event->angleDelta() / 120;
    if (notches.x() != 0)
        pan(-kPanShare * notches.x());
    if (notches.y() == 0)
        return;
    if (m_stacked && m_stripBar->isVisible() && !(event->modifiers() & Qt::ControlModifier)) {
        scrollStrips(-notches.y());
        return;
    }
    // Around the moment under the pointer.
    setCursorAt(msecsAt(event->position().x()));
    zoom(std::pow(kWheelZoom, notches.y()));
}

void TrendChart::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    m_dragPans = event->button() == Qt::RightButton ||
                 (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    if (event->button() != Qt::LeftButton && !m_dragPans)
        return;
    m_dragFrom = event->position();
    m_dragTo = event->position().x();
    m_dragWindow = shownWindow();
}

void TrendChart::mouseMoveEvent(QMouseEvent *event)
{
    const double x = event->position().x();
    if (m_dragFrom && m_dragPans) {
        const double share = m_lastPlot.width() > 0 ? (m_dragFrom->x() - x) / m_lastPlot.width() : 0;
        holdAt(ChartView::panned(m_dragWindow, qint64(std::llround(share * double(m_dragWindow.width()))),
                                 heldWindow()));
        return;
    }
    m_dragTo = x;
    const bool over = x >= m_lastPlot.left() && x <= m_lastPlot.right();
    setCursorAt(over ? std::optional(msecsAt(x)) : std::nullopt);
    if (m_dragFrom)
        update();
}

void TrendChart::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragFrom && !m_dragPans && std::fabs(event->position().x() - m_dragFrom->x()) >= 4) {
        const qint64 a = msecsAt(std::clamp(m_dragFrom->x(), m_lastPlot.left(), m_lastPlot.right()));
        const qint64 b = msecsAt(std::clamp(event->position().x(), m_lastPlot.left(), m_lastPlot.right()));
        holdAt(ChartView::within({std::min(a, b), std::max(a, b)}, heldWindow()));
    }
    m_dragFrom.reset();
    update();
}

void TrendChart::leaveEvent(QEvent *event)
{
    if (!m_dragFrom)
        setCursorAt(std::nullopt);
    QWidget::leaveEvent(event);
}
