#pragma once

#include "app/windowlayout.h"
#include "session/devicesession.h"
#include "session/sessionprompts.h"

#include <QWidget>
#include <functional>

class Dialogs;

// The one window: shows what the session says, forwards clicks and box texts
// to it, and puts the session's questions to the user.
class MainWindow : public QWidget, private SessionPrompts
{
    Q_OBJECT
public:
    static constexpr QSize kSize{541, 216};

    // endProgram ends the process at once; see DeviceSession.
    MainWindow(SerialPort &port, Dialogs &dialogs, ExecutableInfo exe, std::function<void()> endProgram,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    static QString brandText();

    // Ends as a confirmed exit does (port closed), without asking: for the
    // signals a logout, a shutdown or Ctrl+C send.
    void closeWithoutAsking();

    DeviceSession &session() { return m_session; }
    const WindowWidgets &widgets() const { return m_widgets; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectControls();
    void connectSession();

    void showStatus(const StatusLine &status);
    void highlightPreset(int preset);
    void blockInput(bool blocked);
    void showSettings(const SettingsRecord &settings);
    void sendTypedDuty();
    void openSettings();
    void saveAndCloseSettings();

    bool continueAfterNoResponse() override;
    void explainRefusedSave(const QString &why) override;

    Dialogs &m_dialogs;
    WindowWidgets m_widgets;
    DeviceSession m_session;
    StatusTone m_statusTone = StatusTone::Neutral;
    bool m_inputBlocked = false;
    bool m_centred = false;
    bool m_exitConfirmed = false;
};
