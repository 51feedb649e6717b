#pragma once

#include "link/lineassembler.h"
#include "link/serialport.h"
#include "session/onofftimer.h"
#include "session/statusline.h"
#include "settings/executableinfo.h"
#include "settings/settingsrecord.h"
#include "settings/settingstexts.h"

#include <QObject>
#include <chrono>
#include <functional>

class SessionPrompts;

// Everything between the device and the screen, without a widget: searching
// for the device, what each reply means, the commands of the control panel,
// the read-backs and polls, and saving the settings. It says what to show
// through its signals and asks its questions through SessionPrompts.
class DeviceSession : public QObject
{
    Q_OBJECT
public:
    static constexpr auto kSearchInterval = std::chrono::milliseconds(2500);
    // Twice the search interval: a silent device gets two questions.
    static constexpr auto kResponseTimeout = std::chrono::milliseconds(5000);
    static constexpr auto kReadBackInterval = std::chrono::milliseconds(800);
    static constexpr auto kSampleTick = std::chrono::milliseconds(1000);
    // The device needs this long after a command before it takes the next.
    static constexpr auto kPacing = std::chrono::milliseconds(50);

    // endProgram ends the process at once (the no-response question's "no");
    // it must not return into the caller (tests may throw from it).
    DeviceSession(SerialPort &port, SessionPrompts &prompts, ExecutableInfo exe,
                  std::function<void()> endProgram, QObject *parent = nullptr);

    // Loads the settings and starts searching; call once the signals are connected.
    void start();

    // --- the connection cycle (devicesession.cpp) ---
    // Expects the port closed: the settings are read again for it.
    void startConnectionCycle();
    // One search step: open the port if needed and ask the device who it is.
    void searchTick();
    void responseTimedOut();
    // Takes a complete line from the device.
    void handleLine(const QString &line);
    // The exit was confirmed: close the port; waiting commands send nothing.
    void shutdown();

    // --- the control panel (panelcommands.cpp) ---
    void setDuty(int percent);               // then asks for the value back
    bool sendTypedDuty(const QString &text); // false: not a whole 0 to 100
    void selectPreset(int preset);           // 1 to 7
    void askDutySetValue();
    void askPreset();
    void readBackStep(); // two steps after each identification
    void sampleTick();   // polls every sampleTime seconds

    // --- the settings panel (sessionsettings.cpp) ---
    void pauseSampling();
    // False when the save was refused (the prompts said why); nothing changed then.
    bool saveSettings(const SettingsTexts &texts);

    const SettingsRecord &settings() const { return m_settings; }
    const QString &settingsPath() const { return m_settingsPath; }
    const ExecutableInfo &executable() const { return m_exe; }
    const StatusLine &status() const { return m_status; }
    qint16 sampleTickCount() const { return m_sampleTickCount; }
    quint64 repliesHandled() const { return m_repliesHandled; }

    OnOffTimer &searchTimer() { return m_searchTimer; }
    OnOffTimer &responseTimer() { return m_responseTimer; }
    OnOffTimer &readBackTimer() { return m_readBackTimer; }
    OnOffTimer &sampleTimer() { return m_sampleTimer; }

signals:
    void statusChanged(const StatusLine &status);
    void dutyChanged(const QString &text);
    void presetHighlighted(int preset); // 0: none
    void deviceLineChanged(const QString &text);
    void controlPanelEnabled(bool enabled);
    // Keeps the user's input out while a poll is on the wire.
    void inputBlocked(bool blocked);
    void settingsLoaded(const SettingsRecord &settings);

private:
    void readPort();
    void loadSettings();
    // Any status but a port error carries no detail: an old error's words
    // must not linger over later captions.
    void showStatus(const QString &text, StatusTone tone, const QString &detail = {});
    void showPortFailure(const PortFailure &failure);
    // The link is gone: close the port, stop polling and search from the start.
    void searchAgain();
    // Sends one command, asks the user when it cannot, then waits the pacing delay.
    void sendCommand(const QString &command);
    // Every write to the device goes here, so the wire log sees it.
    bool writeToDevice(const QByteArray &bytes);
    void pace();
    void poll();

    SerialPort &m_port;
    SessionPrompts &m_prompts;
    ExecutableInfo m_exe;
    std::function<void()> m_endProgram;

    SettingsRecord m_settings;
    QString m_settingsPath;
    LineSettings m_line;
    LineAssembler m_received;
    StatusLine m_status;
    int m_readBackStep = 0;
    qint16 m_sampleTickCount = 0;
    bool m_shutDown = false;
    quint64 m_repliesHandled = 0;

    OnOffTimer m_searchTimer{kSearchInterval, Qt::PreciseTimer, this};
    OnOffTimer m_responseTimer{kResponseTimeout, Qt::PreciseTimer, this};
    OnOffTimer m_readBackTimer{kReadBackInterval, Qt::CoarseTimer, this};
    OnOffTimer m_sampleTimer{kSampleTick, Qt::CoarseTimer, this};
};
