#pragma once

#include "link/serialport.h"

#include <QObject>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>

// Asks several ports at once who is behind them, as the search does: each is
// opened at the given line settings, sent the identification query, and
// listened to until the expected code comes back or the time-out passes;
// then closed. Nothing waits inside a handler: the ports' own signals and
// timers drive it. Only the ports named are touched.
class PortProbe : public QObject
{
    Q_OBJECT
public:
    // Makes one port object; each device gets its own.
    using PortMaker = std::function<std::unique_ptr<SerialPort>()>;

    struct Timing
    {
        std::chrono::milliseconds repeat{2500};  // the query again, as the search does
        std::chrono::milliseconds timeout{5000}; // no answer by then: silent
    };

    explicit PortProbe(PortMaker makePort, QObject *parent = nullptr);
    ~PortProbe() override;

    // Starts asking devices (paths); a probe still running is ended first.
    // baudRate as the settings give it; expectedCode the whole line to wait for.
    void start(const QStringList &devices, qint32 baudRate, const QString &expectedCode, Timing timing = {});
    // Closes every port still open; no signal follows.
    void cancel();
    bool isRunning() const;

signals:
    // This device answered with the expected code.
    void answered(const QString &device);
    // Every port is closed again; these answered, in the order given.
    void finished(const QStringList &answering);
};
