#pragma once

// What every benchmark shares: the results table, time helpers, the device
// side on a pty master, running the event loop, and the window on a pty.
#include "app/panelprogram.h"
#include "link/systemserialport.h"
#include "testsupport/pty.h"

#include <QEventLoop>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// ---------------------------------------------------------------- results

struct Metric
{
    QString name;
    double value = 0;
    QString unit;
    QString target;           // as printed
    std::optional<bool> pass; // empty: shown for information only
};

// Every figure reported so far, in order.
const std::vector<Metric> &metrics();
void report(QString name, double value, QString unit, QString target, std::optional<bool> pass);
// Something did not work (a lost line, a wrong label), as opposed to being slow.
void markBroken();
bool broken();
// A detail line on stderr.
void note(const QString &text);
[[noreturn]] void fatal(const QString &why);

// ---------------------------------------------------------------- time

double ms(Clock::duration d);
double cpuMs(clockid_t clock);
// Nearest rank.
double percentile(std::vector<double> v, double p);
double mean(const std::vector<double> &v); // 0 when empty

// A kilobyte figure from /proc/<pid>/status ("VmRSS", "VmHWM"); -1 if absent.
double statusKb(const QString &pid, const char *field);

// ---------------------------------------------------------------- device side

// Writes all bytes to the (non-blocking) master, waiting while the pty is full.
bool writeAll(int fd, const char *data, size_t size, const std::atomic<bool> &stop);

// The controller: drains the master and answers the queries the window sends
// during identification and read-back, and echoes a frequency preset.
class Device
{
public:
    explicit Device(int masterFd);
    ~Device();
    Device(const Device &) = delete;
    Device &operator=(const Device &) = delete;

    int fd() const { return m_fd; }
    const std::atomic<bool> &stopping() const { return m_stop; }
    std::atomic<quint64> commandsSeen{0};
    // A real controller echoes a set command; off, only queries are answered.
    std::atomic<bool> answerSettings{true};

private:
    std::string answer(const std::string &cmd);
    void run();

    int m_fd;
    int m_wake = -1;
    std::string m_preset = "3";
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// ---------------------------------------------------------------- window side

// Runs the event loop for a while (a window of observation).
void runEventsFor(std::chrono::milliseconds length);
bool runEventsUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout);
// Runs `loop` until something quits it, or 10 minutes at most.
void runGuarded(QEventLoop &loop);

// The event loop left alone for `length`, then ended from a thread of ours
// rather than by a timer (a timer's poll may return a hair early and wake the
// loop twice). The figures are the program's own: what the ending thread
// itself cost is taken out; its one wake-up of the window thread is not.
struct IdleRun
{
    long threadSwitches = 0;  // voluntary switches of the window thread
    long processSwitches = 0; // of every thread of the program
    double processCpuMs = 0;
};
IdleRun runIdleFor(std::chrono::milliseconds length);

// No user is there to answer: every box is logged, counted and cancelled.
class SilentDialogs final : public Dialogs
{
public:
    void ask(const DialogContent &content, Answered answered) override;
    void askSaveFile(const SaveFileRequest &request, FileChosen chosen) override;
    void askOpenFile(const OpenFileRequest &request, FileChosen chosen) override;
    int shown = 0;
};

// The program as main() wires it, shown, over a real port whose com1
// link points at a fresh pseudo-terminal with the device thread at its master.
struct Rig
{
    PtyPair pty;
    QTemporaryDir dir;
    std::unique_ptr<SystemSerialPort> port;
    SilentDialogs dialogs;
    std::unique_ptr<PanelProgram> program;
    MainWindow *window = nullptr;
    WindowWidgets widgets;
    std::unique_ptr<Device> device;
    // Every line the session received, counted from its lineReceived signal.
    quint64 linesReceived = 0;

    // ini: the settings file beside the program (none when null). Without
    // a device, the benchmark plays the master side itself.
    explicit Rig(const QByteArray &ini = {}, bool withDevice = true);
    ~Rig();

    DeviceSession &session() { return program->session(); }

    // Identification as the first search tick does it, then the two read-back
    // steps run on their own timer as in real use. Afterwards, with a sample
    // time of 0, no timer of the session is active.
    void identify();
};

// A 10 ms timer in the window thread: its longest gap between two firings
// tells how responsive the thread stayed. onTick runs at every firing.
struct LatenessProbe
{
    QTimer timer;
    Clock::time_point last;
    Clock::duration worstGap{};
    std::function<void(Clock::time_point)> onTick;

    LatenessProbe();
    void start();
    double latenessMs() const { return ms(worstGap - 10ms); }
};

} // namespace bench
