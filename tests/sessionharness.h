#pragma once

// The session over a port, with no window: what it shows is recorded from its signals.
#include "session/devicesession.h"
#include "session/sessionprompts.h"
#include "testsupport/fakeserialport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

// Answers the session's questions from a script and remembers them. With
// holdAnswers the no-response question stays open until answer() is called.
struct ScriptedPrompts final : SessionPrompts
{
    int noResponseAsked = 0;
    QList<bool> answers;
    bool defaultAnswer = false;
    bool holdAnswers = false;
    std::function<void(bool)> open; // the question being held
    QStringList refusals;

    void askContinueAfterNoResponse(std::function<void(bool)> answered) override
    {
        ++noResponseAsked;
        if (holdAnswers)
            open = std::move(answered);
        else
            answered(answers.isEmpty() ? defaultAnswer : answers.takeFirst());
    }
    void answer(bool yes) { std::exchange(open, nullptr)(yes); }
    void explainRefusedSave(const QString &why) override { refusals << why; }
};

// The default settings file, but with the given sample time and device code.
inline QByteArray iniFile(int sampleTime = 0, const QByteArray &deviceCode = "DUTY01")
{
    return "1,\"9600\",\"-\"," + QByteArray::number(sampleTime) + ",\"" + deviceCode +
           "\"\r\n\"PWM(%):\",\"Label2\",\"nc\",\"nc\"\r\n";
}

// What a window would show, as the session last said it.
struct Screen
{
    QString duty = u"-"_s;
    int preset = -1; // -1: never said
    QString deviceLine = u"???"_s;
    bool panelEnabled = false;
    int endRequests = 0;
    SettingsRecord settings;

    void watch(DeviceSession &session)
    {
        QObject::connect(&session, &DeviceSession::dutyChanged, [this](const QString &t) { duty = t; });
        QObject::connect(&session, &DeviceSession::presetHighlighted, [this](int p) { preset = p; });
        QObject::connect(&session, &DeviceSession::deviceLabelChanged,
                         [this](const QString &t) { deviceLine = t; });
        QObject::connect(&session, &DeviceSession::controlPanelEnabled,
                         [this](bool on) { panelEnabled = on; });
        QObject::connect(&session, &DeviceSession::endRequested, [this] { ++endRequests; });
        QObject::connect(&session, &DeviceSession::settingsLoaded,
                         [this](const SettingsRecord &s) { settings = s; });
    }
};

// Writes the settings file a copy named baseName finds in dir.
inline void writeIni(const QTemporaryDir &dir, const QString &baseName, const QByteArray &ini)
{
    QFile f(dir.filePath(baseName + ".ini"));
    if (!ini.isNull() && !(f.open(QIODevice::WriteOnly) && f.write(ini) == ini.size() && f.flush()))
        qFatal("cannot write the settings file");
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Waits until the port has taken n writes in all (the queue writes one a pause).
inline bool waitForWrites(const FakeSerialPort &port, qsizetype n, int timeoutMs = 2000)
{
    return QTest::qWaitFor([&] { return port.writes.size() >= n; }, timeoutMs);
}

// A session timer that ticks when the test says, and only while the session
// keeps it running, as a real one would.
class TimerByHand final : public SessionTimer
{
public:
    TimerByHand(Role role, QObject *parent) : SessionTimer(parent), role(role) {}
    void keepRunning(bool on) override { m_running = on; }
    // False when the session has it stopped: nothing happens then.
    bool tick()
    {
        if (!m_running)
            return false;
        emit timeout();
        return true;
    }

    const Role role;

private:
    bool m_running = false;
};

// The timers of these roles tick by hand (tickByHand()); the others run on
// their own at the schedule's intervals.
inline SessionSchedule ticksByHand(const QList<SessionTimer::Role> &roles, SessionSchedule schedule = {})
{
    schedule.makeTimer = [roles, real = schedule.makeTimer](SessionTimer::Role role,
                                                            std::chrono::milliseconds interval,
                                                            QObject *parent) -> SessionTimer * {
        if (roles.contains(role))
            return new TimerByHand(role, parent);
        return real(role, interval, parent);
    };
    return schedule;
}

// Only the test moves the session on.
inline const SessionSchedule kStepsByHand = ticksByHand(
    {SessionTimer::Search, SessionTimer::ResponseTimeout, SessionTimer::ReadBack, SessionTimer::SampleTick});
// The test starts the search; the read-backs, polls and the response time-out run in real time.
inline const SessionSchedule kSearchByHand = ticksByHand({SessionTimer::Search});

// Ticks the session's timer of that role if it ticks by hand and is running.
inline bool tickByHand(QObject &session, SessionTimer::Role role)
{
    for (SessionTimer *timer : session.findChildren<SessionTimer *>())
        if (auto *byHand = dynamic_cast<TimerByHand *>(timer); byHand && byHand->role == role)
            return byHand->tick();
    return false;
}

// The session over the fake port, its executable in a fresh folder, started.
struct SessionHarness
{
    QTemporaryDir dir;
    FakeSerialPort port;
    ScriptedPrompts prompts;
    Screen screen;
    std::unique_ptr<DeviceSession> session;

    explicit SessionHarness(const QByteArray &ini = {}, const QString &baseName = u"pwm-panel"_s,
                            const SessionSchedule &schedule = kStepsByHand)
    {
        writeIni(dir, baseName, ini);
        restart(baseName, schedule);
    }
    // A new session in the same folder, as a program started again: it loads the settings afresh.
    void restart(const QString &baseName = u"pwm-panel"_s, const SessionSchedule &schedule = kStepsByHand)
    {
        session =
            std::make_unique<DeviceSession>(port, prompts, ExecutableInfo{dir.path(), baseName}, schedule);
        screen.watch(*session);
        session->start();
    }
    bool tick(SessionTimer::Role role) { return tickByHand(*session, role); }
    QString iniPath() const { return dir.filePath(session->executable().baseName + ".ini"); }
    QByteArray iniBytes() const { return readFile(iniPath()); }
    QString status() const { return session->status().text; }
    StatusTone tone() const { return session->status().tone; }
    // Everything written from now on up to a marker queued now, the marker left
    // out: what was queued before it, in order, and nothing of its own accord.
    QByteArrayList writesUpToMarker()
    {
        const qsizetype before = port.writes.size();
        session->sendTypedDuty(u"99"_s);
        const QByteArray marker = "SV01=99\r";
        if (!QTest::qWaitFor([&] { return port.writes.mid(before).contains(marker); }, 3000))
            return {"(the marker was never written)"};
        return port.writes.mid(0, port.writes.lastIndexOf(marker));
    }
    // Lets the pause after the last write pass, so the next command is written
    // at once. The queue's own timer is due no later than this one, and timers
    // fire in the order they fall due, however late a busy machine runs them.
    static void waitOutThePause()
    {
        bool over = false;
        QTimer::singleShot(DeviceSession::kPacing + std::chrono::milliseconds(1), Qt::PreciseTimer,
                           [&over] { over = true; });
        [[maybe_unused]] const bool waited = QTest::qWaitFor([&over] { return over; }, 10000);
    }
    // The search ticks: the port opens and the device is asked; once the
    // question is out, the device answers. Once found it is no longer
    // searched for, and its code line alone identifies it again.
    void identify(const QByteArray &code = "DUTY01")
    {
        const qsizetype before = port.writes.count("I?\r");
        if (tick(SessionTimer::Search)) {
            [[maybe_unused]] const bool asked =
                QTest::qWaitFor([&] { return port.writes.count("I?\r") > before; }, 1000);
        }
        port.simulateArrival(code + '\r');
    }
    // Identified, with what the search wrote forgotten and its pause over.
    void identifyAndForget()
    {
        identify();
        waitOutThePause();
        port.writes.clear();
        port.calls.clear();
    }
};
