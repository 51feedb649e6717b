#pragma once

// The session over a port, with no window: what it shows is recorded from its signals.
#include "session/devicesession.h"
#include "session/sessionprompts.h"
#include "tests/fakeserialport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

// Answers the session's questions from a script and remembers them.
struct ScriptedPrompts final : SessionPrompts
{
    int noResponseAsked = 0;
    QList<bool> answers;
    bool defaultAnswer = false;
    QStringList refusals;

    bool continueAfterNoResponse() override
    {
        ++noResponseAsked;
        return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    }
    void explainRefusedSave(const QString &why) override { refusals << why; }
};

// Thrown by the test's "end the program now", so nothing after it runs.
struct ProgramEnded
{
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
    bool inputBlocked = false;
    QList<bool> blockChanges;
    SettingsRecord settings;

    void watch(DeviceSession &session)
    {
        QObject::connect(&session, &DeviceSession::dutyChanged, [this](const QString &t) { duty = t; });
        QObject::connect(&session, &DeviceSession::presetHighlighted, [this](int p) { preset = p; });
        QObject::connect(&session, &DeviceSession::deviceLineChanged, [this](const QString &t) { deviceLine = t; });
        QObject::connect(&session, &DeviceSession::controlPanelEnabled, [this](bool on) { panelEnabled = on; });
        QObject::connect(&session, &DeviceSession::inputBlocked, [this](bool on) {
            inputBlocked = on;
            blockChanges << on;
        });
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

// The running timers by name, e.g. "search response".
inline QString runningTimers(DeviceSession &s)
{
    QStringList names;
    const std::pair<const char *, QTimer *> timers[] = {{"search", &s.searchTimer()},
                                                         {"response", &s.responseTimer()},
                                                         {"readBack", &s.readBackTimer()},
                                                         {"sample", &s.sampleTimer()}};
    for (const auto &[name, timer] : timers)
        if (timer->isActive())
            names << QLatin1String(name);
    return names.join(u' ');
}

// The session over the fake port, its executable in a fresh folder, started.
struct SessionHarness
{
    QTemporaryDir dir;
    FakeSerialPort port;
    ScriptedPrompts prompts;
    Screen screen;
    std::unique_ptr<DeviceSession> session;
    int endCalls = 0;

    explicit SessionHarness(const QByteArray &ini = {}, const QString &baseName = u"pwm-panel"_s)
    {
        writeIni(dir, baseName, ini);
        session = std::make_unique<DeviceSession>(port, prompts, ExecutableInfo{dir.path(), baseName}, [this] {
            ++endCalls;
            throw ProgramEnded{};
        });
        screen.watch(*session);
        session->start();
    }
    QString iniPath() const { return dir.filePath(session->executable().baseName + ".ini"); }
    QByteArray iniBytes() const { return readFile(iniPath()); }
    QString status() const { return session->status().text; }
    StatusTone tone() const { return session->status().tone; }
    QString running() const { return runningTimers(*session); }
    // The first tick opens the port and asks; the device answers.
    void identify(const QByteArray &code = "DUTY01")
    {
        session->searchTick();
        port.simulateArrival(code + '\r');
    }
};
