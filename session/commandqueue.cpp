#include "session/commandqueue.h"

using namespace std::chrono;

CommandQueue::CommandQueue(milliseconds pause, Writer write, QObject *parent)
    : QObject(parent), m_pause(pause), m_write(std::move(write))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CommandQueue::writeDue);
}

bool CommandQueue::enqueue(const QList<Command> &commands, Room room)
{
    const qsizetype limit = kMaxWaiting + (room == Room::Reserved ? kReservedRoom : 0);
    if (m_waiting.size() + commands.size() > limit)
        return false;
    for (const Command &command : commands)
        m_waiting.enqueue(command);
    writeDue();
    return true;
}

void CommandQueue::clear(const QString &why)
{
    // Taken out first: a command told it was dropped may queue another.
    const QQueue<Command> dropped = std::exchange(m_waiting, {});
    m_afterPause = nullptr;
    for (const Command &command : dropped)
        if (command.settled)
            command.settled(why);
}

void CommandQueue::hold(bool held)
{
    m_held = held;
    if (!held)
        writeDue();
}

void CommandQueue::writeDue()
{
    const nanoseconds remaining =
        m_sinceWrite.isValid() ? m_pause - nanoseconds(m_sinceWrite.nsecsElapsed()) : nanoseconds(0);
    if (remaining > 0ns) {
        // A timer may fire a hair early: the clock decides.
        if (m_afterPause || (!m_waiting.isEmpty() && !m_held))
            scheduleAfter(remaining);
        return;
    }
    if (m_afterPause)
        std::exchange(m_afterPause, nullptr)();
    if (m_held || m_waiting.isEmpty())
        return;

    const Command command = m_waiting.dequeue();
    m_afterPause = command.afterPause;
    m_sinceWrite.start(); // a command queued from inside the write waits too
    if (!command.text.isEmpty())
        m_write(command); // may clear or hold the queue
    // The device counts its pause from the end of the command: a write that
    // is slow to return must not shorten it.
    m_sinceWrite.start();
    if (m_afterPause || !m_waiting.isEmpty())
        scheduleAfter(m_pause);
}

void CommandQueue::scheduleAfter(nanoseconds delay)
{
    if (!m_timer.isActive())
        m_timer.start(ceil<milliseconds>(delay));
}
