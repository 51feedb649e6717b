// The trend window and recording: the flood with the trend window open and
// recording on; the program's wake-ups with the trend window open and nothing
// arriving, and its repaints under a trickle when shown, paused and hidden;
// the memory 100,000 samples take with the trend window open; 20,000 distinct
// names at the flood's pace with the trend window open. The store at its
// bound is trendbound.cpp's.
#include "benchmarks.h"
#include "harness.h"
#include "trendrig.h"
#include "windows/trend/trendchart.h"
#include "windows/trend/trendwindow.h"

#include <QAbstractEventDispatcher>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThreadPool>

#include <cstdio>
#include <malloc.h>
#include <sys/resource.h>

namespace bench {
namespace {

// Voluntary context switches of the whole program while its event loop sits
// for `length` with nothing arriving, less the one that ends the window.
double wakeUpsPer10s(std::chrono::milliseconds length)
{
    QThreadPool::globalInstance()->waitForDone(); // see idle.cpp
    const double wakes = double(runIdleFor(length).processSwitches - 1);
    return std::max(0.0, wakes) * 10000.0 / double(length.count());
}

// Chart refreshes in one second while a line arrives every 20 ms.
int refreshesUnderTrickle(Rig &rig, TrendChart &chart)
{
    int refreshes = 0;
    QObject observer;
    QObject::connect(&chart, &TrendChart::refreshed, &observer, [&] { ++refreshes; });
    std::thread writer([&] {
        for (int i = 0; i < 50; ++i) {
            const QByteArray line = "PV01=" + QByteArray::number(i) + '\r';
            writeAll(rig.device->fd(), line.constData(), size_t(line.size()), rig.device->stopping());
            std::this_thread::sleep_for(20ms);
        }
    });
    runEventsFor(1000ms);
    writer.join();
    runEventsFor(150ms); // the last one's repaint
    return refreshes;
}

void floodWhileRecording(int lines)
{
    Rig rig;
    rig.identify();
    openTrend(rig);
    Recorder &recorder = rig.program->recorder();
    const QString path = rig.dir.filePath(QStringLiteral("flood.csv"));
    if (!recorder.start(path))
        fatal(QStringLiteral("cannot record to ") + path);
    const auto [counted, seconds] = pour(rig, numberedLines("SV01", lines), quint64(lines));
    recorder.stop();
    QFile file(path);
    const qint64 rows = file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') - 1 : -1;
    const qint64 lost = qint64(lines) - qint64(counted);
    if (lost != 0 || rows != qint64(counted))
        markBroken();
    const double rate = double(counted) / seconds;
    note(QStringLiteral("trend flood: %1 lines in %2 s, %3 rows recorded")
             .arg(counted)
             .arg(seconds, 0, 'f', 3)
             .arg(rows));
    report(QStringLiteral("trend flood, recording (throughput)"), rate, QStringLiteral("lines/s"),
           QStringLiteral(">= 200000"), rate >= 200000 && lost == 0);
    report(QStringLiteral("trend flood, recording (lines lost)"), double(lost), QStringLiteral("lines"),
           QStringLiteral("0"), lost == 0 && rows == qint64(counted));
}

void idleWithTrendOpen(std::chrono::milliseconds length)
{
    Rig rig;
    rig.identify();
    TrendChart &chart = *openTrend(rig).findChild<TrendChart *>();
    runEventsFor(500ms); // the window's first paints settle
    QStringList timers;
    for (QWidget *w : QApplication::allWidgets()) {
        QObjectList objects = w->findChildren<QObject *>();
        objects << w;
        for (QObject *o : std::as_const(objects))
            for (const auto &t : QAbstractEventDispatcher::instance()->registeredTimers(o))
                timers << QLatin1String(o->metaObject()->className()) + u' ' + QString::number(t.interval);
    }
    note(QStringLiteral("trend open, idle: active timers: ") +
         (timers.isEmpty() ? QStringLiteral("none") : timers.join(QStringLiteral(", "))));
    const double shown = wakeUpsPer10s(length);
    chart.setPaused(true);
    const double paused = wakeUpsPer10s(length);
    // Shown, the time axis moves on once a second even when nothing arrives.
    report(QStringLiteral("trend open, idle: wake-ups per 10 s"), shown, QStringLiteral("wake-ups"),
           QStringLiteral("10 (pass <= 12)"), shown <= 12);
    report(QStringLiteral("trend paused, idle: wake-ups per 10 s"), paused, QStringLiteral("wake-ups"),
           QStringLiteral("0 (pass <= 2)"), paused <= 2);

    chart.setPaused(false);
    const int whileShown = refreshesUnderTrickle(rig, chart);
    chart.setPaused(true);
    const int whilePaused = refreshesUnderTrickle(rig, chart);
    chart.setPaused(false);
    chart.window()->hide();
    const int whileHidden = refreshesUnderTrickle(rig, chart);
    note(QStringLiteral("trend: chart refreshes in 1 s of a line every 20 ms: shown %1, paused %2, hidden %3")
             .arg(whileShown)
             .arg(whilePaused)
             .arg(whileHidden));
    report(QStringLiteral("trend repaints per s, 50 lines/s (shown)"), whileShown, QStringLiteral("repaints"),
           QStringLiteral("<= 11"), whileShown <= 11 && whileShown > 0);
    report(QStringLiteral("trend repaints per s, 50 lines/s (paused, hidden)"), whilePaused + whileHidden,
           QStringLiteral("repaints"), QStringLiteral("0"), whilePaused + whileHidden == 0);
}

void memoryOfSamples(int samples)
{
    Rig rig;
    rig.identify();
    malloc_trim(0);
    const QString self = QString::number(QCoreApplication::applicationPid());
    const double before = statusKb(self, "VmRSS");
    const auto [counted, seconds] = pour(rig, numberedLines("PV01", samples), quint64(samples));
    Q_UNUSED(seconds);
    if (counted != quint64(samples))
        markBroken();
    TrendWindow &trend = openTrend(rig);
    trend.findChild<QComboBox *>()->setCurrentIndex(3); // everything held
    runEventsFor(300ms);
    malloc_trim(0);
    const double after = statusKb(self, "VmRSS");
    const double grown = (after - before) / 1024;
    note(QStringLiteral("trend memory: %1 kB before, %2 kB after %3 samples with the trend window open")
             .arg(before)
             .arg(after)
             .arg(samples));
    report(QStringLiteral("trend memory, 100000 samples and window open"), grown, QStringLiteral("MB"),
           QStringLiteral("< 20"), grown < 20);
}

// A device that invents names: the store keeps the first kMaxSeries, and
// neither the chart nor the legend may make the window thread late or the
// program grow with the names sent.
void manyNames(int names, int rounds)
{
    Rig rig;
    rig.identify();
    QByteArray bytes;
    bytes.reserve(qsizetype(names) * rounds * 10);
    for (int r = 0; r < rounds; ++r)
        for (int i = 0; i < names; ++i)
            bytes += 'A' + QByteArray::number(i) + "=1\r";
    const quint64 lines = quint64(names) * quint64(rounds);
    malloc_trim(0);
    const QString self = QString::number(QCoreApplication::applicationPid());
    const double idle = statusKb(self, "VmRSS");

    TrendWindow &trend = openTrend(rig);
    runEventsFor(300ms);
    LatenessProbe probe;
    probe.start();
    const auto [counted, seconds] = pour(rig, bytes, lines);
    runEventsFor(300ms); // the last refresh of chart and legend
    probe.timer.stop();
    // What one repaint of the whole window costs with every series it can hold.
    const double worstRepaint = worstRepaintMs(trend, 5);
    malloc_trim(0);
    const double grown = (statusKb(self, "VmRSS") - idle) / 1024;
    const qint64 lost = qint64(lines) - qint64(counted);
    if (lost != 0)
        markBroken();
    note(QStringLiteral("trend, %1 names x %2: %3 lines in %4 s (%5 lines/s), %6 series held")
             .arg(names)
             .arg(rounds)
             .arg(counted)
             .arg(seconds, 0, 'f', 3)
             .arg(double(counted) / seconds, 0, 'f', 0)
             .arg(trend.findChild<QAbstractItemView *>()->model()->rowCount()));
    report(QStringLiteral("trend, 20000 names (lines lost)"), double(lost), QStringLiteral("lines"),
           QStringLiteral("0"), lost == 0);
    report(QStringLiteral("trend, 20000 names: 10 ms timer worst lateness"), probe.latenessMs(),
           QStringLiteral("ms"), QStringLiteral("< 100"), probe.latenessMs() < 100);
    report(QStringLiteral("trend, 20000 names: window repaint, worst of 5"), worstRepaint,
           QStringLiteral("ms"), QStringLiteral("< 10"), worstRepaint < 10);
    report(QStringLiteral("trend, 20000 names: memory over the idle panel"), grown, QStringLiteral("MB"),
           QStringLiteral("< 30"), grown < 30);
}

} // namespace

void benchTrend(int lines, std::chrono::milliseconds idleLength)
{
    std::fprintf(stderr, "trend: %d lines recorded, %lld ms idle\n", lines,
                 static_cast<long long>(idleLength.count()));
    floodWhileRecording(lines);
    idleWithTrendOpen(idleLength);
    memoryOfSamples(100'000);
    manyNames(20'000, 5);
}

} // namespace bench
