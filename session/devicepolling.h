#pragma once

#include "session/commandqueue.h"
#include "session/sessionschedule.h"

#include <QObject>

// What the session asks of an identified device by itself: the read-back of
// the duty set value and the preset (two steps after each identification) and,
// with a sample time above 0, a poll every sampleTime + 1 sample ticks. It
// owns the two timers; the session starts it at each identification and stops
// it with the connection.
class DevicePolling : public QObject
{
    Q_OBJECT
public:
    DevicePolling(CommandQueue &queue, const SessionSchedule &schedule, QObject *parent = nullptr);

    // The device identified itself (again): the read-back runs, and the first
    // poll goes out at the next sample tick.
    void start(int sampleTime);
    // The connection ended: both timers stop, a half-done read-back is forgotten.
    void stop();
    // The settings panel is open: no more sample ticks until the next identification.
    void pauseSampling();

signals:
    // The first read-back step of an identification.
    void readBackStarted();
    // Every sample tick, with the ticks counted towards the next poll.
    void sampleTicked(int sampleTime, int ticks);

private:
    void readBackStep();
    void sampleTick();
    void poll();

    CommandQueue &m_queue;
    SessionTimer *m_readBackTimer;
    SessionTimer *m_sampleTimer;
    int m_readBackStep = 0;
    qint16 m_sampleTime = 0;
    qint16 m_tickCount = 0;
    bool m_pollWaiting = false;
};
