// What the trend benchmarks share: the trend window opened, lines poured in
// from a thread, repaints timed.
#include "trendrig.h"

#include "windows/trend/trendchart.h"
#include "windows/trend/trendwindow.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <thread>

namespace bench {

// The longest of `times` immediate repaints of the whole window, in ms.
double worstRepaintMs(QWidget &window, int times)
{
    double worst = 0;
    for (int i = 0; i < times; ++i) {
        QElapsedTimer clock;
        clock.start();
        window.repaint();
        worst = std::max(worst, double(clock.nsecsElapsed()) / 1e6);
    }
    return worst;
}

TrendWindow &openTrend(Rig &rig)
{
    TrendWindow &trend = rig.program->trend().showTrend();
    if (!runEventsUntil([&] { return trend.findChild<TrendChart *>()->isVisible(); }, 5s))
        fatal(QStringLiteral("the trend window did not show"));
    return trend;
}

// Writes the lines from a thread and runs the window until the session has
// handled them all, or until nothing more came for 3 s. Returns how many
// arrived and the seconds from the first write to the last line handled.
std::pair<quint64, double> pour(Rig &rig, const QByteArray &bytes, quint64 lines)
{
    const quint64 base = rig.linesReceived;
    QEventLoop loop;
    quint64 counted = 0;
    const Clock::time_point start = Clock::now();
    Clock::time_point lastSeen = start;
    QObject observer;
    QObject::connect(rig.port.get(), &SerialPort::readyRead, &observer, [&] {
        counted = rig.linesReceived - base;
        lastSeen = Clock::now();
        if (counted >= lines)
            loop.quit();
    });
    std::atomic<bool> written{false};
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &observer, [&] {
        if (written && Clock::now() - lastSeen > 3s)
            loop.quit();
    });
    watch.start(50ms);
    std::thread writer([&] {
        writeAll(rig.device->fd(), bytes.constData(), size_t(bytes.size()), rig.device->stopping());
        written = true;
    });
    runGuarded(loop);
    writer.join();
    return {counted, ms(lastSeen - start) / 1e3};
}

QByteArray numberedLines(const char *name, int lines)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(lines) * 12);
    for (int i = 0; i < lines; ++i)
        bytes += name + ("=" + QByteArray::number(i % 1000)) + '\r';
    return bytes;
}

} // namespace bench
