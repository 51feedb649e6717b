#include "link/pacingdelay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
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

    // The timer only wakes the dispatcher; the clock decides when the wait is
    // over, since a timer may fire a little early. processEvents is used rather
    // than a nested QEventLoop: it still runs once the application has been
    // told to quit, and it saves the wake-ups of quitting a loop. The first
    // pass runs what is pending, so events run at least once even for a zero
    // length (the timer then fires at once).
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    nanoseconds remaining = length - nanoseconds(clock.nsecsElapsed());
    timer.start(ceil<milliseconds>(std::max(remaining, 0ns)));
    do {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        remaining = length - nanoseconds(clock.nsecsElapsed());
        if (remaining > 0ns && !timer.isActive())
            timer.start(ceil<milliseconds>(remaining));
    } while (remaining > 0ns);
}
