#pragma once

#include <QObject>
#include <QPointer>

class DeviceSession;
class Dialogs;
class QAction;
class QWidget;
class Recorder;
class SampleStore;
class TrendWindow;

// The trend window and recording as actions: Ctrl+T opens or raises the
// trend window of the samples, Ctrl+R asks for a file and starts recording,
// or stops it; a recording that fails is explained in a box.
class TrendActions : public QObject
{
    Q_OBJECT
public:
    // The trend window is a child window of mainWindow; the file dialogs
    // start in the folder of the session's settings file.
    TrendActions(QWidget &mainWindow, const DeviceSession &session, SampleStore &samples, Recorder &recorder,
                 Dialogs &dialogs);
    ~TrendActions() override;

    QList<QAction *> actions() const;

    TrendWindow &showTrend();
    void toggleRecording();
    // Ctrl+O: a recording in a trend window of its own.
    void askRecordingToOpen();

private:
    void askRecordingFile();
    QString folder() const;

    QWidget &m_mainWindow;
    const DeviceSession &m_session;
    SampleStore &m_samples;
    Recorder &m_recorder;
    Dialogs &m_dialogs;
    QAction *m_trendAction;
    QAction *m_recordAction;
    QAction *m_openAction;
    QPointer<TrendWindow> m_trendWindow;
    bool m_starting = false; // a failure now is a start refused, not a recording cut short
};
