#include "session/devicepolling.h"

#include <limits>

DevicePolling::DevicePolling(CommandQueue &queue, const SessionSchedule &schedule, QObject *parent)
    : QObject(parent), m_queue(queue), m_readBackTimer(schedule.timer(SessionTimer::ReadBack, this)),
      m_sampleTimer(schedule.timer(SessionTimer::SampleTick, this))
{
    connect(m_readBackTimer, &SessionTimer::timeout, this, &DevicePolling::readBackStep);
    connect(m_sampleTimer, &SessionTimer::timeout, this, &DevicePolling::sampleTick);
}

void DevicePolling::start(int sampleTime)
{
    m_sampleTime = qint16(sampleTime);
    if (m_sampleTime > 0) {
        // The first poll goes out at the next tick.
        m_tickCount = qint16(m_sampleTime - 1);
        m_sampleTimer->keepRunning(true);
    }
    m_readBackTimer->keepRunning(true);
}

void DevicePolling::stop()
{
    m_readBackTimer->keepRunning(false);
    m_sampleTimer->keepRunning(false);
    m_readBackStep = 0;
    m_pollWaiting = false;
}

void DevicePolling::pauseSampling()
{
    m_sampleTimer->keepRunning(false);
}

void DevicePolling::readBackStep()
{
    QByteArray question;
    if (++m_readBackStep == 1) {
        emit readBackStarted();
        question = "SV01?";
    } else {
        m_readBackTimer->keepRunning(false);
        m_readBackStep = 0;
        question = "SV02?";
    }
    // The question waits a pause after the tick: the device may still be
    // busy with what came before it. Room is kept for it, so a panel that
    // filled the queue cannot crowd it out.
    m_queue.enqueue({{}, {question, CommandQueue::OnFailure::AskUser}}, CommandQueue::Room::Reserved);
}

void DevicePolling::sampleTick()
{
    emit sampleTicked(m_sampleTime, m_tickCount);
    // While a poll waits (the queue held by the no-response question) the
    // count stays at the sample time.
    if (m_pollWaiting)
        return;
    if (m_tickCount < m_sampleTime)
        ++m_tickCount;
    // The count could never pass 32767: with that sample time no poll ever goes out.
    else if (m_sampleTime < std::numeric_limits<qint16>::max())
        poll();
}

void DevicePolling::poll()
{
    // The count starts again once the poll's pause is over, so a code line
    // that arrives during the pause does not move the next poll.
    m_pollWaiting = true;
    const auto paused = [this] {
        m_tickCount = 0;
        m_pollWaiting = false;
    };
    if (!m_queue.enqueue({{"PV01?", CommandQueue::OnFailure::SearchAgain, paused}}))
        m_pollWaiting = false; // the queue is full: the next tick tries again
}
