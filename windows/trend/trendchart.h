#pragma once

#include "trend/chartgeometry.h"
#include "trend/chartview.h"
#include "trend/samplestore.h"

#include <QHash>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <optional>

class QScrollBar;

// The samples of a SampleStore against time, one line per shown series,
// painted with QPainter. However fast samples come, it repaints at most every
// kRepaintInterval; with nothing arriving it still repaints every
// kClockInterval, so the time axis ends now and a silent device shows as one.
// Paused or hidden, no timer runs. For a screen reader it is a chart whose
// description says each shown series' latest, lowest and highest value,
// brought up to date at the same pace.
//
// Read up close by keys and mouse: + and - (or the wheel) zoom the time axis,
// Left and Right (or a drag with the right button or Shift) pan, a dragged
// box zooms to its stretch, End follows the present again, Home shows
// everything held. A zoom or pan holds the view still as Pause does. A cursor
// follows the pointer (Shift+Left and Shift+Right move it, Escape hides it)
// and reads the time and each shown series' value there. Stacked, Up, Down,
// Page Up, Page Down and the wheel scroll the strips.
class TrendChart : public QWidget
{
    Q_OBJECT
public:
    static constexpr auto kRepaintInterval = std::chrono::milliseconds(100);
    static constexpr auto kClockInterval = std::chrono::milliseconds(1000);

    explicit TrendChart(const SampleStore &store, QWidget *parent = nullptr);

    struct SeriesStyle
    {
        QColor colour;
        Qt::PenStyle line = Qt::SolidLine;
        bool operator==(const SeriesStyle &) const = default;
    };
    // Its own colours whatever the desktop's palette: the series' colours
    // and the text keep their contrast against kBackground.
    static constexpr QRgb kBackground = 0xFFFFFF;
    static constexpr QRgb kGridInk = 0xE4E4E4; // a guide only: the labels carry the values
    static constexpr QRgb kFrameInk = 0x8A8A8A;
    static constexpr QRgb kLabelInk = 0x303030;
    static constexpr QRgb kClockInk = 0x707070;

    static constexpr int kStyles = 28;
    // The n-th style, cycling after kStyles: Okabe and Ito's colours, told
    // apart with the common colour-vision deficiencies, solid, then dashed,
    // dotted, dash-dotted.
    static SeriesStyle styleAt(int n);
    // The one place the chart and its legend take a series' look from. A name
    // keeps its style as long as the chart lives, through a Clear too.
    SeriesStyle seriesStyle(const QString &name) const;

    // Zero: everything held.
    void setSpan(std::chrono::milliseconds span);
    // A strip per shown series, each with its own value axis, over one time
    // axis; or (false) every series on one value axis.
    void setStacked(bool stacked);
    // The view stands still; the store goes on collecting.
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }
    void setSeriesShown(const QString &name, bool shown);
    bool isSeriesShown(const QString &name) const { return !m_hidden.contains(name); }
    // One series in front, the others faded (empty: all alike).
    void setHighlighted(const QString &name);
    // The value axis from the first to the second; none: following the data.
    void setValueRange(std::optional<std::pair<double, double>> range);

    // Below 1 zooms in, around the cursor if shown, else the middle.
    void zoom(double factor);
    // By a share of the window's width, later when positive.
    void pan(double share);
    void followPresent();
    void showEverythingHeld();
    // What "now" is: the wire clock for the live session; for a recording,
    // its last sample, so the chart follows the file as it grows.
    void setPresent(std::function<qint64()> present);
    // What else the cursor reads at a moment (a recording's wire lines).
    void setWireText(std::function<QString(qint64)> wireTextAt) { m_wireTextAt = std::move(wireTextAt); }

    QSize sizeHint() const override { return {640, 360}; }

signals:
    // The throttled repaint came: whatever shows the latest values updates now.
    void refreshed();
    // Held still (Pause, a zoom or pan) or following the present again.
    void pausedChanged(bool paused);
    // The time shown changed by the user's doing; following: it ends now.
    void viewMoved(qint64 startMSecs, qint64 endMSecs, bool following);
    // The cursor's time and the shown series' values there; empty: no cursor.
    void cursorRead(const QString &readout);

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    struct Strip
    {
        ChartGeometry geometry;
        std::vector<const SampleStore::Series *> series;
    };
    // Where the shown series in the span go, as the view stands now: one strip
    // for all, or one each when stacked.
    std::vector<Strip> strips() const;
    std::vector<const SampleStore::Series *> shownSeries() const;
    // What is held, from the oldest sample (or the start) to now or the frozen moment.
    ChartView::Window heldWindow() const;
    ChartView::Window shownWindow() const;
    // Shows `window`, held still.
    void holdAt(ChartView::Window window);
    void announceView();
    void scrollStrips(int by);
    void syncStripBar();
    qint64 msecsAt(double x) const;
    void setCursorAt(std::optional<qint64> msecs);
    QString readout() const;
    void paintCursor(QPainter &p, const std::vector<Strip> &all) const;
    // The series' look as painted now: faded while another is highlighted.
    SeriesStyle inkOf(const QString &name) const;
    void scheduleRepaint();
    void refresh();
    // The accessible description, while accessibility is on; set again only when it changed.
    void describe();
    void paintGrid(QPainter &p, const ChartGeometry &g, bool timeLabels) const;
    // The shown series of a strip, in order, each over the ones before.
    void paintSeries(QPainter &p, const ChartGeometry &g,
                     const std::vector<const SampleStore::Series *> &shown) const;

    const SampleStore &m_store;
    QSet<QString> m_hidden;
    mutable QHash<QString, int> m_styleOf; // in order of first sight
    std::chrono::milliseconds m_span{60'000};
    bool m_paused = false;
    bool m_stacked = false;
    qint64 m_frozenEndMSecs = 0;
    std::function<qint64()> m_present = wireClockMSecs;
    std::optional<ChartView::Window> m_zoomed; // none: the span up to now
    std::optional<std::pair<double, double>> m_valueRange;
    QString m_highlighted;
    std::optional<qint64> m_cursorMSecs;
    std::function<QString(qint64)> m_wireTextAt;
    int m_firstStrip = 0;
    QScrollBar *m_stripBar = nullptr;
    // A drag: where it began, and whether it pans (else it draws a box).
    std::optional<QPointF> m_dragFrom;
    double m_dragTo = 0;
    bool m_dragPans = false;
    ChartView::Window m_dragWindow;
    // Where the last painting put the time axis: the pointer is read against what was seen.
    mutable QRectF m_lastPlot;
    mutable ChartView::Window m_lastWindow;
    QTimer m_repaintTimer;
};
