#pragma once

#include <QTimer>
#include <chrono>

// A timer with an on/off switch: switching it on while it runs leaves its
// running interval alone (QTimer::start() would restart it), so a caller that
// only knows "it should be running now" cannot shift its schedule.
class OnOffTimer : public QTimer
{
public:
    OnOffTimer(std::chrono::milliseconds interval, Qt::TimerType type, QObject *parent = nullptr)
        : QTimer(parent)
    {
        setInterval(interval);
        setTimerType(type);
    }

    void keepRunning(bool on)
    {
        if (!on)
            stop();
        else if (!isActive())
            start();
    }
};
