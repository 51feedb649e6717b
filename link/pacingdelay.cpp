#include "link/pacingdelay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <thread>

void pacingDelay(std::chrono::milliseconds length)
{
    using namespace std::chrono;
    QElapsedTimer clock;
    clock.start();

    if (!QCoreApplication::instance()) {
        // No event loop to run: waiting is all that is left.
        std::this_thread::sleep_for(length);
        return;
    }

    // Pending events run at least once, even for a zero length.
    QCoreApplication::processEvents();

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);

    // A timer may fire a little early, and a quit may come from elsewhere, so
    // the clock decides when the wait is over.
    for (nanoseconds remaining = length - nanoseconds(clock.nsecsElapsed()); remaining > 0ns;
         remaining = length - nanoseconds(clock.nsecsElapsed())) {
        timer.start(ceil<milliseconds>(remaining));
        // Once the application has been told to quit, nested loops refuse to
        // run; the dispatcher still sleeps until the timer or the next event.
        if (loop.exec() != 0 || timer.isActive())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}
