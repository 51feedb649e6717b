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
#include <QSet>
#include <chrono>
#include <functional>
#include <optional>

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
// command, a hang-up, a port chosen anew, the user's answer to the
// no-response question, the exit) stops them in one place, endConnection().
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
    // What became of a command queued for a script: nothing once it is
    // written, else why not (the write failed, or the connection ended first).
    using Settled = std::function<void(const std::optional<QString> &notWritten)>;
    // What Send did with the typed text.
    enum class TypedDuty {
        Queued,
        NotADuty, // not a whole number from 0 to 100: the box says "error"
        NotSent,  // no room in the queue: the box keeps the text, the status says so
    };

    // The device needs this long after a command before it takes the next.
    static constexpr auto kPacing = std::chrono::milliseconds(50);

    DeviceSession(SerialPort &port, SessionPrompts &prompts, ExecutableInfo exe,
                  const SessionSchedule &schedule = {}, QObject *parent = nullptr);

    // Loads the settings and starts searching; call once the signals are connected.
    void start();

    // --- the control panel (panelcommands.cpp); each returns at once, and
    // false when nothing was queued (the queue is full, the program ending, a
    // script's command while the user is asked what to do) ---
    // settled: told once the commands are written or why not, unless nothing was queued.
    bool setDuty(int percent, Origin origin = Origin::Panel, Settled settled = {});     // then asks back
    bool selectPreset(int preset, Origin origin = Origin::Panel, Settled settled = {}); // 1 to 7
    bool askDutySetValue(Origin origin = Origin::Panel, Settled settled = {});
    bool askPreset(Origin origin = Origin::Panel, Settled settled = {});
    TypedDuty sendTypedDuty(const QString &text);

    // --- the settings panel ---
    void pauseSampling();
    // False when the save was refused (the prompts said why); nothing changed then.
    bool saveSettings(const SettingsTexts &texts);

    // The port was bound anew: closes it, searches from the start and asks at once.
    // Nothing happens while the user is asked what to do or the program ends.
    void searchFromStart();
    // Ports came or went: a device waited for behind a com<N> link that is
    // there again is asked at once rather than at the next search tick.
    void lookAgainAtPort();

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
    // The port open, else the device the port number names (a com<N> link resolved).
    QString portDevice() const;
    // Where the com<N> links are made: the settings file's folder.
    QString portFolder() const;
    // Where they are looked up, in order: that folder, then the executable's.
    QStringList portFolders() const;
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
    // The settings were read for a cycle that shows them in the boxes: the
    // start, Yes to the no-response question and a save. The other cycles
    // (a hang-up, a port chosen, a failed poll or script command) read the
    // file too but leave the boxes with what the user typed.
    void settingsLoaded(const SettingsRecord &settings);
    void portNamed(const PortNaming &naming);
    void stateChanged(DeviceSession::State state);
    // Every command written and every complete line received, each read once.
    void commandWritten(const WireLine &command);
    void lineReceived(const WireLine &line);
    // The device stopped answering and the user chose to end the program.
    void endRequested();

private:
    // Whether a new connection puts the file's settings in the boxes.
    enum class Boxes { Refill, Keep };

    // search.cpp: open the port if needed and ask the device who it is.
    void searchTick();
    // Opens what the port number names now; false when the status says why not.
    bool openNamedPort();
    // com<N> was a link in this run and is missing now (removed, or being replaced).
    bool waitsForLink() const;
    void responseTimedOut();
    void readPort();
    void handleLine(const WireLine &line);
    void loadSettings(Boxes boxes);
    // Loads the settings again and searches from the start.
    void startConnectionCycle(Boxes boxes);
    // Stops the connection's timers, drops its waiting commands, closes the port.
    void endConnection();
    void searchAgain(Boxes boxes = Boxes::Keep);
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
    bool queueCommands(QList<CommandQueue::Command> commands, Origin origin, Settled settled = {});
    bool queuePanelCommand(const QString &text, Origin origin, Settled settled = {});
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
    QString m_deviceText;   // the status line's words on which device the port names
    QString m_statusDetail; // the caption's own detail (a port error's words)
    // A panel command dropped for want of room: said until the next press.
    QString m_notSentNotice;
    QString m_openDevice;      // the device the port was last opened on
    bool m_portAway = false;   // the last tick could not reach the port: it is waited for
    QSet<int> m_linkedNumbers; // port numbers whose com<N> was a link in this run
    QString m_dutyText = QStringLiteral("-");
    int m_preset = 0;
    State m_state = State::Searching;
    bool m_asking = false; // the no-response question is open

    CommandQueue m_queue{kPacing, [this](const CommandQueue::Command &c) { writeCommand(c); }, this};
    DevicePolling m_polling;
    SessionTimer *m_searchTimer;
    SessionTimer *m_responseTimer;
};
