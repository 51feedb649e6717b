#pragma once

#include "trend/chartgeometry.h"
#include "trend/samplestore.h"

#include <QHash>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <chrono>

// The samples of a SampleStore against time, one line per shown series,
// painted with QPainter. However fast samples come, it repaints at most every
// kRepaintInterval; with nothing arriving it still repaints every
// kClockInterval, so the time axis ends now and a silent device shows as one.
// Paused or hidden, no timer runs. For a screen reader it is a chart whose
// description says each shown series' latest, lowest and highest value,
// brought up to date at the same pace.
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
    void setSeriesShown(const QString &name, bool shown);
    bool isSeriesShown(const QString &name) const { return !m_hidden.contains(name); }

    QSize sizeHint() const override { return {640, 360}; }

signals:
    // The throttled repaint came: whatever shows the latest values updates now.
    void refreshed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    struct Strip
    {
        ChartGeometry geometry;
        std::vector<const SampleStore::Series *> series;
    };
    // Where the shown series in the span go, as the view stands now: one strip
    // for all, or one each when stacked.
    std::vector<Strip> strips() const;
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
    QTimer m_repaintTimer;
};
