// Idle cost: processor time and wake-ups of the whole program while the
// identified window sits in its event loop with nothing to do.
#include "benchmarks.h"
#include "harness.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QThreadPool>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace bench {
namespace {

void collectObjects(QObject *o, std::vector<QObject *> &out)
{
    if (std::find(out.begin(), out.end(), o) != out.end())
        return;
    out.push_back(o);
    for (QObject *child : o->children())
        collectObjects(child, out);
}

// Fires the timers registered anywhere in the GUI thread's objects would need in `length`.
double timerFiresDue(std::chrono::milliseconds length, QStringList *described)
{
    std::vector<QObject *> objects;
    collectObjects(QCoreApplication::instance(), objects);
    for (QWidget *w : QApplication::allWidgets())
        collectObjects(w, objects);
    for (QWindow *w : QGuiApplication::allWindows())
        collectObjects(w, objects);
    double due = 0;
    QAbstractEventDispatcher *const dispatcher = QAbstractEventDispatcher::instance();
    for (QObject *o : objects) {
        for (const QAbstractEventDispatcher::TimerInfo &t : dispatcher->registeredTimers(o)) {
            due += double(length.count()) / std::max(1, t.interval);
            described->append(QStringLiteral("%1(%2) every %3 ms")
                                  .arg(QLatin1String(o->metaObject()->className()), o->objectName())
                                  .arg(t.interval));
        }
    }
    return due;
}

} // namespace

void benchIdle(std::chrono::milliseconds length)
{
    std::fprintf(stderr, "idle: %lld ms\n", static_cast<long long>(length.count()));
    Rig rig;
    rig.identify();
    runEventsFor(200ms); // repaints and the last reply settle
    // Qt's raster engine paints with pooled helper threads that exit 30 s
    // after their last use, waking the window thread once; retired here so a
    // left-over from an earlier phase does not land inside the window.
    QThreadPool::globalInstance()->waitForDone();

    QStringList timers;
    const double due = timerFiresDue(length, &timers);
    const QWidget *const focus = QApplication::focusWidget();
    note(QStringLiteral("idle: active timers: %1; active window: %2; focus: %3")
             .arg(timers.isEmpty() ? QStringLiteral("none") : timers.join(QStringLiteral(", ")),
                  QApplication::activeWindow() == rig.window ? QStringLiteral("the window")
                                                             : QStringLiteral("none"),
                  focus ? QLatin1String(focus->metaObject()->className()) + u' ' + focus->objectName()
                        : QStringLiteral("none")));

    int awakenings = 0;
    QObject observer;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, &observer,
                     [&] { ++awakenings; });

    const IdleRun run = runIdleFor(length);
    QObject::disconnect(QAbstractEventDispatcher::instance(), nullptr, &observer, nullptr);
    const double cpu = run.processCpuMs;
    const long threadWakes = run.threadSwitches;
    const long processWakes = run.processSwitches;
    const double beyond = std::max(0.0, double(processWakes) - 1 - due);
    note(QStringLiteral(
             "idle: %1 ms CPU; voluntary switches: window thread %2, all threads of the program %3; "
             "dispatcher awake %4 times; timer fires due %5 (the end of the window is 1 of each)")
             .arg(cpu, 0, 'f', 3)
             .arg(threadWakes)
             .arg(processWakes)
             .arg(awakenings)
             .arg(due, 0, 'f', 1));
    const double per10s = 10000.0 / double(length.count());
    report(QStringLiteral("idle CPU per 10 s"), cpu * per10s, QStringLiteral("ms"), QStringLiteral("< 10"),
           cpu * per10s < 10);
    report(QStringLiteral("idle wake-ups beyond active timers per 10 s"), beyond * per10s,
           QStringLiteral("wake-ups"), QStringLiteral("0 (pass <= 2)"), beyond * per10s <= 2);
}

} // namespace bench
