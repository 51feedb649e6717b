#pragma once

#include "session/statusline.h"
#include "windows/main/windowlayout.h"

#include <QPointer>
#include <QWidget>

class DeviceSession;
class QLabel;
class QMenu;
class LineSpeech;
class PanelCover;
class Dialogs;

// The one window: shows what the session says and forwards clicks and box
// texts to it; asks before it closes.
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    MainWindow(DeviceSession &session, Dialogs &dialogs, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The project's web address; the caption starts with it.
    static QString homepageUrl();

    // Puts the program's further actions (the trend window, recording) on
    // the window's keys and on the status and device lines' context menus.
    void offerActions(const QList<QAction *> &actions);
    // " (recording)" after the title while a recording runs.
    void showRecording(bool on);

    // Ends as a confirmed exit does (port closed), without asking: for the
    // signals a logout, a shutdown or Ctrl+C send, and the user's No to the
    // no-response question.
    void closeWithoutAsking();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // The status and device lines' tooltips add the shortcuts to whatever they
    // say; the Menu key and Shift+F10 open their context menus.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static constexpr QSize kSize{541, 216};

    void connectControls();
    void connectSession();
    void showStatus(const StatusLine &status);
    void showDuty(const QString &text);
    void focusNextLine();
    void openLineMenu(QLabel *line);
    void highlightPreset(int preset);
    void sendTypedDuty();
    void copyStatusText();
    void nameForScreenReader();

    DeviceSession &m_session;
    Dialogs &m_dialogs;
    WindowWidgets m_widgets;
    QString m_title;
    StatusTone m_statusTone = StatusTone::Neutral;
    LineSpeech *m_speech = nullptr;
    PanelCover *m_cover = nullptr;
    QPointer<QMenu> m_lineMenu;
    bool m_centred = false;
    bool m_exitConfirmed = false;
    bool m_exitQuestionOpen = false;
};
