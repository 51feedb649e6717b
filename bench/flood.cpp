// Flood: as many lines as the pty accepts, counted by the session, while a
// 10 ms timer in the window thread shows how responsive the thread stays.
#include "benchmarks.h"
#include "harness.h"

#include <QLabel>

#include <algorithm>
#include <cstdio>

namespace bench {

void benchFlood(int lines)
{
    std::fprintf(stderr, "flood: %d lines\n", lines);
    Rig rig;
    rig.identify();
    const quint64 base = rig.linesReceived;

    QByteArray bytes;
    bytes.reserve(qsizetype(lines) * 10);
    for (int i = 0; i < lines; ++i)
        bytes += "SV01=" + QByteArray::number(i % 1000) + '\r';
    const QString lastText = QString::number((lines - 1) % 1000);

    QEventLoop loop;
    Clock::time_point lastSeen;
    quint64 counted = 0;
    QObject observer;
    // Connected after the session's own slot, so the count includes this arrival.
    QObject::connect(rig.port.get(), &SerialPort::readyRead, &observer, [&] {
        counted = rig.linesReceived - base;
        lastSeen = Clock::now();
        if (counted >= quint64(lines))
            loop.quit();
    });

    LatenessProbe probe;
    std::atomic<bool> written{false};
    probe.onTick = [&](Clock::time_point now) {
        // Nothing more is coming: whatever is missing was lost.
        if (written && now - lastSeen > 3s)
            loop.quit();
    };

    const double cpuBefore = cpuMs(CLOCK_THREAD_CPUTIME_ID);
    const Clock::time_point start = Clock::now();
    lastSeen = start;
    Clock::time_point writeEnd;
    std::thread writer([&] {
        writeAll(rig.device->fd(), bytes.constData(), size_t(bytes.size()), rig.device->stopping());
        writeEnd = Clock::now();
        written = true;
    });
    probe.start();
    runGuarded(loop);
    probe.timer.stop();
    const double cpu = cpuMs(CLOCK_THREAD_CPUTIME_ID) - cpuBefore;
    writer.join();

    const double seconds = ms(lastSeen - start) / 1e3;
    const double rate = double(counted) / seconds;
    const qint64 lost = qint64(lines) - qint64(counted);
    const QString shown = rig.widgets.dutyDisplay->text();
    if (lost != 0 || shown != lastText)
        markBroken();
    if (shown != lastText)
        note(QStringLiteral("flood: label shows %1, expected %2").arg(shown, lastText));
    note(QStringLiteral("flood: %1 lines in %2 s; writer done after %3 s; window thread CPU %4 us per line")
             .arg(counted)
             .arg(seconds, 0, 'f', 3)
             .arg(ms(writeEnd - start) / 1e3, 0, 'f', 3)
             .arg(cpu * 1e3 / double(std::max<quint64>(counted, 1)), 0, 'f', 2));
    report(QStringLiteral("flood throughput"), rate, QStringLiteral("lines/s"), QStringLiteral(">= 125000"),
           rate >= 125000 && lost == 0);
    report(QStringLiteral("flood lines lost"), double(lost), QStringLiteral("lines"), QStringLiteral("0"),
           lost == 0 && shown == lastText);
    report(QStringLiteral("flood CPU per line (window thread)"),
           cpu * 1e3 / double(std::max<quint64>(counted, 1)), QStringLiteral("us"), QString(), {});
    const double lateness = probe.latenessMs();
    report(QStringLiteral("flood 10 ms timer worst lateness"), lateness, QStringLiteral("ms"),
           QStringLiteral("< 50"), lateness < 50);
}

} // namespace bench
