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

    MainWindow(SerialPort &port, Dialogs &dialogs, ExecutableInfo exe, const SessionSchedule &schedule = {},
               QWidget *parent = nullptr);
    ~MainWindow() override;

    // The project's web address; the caption starts with it.
    static QString homepageUrl();

    // Ends as a confirmed exit does (port closed), without asking: for the
    // signals a logout, a shutdown or Ctrl+C send.
    void closeWithoutAsking();
    // 1 once the program ends because the device stopped answering, else 0.
    int exitStatus() const { return m_exitStatus; }

    DeviceSession &session() { return m_session; }
    const WindowWidgets &widgets() const { return m_widgets; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void connectControls();
    void connectSession();

    void showStatus(const StatusLine &status);
    void highlightPreset(int preset);
    void showSettings(const SettingsRecord &settings);
    void sendTypedDuty();
    void openSettings();
    void saveAndCloseSettings();

    void askContinueAfterNoResponse(std::function<void(bool)> answered) override;
    void endAfterNoResponse();
    void explainRefusedSave(const QString &why) override;

    Dialogs &m_dialogs;
    WindowWidgets m_widgets;
    DeviceSession m_session;
    StatusTone m_statusTone = StatusTone::Neutral;
    bool m_centred = false;
    bool m_exitConfirmed = false;
    bool m_exitQuestionOpen = false;
    int m_exitStatus = 0;
};
