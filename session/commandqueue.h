#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QTimer>
#include <chrono>
#include <functional>

// Commands for the device, written one at a time: each leaves the queue once
// the pause after the previous write has passed. Nothing waits in the caller;
// a single-shot timer writes the next one from the top of the event loop.
class CommandQueue : public QObject
{
    Q_OBJECT
public:
    // What happens when a command cannot be written.
    enum class OnFailure {
        ShowPortFailure, // the search's question: the status line says why
        AskUser,         // a command from the panel: the user decides
        SearchAgain,     // a poll or a script's command: nobody may be at the panel
    };
    struct Command
    {
        QByteArray text; // without the CR; empty: a pause only, nothing is written
        OnFailure onFailure = OnFailure::AskUser;
        // Runs when the pause after this command is over.
        std::function<void()> afterPause = {};
        // Told once what became of it: written (an empty text) or why not.
        // The writer tells it after the write; clear() tells those it drops.
        std::function<void(const QString &notWritten)> settled = {};
    };
    // Holding Return on Send repeats faster than the device may be written
    // to; beyond this many waiting commands new ones are dropped, so the
    // wire falls quiet within a second of letting go.
    static constexpr qsizetype kMaxWaiting = 16;
    // Who may use the room kept beyond kMaxWaiting: only the read-back after
    // identification (a pause and a question), so that a panel that filled
    // the queue cannot crowd it out.
    enum class Room { Shared, Reserved };
    static constexpr qsizetype kReservedRoom = 2;

    using Writer = std::function<void(const Command &)>;
    CommandQueue(std::chrono::milliseconds pause, Writer write, QObject *parent = nullptr);

    // Queues all of the commands or, when they do not fit, none (false).
    bool enqueue(const QList<Command> &commands, Room room = Room::Shared);
    // Drops what is waiting, telling each why; the pause after the last write still holds.
    void clear(const QString &why);
    // While held nothing is written; what waits stays queued.
    void hold(bool held);

private:
    void writeDue();
    void scheduleAfter(std::chrono::nanoseconds delay);

    std::chrono::milliseconds m_pause;
    Writer m_write;
    QQueue<Command> m_waiting;
    QTimer m_timer;
    QElapsedTimer m_sinceWrite;
    std::function<void()> m_afterPause;
    bool m_held = false;
};
