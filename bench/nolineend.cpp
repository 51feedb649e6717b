// No line end: a long stream without a CR must neither grow the program's
// memory nor stall the window thread, and a good reply after it must still work.
#include "benchmarks.h"
#include "harness.h"

#include <QLabel>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace bench {

void benchNoLineEnd(qint64 megabytes)
{
    std::fprintf(stderr, "no line end: %lld MB\n", static_cast<long long>(megabytes));
    Rig rig;
    rig.identify();
    runEventsFor(200ms);
    const QString self = QString::number(::getpid());
    const double rssBefore = statusKb(self, "VmRSS");
    double rssPeak = rssBefore;
    QLabel *const duty = rig.widgets.dutyDisplay;

    QEventLoop loop;
    LatenessProbe probe;
    std::atomic<bool> written{false};
    probe.onTick = [&](Clock::time_point) {
        rssPeak = std::max(rssPeak, statusKb(self, "VmRSS"));
        // Done when the reply written after the stream has been shown.
        if (written && duty->text() == QLatin1String("42"))
            loop.quit();
    };
    const quint64 before = rig.linesReceived;
    const Clock::time_point start = Clock::now();
    std::thread writer([&] {
        // One reused chunk: the writer's own memory stays out of the figure.
        std::string chunk(1 << 16, 'A');
        for (size_t i = 0; i < chunk.size(); i += 61)
            chunk[i] = char('0' + i % 10);
        const qint64 total = megabytes << 20;
        for (qint64 done = 0; done < total && !rig.device->stopping(); done += qint64(chunk.size()))
            writeAll(rig.device->fd(), chunk.data(), chunk.size(), rig.device->stopping());
        // The CR ends the overlong line; then a good reply must still work.
        writeAll(rig.device->fd(), "\rSV01=42\r", 9, rig.device->stopping());
        written = true;
    });
    probe.start();
    runGuarded(loop);
    probe.timer.stop();
    writer.join();
    const double seconds = ms(Clock::now() - start) / 1e3;
    // Two lines in all: the overlong one ("???") and the reply.
    const quint64 lines = rig.linesReceived - before;
    const bool recovered = duty->text() == QLatin1String("42") && lines == 2;
    if (!recovered) {
        markBroken();
        note(QStringLiteral("no line end: %1 lines interpreted, label %2").arg(lines).arg(duty->text()));
    }
    const double growthMb = (rssPeak - rssBefore) / 1024;
    const double lateness = probe.latenessMs();
    note(QStringLiteral("no line end: %1 MB in %2 s (%3 MB/s); resident %4 MB before, peak %5 MB")
             .arg(megabytes)
             .arg(seconds, 0, 'f', 2)
             .arg(double(megabytes) / seconds, 0, 'f', 1)
             .arg(rssBefore / 1024, 0, 'f', 1)
             .arg(rssPeak / 1024, 0, 'f', 1));
    report(QStringLiteral("no line end: resident memory growth"), growthMb, QStringLiteral("MB"),
           QStringLiteral("< 5"), growthMb < 5 && recovered);
    report(QStringLiteral("no line end: 10 ms timer worst lateness"), lateness, QStringLiteral("ms"),
           QStringLiteral("< 50"), lateness < 50);
}

} // namespace bench
