#pragma once

#include "trend/recorder.h"
#include "trend/samplestore.h"

#include <QObject>
#include <QPointer>

class DeviceSession;
class QAction;
class QLabel;
class QWidget;
class TrendWindow;
struct WindowWidgets;

// What the trend and the recording add to the main window: Ctrl+T opens or
// raises the trend window, Ctrl+R starts or stops recording, both also on a
// right click on the status and device lines with "copy the status text",
// " (recording)" at the end of the title while recording, a box when it fails.
// The samples are kept from construction on, so a window opened later has them.
class TrendActions : public QObject
{
    Q_OBJECT
public:
    TrendActions(QWidget &window, DeviceSession &session, const WindowWidgets &widgets);
    ~TrendActions() override;

    SampleStore &store() { return m_store; }
    Recorder &recorder() { return m_recorder; }
    TrendWindow *trendWindow() const; // null until first shown

    void showTrend();
    void toggleRecording();
    void copyStatusText();

protected:
    // The labels' tooltips show the shortcuts after whatever they say now.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void askRecordingFile();
    void showRecording(bool on);
    void explainFailure(const QString &path, const QString &reason);

    QWidget &m_window;
    DeviceSession &m_session;
    QLabel *m_statusLabel;
    SampleStore m_store;
    Recorder m_recorder;
    QAction *m_trendAction;
    QAction *m_recordAction;
    QAction *m_copyAction;
    QPointer<TrendWindow> m_trendWindow;
};
