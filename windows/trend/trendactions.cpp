#include "windows/trend/trendactions.h"

#include "session/devicesession.h"
#include "trend/recorder.h"
#include "windows/common/dialogs.h"
#include "windows/trend/recordingview.h"
#include "windows/trend/trendwindow.h"

#include <QAction>
#include <QDateTime>
#include <QFileInfo>

TrendActions::TrendActions(QWidget &mainWindow, const DeviceSession &session, SampleStore &samples,
                           Recorder &recorder, Dialogs &dialogs)
    : m_mainWindow(mainWindow), m_session(session), m_samples(samples), m_recorder(recorder),
      m_dialogs(dialogs)
{
    m_trendAction = new QAction(tr("Trend window"), this);
    m_trendAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    m_recordAction = new QAction(tr("Start recording…"), this);
    m_recordAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    m_openAction = new QAction(tr("Open recording…"), this);
    m_openAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(m_trendAction, &QAction::triggered, this, [this] { showTrend(); });
    connect(m_openAction, &QAction::triggered, this, &TrendActions::askRecordingToOpen);
    connect(m_recordAction, &QAction::triggered, this, &TrendActions::toggleRecording);

    connect(&recorder, &Recorder::started, this, [this] { m_recordAction->setText(tr("Stop recording")); });
    connect(&recorder, &Recorder::stopped, this, [this] { m_recordAction->setText(tr("Start recording…")); });
    connect(&recorder, &Recorder::failed, this, [this](const QString &path, const QString &reason) {
        // The panel goes on working behind the box.
        if (m_starting)
            m_dialogs.warn(tr("Not recording"), tr("Recording to %1 could not start: %2.").arg(path, reason));
        else
            m_dialogs.warn(tr("Recording stopped"), tr("Recording to %1 failed: %2.").arg(path, reason));
    });
}

// The trend window is a child window of the main one, so it would go with it;
// it goes first here, while the store it shows is still there.
TrendActions::~TrendActions()
{
    delete m_trendWindow;
}

QList<QAction *> TrendActions::actions() const
{
    return {m_trendAction, m_recordAction, m_openAction};
}

TrendWindow &TrendActions::showTrend()
{
    if (!m_trendWindow) {
        m_trendWindow =
            new TrendWindow(m_samples, m_dialogs, m_session.executable().baseName, folder(), &m_mainWindow);
        m_trendWindow->addActions(actions());
    }
    m_trendWindow->show();
    m_trendWindow->raise();
    m_trendWindow->activateWindow();
    return *m_trendWindow;
}

void TrendActions::toggleRecording()
{
    if (m_recorder.isRecording())
        m_recorder.stop();
    else
        askRecordingFile();
}

QString TrendActions::folder() const
{
    return QFileInfo(m_session.settingsPath()).absolutePath();
}

void TrendActions::askRecordingFile()
{
    const QString name = m_session.executable().baseName + u'-' +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                         QStringLiteral(".csv");
    m_dialogs.askSaveFile({tr("Record to CSV"), folder(), name, tr("CSV files (*.csv)"), &m_mainWindow},
                          [this](const QString &path) {
                              // The recorder refuses what is no file (a FIFO would block the window) and says
                              // why.
                              m_starting = true;
                              m_recorder.start(path);
                              m_starting = false;
                          });
}

void TrendActions::askRecordingToOpen()
{
    QWidget *over = m_trendWindow && m_trendWindow->isActiveWindow() ? static_cast<QWidget *>(m_trendWindow)
                                                                     : &m_mainWindow;
    m_dialogs.askOpenFile(
        {tr("Open recording"), folder(), tr("CSV files (*.csv)"), over},
        [this](const QString &path) { RecordingView::open(path, m_dialogs, &m_mainWindow); });
}
