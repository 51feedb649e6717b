#pragma once

#include "link/lineassembler.h"
#include "link/portnumber.h"
#include "link/serialport.h"
#include "link/wireline.h"
#include "session/commandqueue.h"
#include "session/devicepolling.h"
#include "session/sessionschedule.h"
#include "session/sessionsettings.h"
#include "session/statusline.h"
#include "settings/executableinfo.h"
#include "settings/settingsrecord.h"
#include "settings/settingstexts.h"

#include <QObject>
#include <chrono>

class SessionPrompts;

// Everything between the device and the screen, without a widget: searching
// for the device, what each reply means and the commands of the control
// panel. The read-backs and polls are DevicePolling's, the file is
// SessionSettings'. It says what to show through its signals and asks its
// questions through SessionPrompts.
//
// A connection is one search and, once the device has answered with its
// code, its read-backs and polls. Its timers and the commands waiting in the
// queue belong to it: whatever ends it (a save, a failed poll or script
// command, the user's answer to the no-response question, the exit) stops
// them in one place, endConnection().
class DeviceSession : public QObject
{
    Q_OBJECT
public:
    enum class State {
        Searching,  // asking the device who it is
        Identified, // it answered with its code: read-backs and polls
        Ended,      // the program is ending; nothing is written any more
    };
    Q_ENUM(State)
    // Who asked for a command. A command from the panel that cannot be written
    // asks the user; one from a script does not (nobody may be at the screen)
    // and searches again, as a failed poll does.
    enum class Origin { Panel, Script };

    // The device needs this long after a command before it takes the next.
    static constexpr auto kPacing = std::chrono::milliseconds(50);

    DeviceSession(SerialPort &port, SessionPrompts &prompts, ExecutableInfo exe,
                  const SessionSchedule &schedule = {}, QObject *parent = nullptr);

    // Loads the settings and starts searching; call once the signals are connected.
    void start();

    // --- the control panel (panelcommands.cpp); each returns at once, and
    // false when nothing was queued (the queue is full, the program ending, a
    // script's command while the user is asked what to do) ---
    bool setDuty(int percent, Origin origin = Origin::Panel);     // then asks for the value back
    bool selectPreset(int preset, Origin origin = Origin::Panel); // 1 to 7
    bool askDutySetValue(Origin origin = Origin::Panel);
    bool askPreset(Origin origin = Origin::Panel);
    // False when the text is not a whole number from 0 to 100, or the queue is full.
    bool sendTypedDuty(const QString &text);

    // --- the settings panel ---
    void pauseSampling();
    // False when the save was refused (the prompts said why); nothing changed then.
    bool saveSettings(const SettingsTexts &texts);

    // The port was bound anew: closes it, searches from the start and asks at once.
    // Nothing happens while the user is asked what to do or the program ends.
    void searchFromStart();

    // The program ends: the port is closed and nothing more is written.
    void shutdown();

    State state() const { return m_state; }
    // The no-response question is open: nothing is written until the user answers.
    bool isAskingUser() const { return m_asking; }
    const SettingsRecord &settings() const { return m_settings.record(); }
    const QString &settingsPath() const { return m_settings.path(); }
    const ExecutableInfo &executable() const { return m_exe; }
    const StatusLine &status() const { return m_status; }
    const QString &dutyText() const { return m_dutyText; }
    int highlightedPreset() const { return m_preset; }
    // The device the port number names (a com<N> link resolved).
    QString portDevice() const;
    // Where the com<N> links are looked up: the settings file's folder.
    QString portFolder() const;
    // Which device the port number names, as of the last search tick or
    // identification.
    const PortNaming &portNaming() const { return m_naming; }

signals:
    void statusChanged(const StatusLine &status);
    void dutyChanged(const QString &text);
    void presetHighlighted(int preset); // 0: none
    // Who answered, and this copy's name.
    void deviceLabelChanged(const QString &label);
    void controlPanelEnabled(bool enabled);
    void settingsLoaded(const SettingsRecord &settings);
    void portNamed(const PortNaming &naming);
    void stateChanged(DeviceSession::State state);
    // Every command written and every complete line received, each read once.
    void commandWritten(const WireLine &command);
    void lineReceived(const WireLine &line);
    // The device stopped answering and the user chose to end the program.
    void endRequested();

private:
    void searchTick(); // open the port if needed and ask the device who it is
    void responseTimedOut();
    void readPort();
    void handleLine(const WireLine &line);
    void loadSettings();
    // Loads the settings again and searches from the start.
    void startConnectionCycle();
    // Stops the connection's timers, drops its waiting commands, closes the port.
    void endConnection();
    void searchAgain();
    void setState(State state);
    // Only a port error and a command that found no room carry a detail, and
    // any other status drops it: old words must not linger over later captions.
    void showStatus(const QString &text, StatusTone tone, const QString &detail = {});
    void showPortFailure(const PortFailure &failure);
    // Looks again at what the port number names; found: the device answered.
    void namePort(bool found);
    // False when nothing was queued: the program ends, the queue is full, or
    // (for a script) the user is being asked what to do. A panel command
    // dropped for want of room says so on the status line's detail.
    bool queueCommands(const QList<CommandQueue::Command> &commands, Origin origin);
    bool queuePanelCommand(const QString &text, Origin origin);
    // Called by the queue when a command is due.
    void writeCommand(const CommandQueue::Command &command);
    void askAfterNoResponse();

    SerialPort &m_port;
    SessionPrompts &m_prompts;
    ExecutableInfo m_exe;

    SessionSettings m_settings;
    LineAssembler m_received;
    StatusLine m_status;
    PortNaming m_naming;
    QString m_deviceText; // the status line's words on which device the port names
    QString m_dutyText = QStringLiteral("-");
    int m_preset = 0;
    State m_state = State::Searching;
    bool m_asking = false; // the no-response question is open

    CommandQueue m_queue{kPacing, [this](const CommandQueue::Command &c) { writeCommand(c); }, this};
    DevicePolling m_polling;
    SessionTimer *m_searchTimer;
    SessionTimer *m_responseTimer;
};
