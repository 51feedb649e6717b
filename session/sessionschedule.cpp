#include "session/sessionschedule.h"

#include <QTimer>

namespace {
class PreciseTimer final : public SessionTimer
{
public:
    PreciseTimer(std::chrono::milliseconds interval, QObject *parent) : SessionTimer(parent)
    {
        m_timer.setInterval(interval);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, &SessionTimer::timeout);
    }

    void keepRunning(bool on) override
    {
        if (!on)
            m_timer.stop();
        else if (!m_timer.isActive())
            m_timer.start(); // QTimer::start() on a running timer would restart it
    }

private:
    QTimer m_timer;
};
} // namespace

SessionTimer *makePreciseTimer(SessionTimer::Role, std::chrono::milliseconds interval, QObject *parent)
{
    return new PreciseTimer(interval, parent);
}

SessionTimer *SessionSchedule::timer(SessionTimer::Role role, QObject *parent) const
{
    std::chrono::milliseconds interval{};
    switch (role) {
    case SessionTimer::Search:
        interval = search;
        break;
    case SessionTimer::ResponseTimeout:
        interval = responseTimeout;
        break;
    case SessionTimer::ReadBack:
        interval = readBack;
        break;
    case SessionTimer::SampleTick:
        interval = sampleTick;
        break;
    }
    return makeTimer(role, interval, parent);
}
