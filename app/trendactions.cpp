#include "app/trendactions.h"

#include "app/dialogs.h"
#include "app/trendwindow.h"
#include "app/windowlayout.h"
#include "session/devicesession.h"

#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolTip>

namespace {

const QString kRecordingSuffix = QStringLiteral(" (recording)");

QString shortcutHint()
{
    return QObject::tr("Ctrl+T: trend window. Ctrl+R: start or stop recording to CSV.\n"
                       "Right click for both, and to copy the status text.");
}

} // namespace

TrendActions::TrendActions(QWidget &window, DeviceSession &session, const WindowWidgets &widgets)
    : QObject(&window), m_window(window), m_session(session), m_statusLabel(widgets.statusLabel)
{
    m_trendAction = new QAction(tr("Trend window"), this);
    m_trendAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    m_recordAction = new QAction(tr("Start recording…"), this);
    m_recordAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    m_copyAction = new QAction(tr("Copy status text"), this);
    connect(m_trendAction, &QAction::triggered, this, &TrendActions::showTrend);
    connect(m_recordAction, &QAction::triggered, this, &TrendActions::toggleRecording);
    connect(m_copyAction, &QAction::triggered, this, &TrendActions::copyStatusText);
    window.addActions({m_trendAction, m_recordAction});
    for (QWidget *label :
         {static_cast<QWidget *>(widgets.statusLabel), static_cast<QWidget *>(widgets.deviceLabel)}) {
        label->addActions({m_trendAction, m_recordAction, m_copyAction});
        label->setContextMenuPolicy(Qt::ActionsContextMenu);
        label->installEventFilter(this);
    }

    connect(&session, &DeviceSession::lineReceived, &m_store, &SampleStore::add);
    connect(&session, &DeviceSession::lineReceived, &m_recorder, &Recorder::recordReceived);
    connect(&session, &DeviceSession::commandWritten, &m_recorder, &Recorder::recordSent);
    connect(&m_recorder, &Recorder::started, this, [this] { showRecording(true); });
    connect(&m_recorder, &Recorder::stopped, this, [this] { showRecording(false); });
    connect(&m_recorder, &Recorder::failed, this, &TrendActions::explainFailure);
}

// The trend window is a child window of the main one, so it would go with it;
// it goes first here, while the store it shows is still there.
TrendActions::~TrendActions()
{
    delete m_trendWindow;
}

TrendWindow *TrendActions::trendWindow() const
{
    return m_trendWindow;
}

void TrendActions::showTrend()
{
    if (!m_trendWindow) {
        m_trendWindow = new TrendWindow(m_store, m_session.executable().baseName,
                                        QFileInfo(m_session.settingsPath()).absolutePath(), &m_window);
        m_trendWindow->addActions({m_trendAction, m_recordAction});
    }
    m_trendWindow->show();
    m_trendWindow->raise();
    m_trendWindow->activateWindow();
}

void TrendActions::toggleRecording()
{
    if (m_recorder.isRecording())
        m_recorder.stop();
    else
        askRecordingFile();
}

void TrendActions::copyStatusText()
{
    QGuiApplication::clipboard()->setText(m_statusLabel->text());
}

void TrendActions::askRecordingFile()
{
    const QString name = m_session.executable().baseName + u'-' +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                         QStringLiteral(".csv");
    auto *dialog =
        new QFileDialog(&m_window, tr("Record to CSV"), QFileInfo(m_session.settingsPath()).absolutePath(),
                        tr("CSV files (*.csv)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->selectFile(name);
    connect(dialog, &QFileDialog::fileSelected, &m_recorder,
            [this](const QString &path) { m_recorder.start(path); });
    dialog->open();
    // Return then starts with the name as it stands.
    if (auto *box = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        box->setFocus();
}

void TrendActions::showRecording(bool on)
{
    QString title = m_window.windowTitle();
    if (title.endsWith(kRecordingSuffix))
        title.chop(kRecordingSuffix.size());
    m_window.setWindowTitle(on ? title + kRecordingSuffix : title);
    m_recordAction->setText(on ? tr("Stop recording") : tr("Start recording…"));
}

void TrendActions::explainFailure(const QString &path, const QString &reason)
{
    const DialogContent content{tr("Recording stopped"),
                                tr("Recording to %1 failed: %2.").arg(path, reason),
                                QMessageBox::Warning,
                                {QMessageBox::Ok},
                                QMessageBox::Ok,
                                QMessageBox::Ok,
                                {}};
    QMessageBox *box = createMessageBox(content, &m_window).release();
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open(); // the panel goes on working behind it
}

bool TrendActions::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return false;
    auto *label = static_cast<QWidget *>(watched);
    // The label's own tooltip (a port error's words) is kept as it is set.
    const QString own = label->toolTip();
    QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(),
                       own.isEmpty() ? shortcutHint() : own + QStringLiteral("\n\n") + shortcutHint(), label);
    return true;
}
