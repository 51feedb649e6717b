#pragma once

#include "app/executableinfo.h"
#include "app/formtimer.h"
#include "app/mainformcontrols.h"
#include "link/lineassembler.h"
#include "settings/settingsrecord.h"

#include <QColor>
#include <QString>
#include <QWidget>
#include <functional>

class MessageBoxes;
class SerialPort;
class QLabel;
class QPushButton;

// The one window. Its handlers keep the names of the controls and events they
// answer (cmdUPort_Click, MSComm1_OnComm, ...) and are public so that the
// program's own code, and the tests, can press the hidden buttons directly.
// The handlers live in the folders of their subsystem: link/, panel/, settings/.
class MainForm : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kClientWidth = 541;  // 8115 twips
    static constexpr int kClientHeight = 216; // 3240 twips

    // endProgram ends the process at once (the no-response dialog's No); it must not return
    // into the handler that called it (tests may throw from it).
    MainForm(SerialPort &port, MessageBoxes &boxes, ExecutableInfo exe, std::function<void()> endProgram,
             QWidget *parent = nullptr);
    ~MainForm() override;

    static QString brandText();

    // --- start-up, cycle, exit (app/) ---
    void Form_Load();
    void StartConnectionCycle();
    void cmdHelp_Click();
    void cmdCloseHelp_Click();
    // The exit confirmation; returns the cancel flag (non-zero keeps the window).
    int Form_Unload();

    // --- identification (link/identification.cpp) ---
    void Timer1_Timer();
    void cmdInicijalizacija_Click();
    void TimerCom_Timer();

    // --- command channel (link/commandchannel.cpp) ---
    void cmdUPort_Click();
    void cmdKasnjenje_Click();

    // --- receiving and replies (link/replyinterpreter.cpp) ---
    void MSComm1_OnComm(int event);
    void InterpretReply(const QString &line);
    void ResetFpwmButtons();

    // --- control panel (panel/) ---
    void cmd0P_Click();
    void cmd50P_Click();
    void cmd100P_Click();
    void cmdSV01_Click();
    void cmdPV01_Click();
    void cmdFpwm_Click(int index); // 1..7
    void cmdSV02_Click();
    void Timer2_Timer();
    void StTimer_Timer();

    // --- settings (settings/) ---
    void LoadSettings();
    // Returns false when the save was refused (a message box said why).
    bool SaveSettings();
    void cmdSet_Click();
    void cmdExit_Click();

    // --- state, named as the program speaks of it ---
    const MainFormControls &controls() const { return c; }
    SettingsRecord Settings;
    QString SettingsPath;
    QString PendingCommand;
    LineAssembler ReceiveLine;
    qint16 QueryStep = 0;
    qint16 SampleTickCount = 0;

    FormTimer Timer1{2500, Qt::PreciseTimer, this};
    FormTimer TimerCom{5000, Qt::PreciseTimer, this};
    FormTimer Timer2{800, Qt::CoarseTimer, this};
    FormTimer StTimer{1000, Qt::CoarseTimer, this};

    const ExecutableInfo &executable() const { return m_exe; }
    SerialPort &port() { return m_port; }
    // Counts reply lines handed to InterpretReply (for the benchmarks).
    quint64 repliesInterpreted() const { return m_repliesInterpreted; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void setStatus(const QString &caption);
    void setStatusColor(QColor color);
    void setStatusError(int number, const QString &systemMessage);
    void sendCommand(const QString &command); // the send pattern
    void pollNow();                           // the sample poll
    bool applySettings();
    void highlightPreset(int preset); // 0: none

    SerialPort &m_port;
    MessageBoxes &m_boxes;
    ExecutableInfo m_exe;
    std::function<void()> m_endProgram;
    MainFormControls c;
    QColor m_statusColor;
    bool m_centred = false;
    bool m_unloaded = false;
    quint64 m_repliesInterpreted = 0;
};
