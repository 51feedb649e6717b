#pragma once

#include <QObject>
#include <chrono>
#include <functional>

// One of the session's own timers: while it is kept running it ticks every interval.
class SessionTimer : public QObject
{
    Q_OBJECT
public:
    // Which of them it is, so that a test can tick each when it chooses.
    enum Role {
        Search,          // asks the device who it is
        ResponseTimeout, // no line since the first unanswered question
        ReadBack,        // two steps after each identification
        SampleTick,      // counts towards the next poll
    };

    using QObject::QObject;

    // Switching it on while it runs leaves its running interval alone, so a
    // caller that only knows "it should be running now" cannot shift its schedule.
    virtual void keepRunning(bool on) = 0;

signals:
    void timeout();
};

// A precise QTimer: a coarse one may tick up to 5% of its interval early or late.
SessionTimer *makePreciseTimer(SessionTimer::Role role, std::chrono::milliseconds interval, QObject *parent);

// How often the session's own timers tick, and what makes them.
struct SessionSchedule
{
    std::chrono::milliseconds search{2500};
    // Twice the search interval: a silent device gets two questions.
    std::chrono::milliseconds responseTimeout{5000};
    std::chrono::milliseconds readBack{800};
    std::chrono::milliseconds sampleTick{1000};
    // Makes each timer as a child of parent. A test passes one that makes
    // timers it ticks itself.
    using TimerMaker = std::function<SessionTimer *(SessionTimer::Role, std::chrono::milliseconds interval,
                                                    QObject *parent)>;
    TimerMaker makeTimer = makePreciseTimer;

    // The timer of this role, at its interval above.
    SessionTimer *timer(SessionTimer::Role role, QObject *parent) const;
};
