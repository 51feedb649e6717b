#pragma once

#include <QTimer>

// A timer with an on/off switch: switching it on while it runs leaves its
// running interval alone (QTimer::start() would restart it).
class FormTimer : public QTimer
{
public:
    FormTimer(int intervalMs, Qt::TimerType type, QObject *parent = nullptr) : QTimer(parent)
    {
        setInterval(intervalMs);
        setTimerType(type);
    }

    void setEnabled(bool on)
    {
        if (!on)
            stop();
        else if (!isActive())
            start();
    }
    bool isEnabled() const { return isActive(); }
};
