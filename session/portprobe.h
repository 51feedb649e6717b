#pragma once

#include "link/serialport.h"

#include "link/lineassembler.h"

#include <QObject>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

// Asks several ports at once who is behind them, as the search does: each is
// opened at the given line settings, sent the identification query, and
// listened to until the expected code comes back or the time-out passes;
// then closed. What a port held before it was asked (a reply left over from
// an earlier search, say) is read and dropped during a short settling time. Nothing waits inside a handler:
// the ports' own signals and timers drive it. Only the ports named are touched.
class QTimer;

// How often a probe asks, and how long it listens.
struct PortProbeTiming
{
    std::chrono::milliseconds repeat{2500};  // the query again, as the search does
    std::chrono::milliseconds timeout{5000}; // from the first query: no answer by then, silent
    std::chrono::milliseconds settle{150};   // after opening: whatever arrives is old, dropped
};

class PortProbe : public QObject
{
    Q_OBJECT
public:
    // Makes one port object; each device gets its own.
    using PortMaker = std::function<std::unique_ptr<SerialPort>()>;

    // Outside the class: a default argument cannot use the initializers of a nested one.
    using Timing = PortProbeTiming;

    explicit PortProbe(PortMaker makePort, QObject *parent = nullptr);
    ~PortProbe() override;

    // Starts asking devices (paths); a probe still running is ended first.
    // baudRate as the settings give it; expectedCode the whole line to wait for.
    void start(const QStringList &devices, qint32 baudRate, const QString &expectedCode, Timing timing = {});
    // Closes every port still open; no signal follows.
    void cancel();

signals:
    // This device answered with the expected code.
    void answered(const QString &device);
    // This device answered with another line first (its code, as escaped text);
    // it is still listened to, as the expected code may follow.
    void answeredOther(const QString &device, const QString &line);
    // Every port is closed again; these answered, in the order given.
    void finished(const QStringList &answering);

private:
    struct Asked
    {
        QString device;
        std::unique_ptr<SerialPort> port; // null once it failed to open
        LineAssembler received;
        bool answered = false;
        bool answeredOther = false;
    };
    void ask();
    void readFrom(Asked &asked);
    void closeAll();
    // Every port closed: says who answered, unless the probe was ended meanwhile.
    void finishIfDone();

    PortMaker m_makePort;
    std::vector<std::unique_ptr<Asked>> m_asked;
    QByteArray m_expected;
    QTimer *m_settle;
    QTimer *m_repeat;
    QTimer *m_timeout;
    bool m_running = false;
    bool m_asking = false; // the first query is out: lines are answers now
    quint64 m_round = 0;   // tells a queued finish of an earlier start from this one's
};
