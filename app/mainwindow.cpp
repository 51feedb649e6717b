#include "app/mainwindow.h"

#include "app/colors.h"
#include "app/dialogs.h"
#include "app/trendactions.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace {

QIcon makeIcon()
{
    // 32 x 32: a PWM pulse train on black.
    QPixmap pix(32, 32);
    pix.fill(Qt::black);
    QPainter p(&pix);
    p.setPen(QPen(QColor(255, 0, 0), 3));
    const QPoint wave[] = {{2, 24},  {7, 24}, {7, 8},  {14, 8},  {14, 24},
                           {18, 24}, {18, 8}, {25, 8}, {25, 24}, {30, 24}};
    p.drawPolyline(wave, int(std::size(wave)));
    return QIcon(pix);
}

QColor colourOf(StatusTone tone)
{
    switch (tone) {
    case StatusTone::Neutral:
        break;
    case StatusTone::Searching:
        return QColor::fromRgb(Colors::LightYellow);
    case StatusTone::Failed:
        return QColor::fromRgb(Colors::LightRed);
    case StatusTone::Receiving:
        return QColor::fromRgb(Colors::LightGreen);
    case StatusTone::Found:
        return QColor::fromRgb(Colors::Green);
    }
    return Colors::buttonFace();
}

} // namespace

MainWindow::MainWindow(SerialPort &port, Dialogs &dialogs, ExecutableInfo exe,
                       const SessionSchedule &schedule, QWidget *parent)
    : QWidget(parent), m_dialogs(dialogs), m_session(port, *this, std::move(exe), schedule)
{
    setFixedSize(kSize);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    setWindowIcon(makeIcon());
    setWindowTitle(homepageUrl() + QStringLiteral(": ") + m_session.executable().baseName);

    m_widgets = buildWindowWidgets(this);
    connectControls();
    connectSession();
    new TrendActions(*this, m_session, m_widgets); // a child: goes with the window
    m_session.start();
}

MainWindow::~MainWindow() = default;

QString MainWindow::homepageUrl()
{
    return QStringLiteral("https://pwm-panel.kestravon.dev");
}

void MainWindow::connectControls()
{
    const WindowWidgets &w = m_widgets;
    connect(w.setButton, &QPushButton::clicked, this, &MainWindow::openSettings);
    connect(w.saveButton, &QPushButton::clicked, this, &MainWindow::saveAndCloseSettings);
    connect(w.helpButton, &QPushButton::clicked, w.helpPanel, &QWidget::show);
    connect(w.closeHelpButton, &QPushButton::clicked, w.helpPanel, &QWidget::hide);
    connect(w.duty0Button, &QPushButton::clicked, &m_session, [this] { m_session.setDuty(0); });
    connect(w.duty50Button, &QPushButton::clicked, &m_session, [this] { m_session.setDuty(50); });
    connect(w.duty100Button, &QPushButton::clicked, &m_session, [this] { m_session.setDuty(100); });
    connect(w.sendButton, &QPushButton::clicked, this, &MainWindow::sendTypedDuty);
    for (size_t i = 0; i < w.presetButtons.size(); ++i)
        connect(w.presetButtons[i], &QPushButton::clicked, &m_session,
                [this, preset = int(i) + 1] { m_session.selectPreset(preset); });
}

void MainWindow::connectSession()
{
    const WindowWidgets &w = m_widgets;
    connect(&m_session, &DeviceSession::statusChanged, this, &MainWindow::showStatus);
    connect(&m_session, &DeviceSession::dutyChanged, w.dutyDisplay, &QLabel::setText);
    connect(&m_session, &DeviceSession::presetHighlighted, this, &MainWindow::highlightPreset);
    connect(&m_session, &DeviceSession::deviceLabelChanged, w.deviceLabel, &QLabel::setText);
    connect(&m_session, &DeviceSession::controlPanelEnabled, w.controlPanel, &QWidget::setEnabled);
    connect(&m_session, &DeviceSession::endRequested, this, &MainWindow::endAfterNoResponse);
    connect(&m_session, &DeviceSession::settingsLoaded, this, &MainWindow::showSettings);
}

void MainWindow::showStatus(const StatusLine &status)
{
    QLabel *label = m_widgets.statusLabel;
    label->setText(status.text);
    if (status.tone != m_statusTone) { // the palette change costs more than the text on a busy line
        m_statusTone = status.tone;
        setLabelColors(label, colourOf(status.tone));
    }
    if (label->toolTip() != status.detail)
        label->setToolTip(status.detail);
}

// A button whose colour stays the same is not touched: every style sheet
// change repaints it (and its frame).
void MainWindow::highlightPreset(int preset)
{
    const QColor face = Colors::buttonFace();
    const QColor lit = Colors::highlight();
    for (size_t i = 0; i < m_widgets.presetButtons.size(); ++i)
        setButtonBackColor(m_widgets.presetButtons[i], int(i) + 1 == preset ? lit : face);
}

void MainWindow::showSettings(const SettingsRecord &settings)
{
    const WindowWidgets &w = m_widgets;
    w.portBox->setText(QString::number(settings.portNumber));
    w.baudBox->setText(settings.baudRate);
    w.passwordBox->setText(settings.password);
    w.sampleTimeBox->setText(QString::number(settings.sampleTime));
    w.deviceCodeBox->setText(settings.deviceCode);
    w.label1Box->setText(settings.labels[0]);
    w.dutyCaption->setText(settings.labels[0]);
}

void MainWindow::sendTypedDuty()
{
    // The box keeps the text as typed unless it is refused.
    if (!m_session.sendTypedDuty(m_widgets.typedDutyBox->text()))
        m_widgets.typedDutyBox->setText(QStringLiteral("error"));
}

void MainWindow::openSettings()
{
    m_widgets.settingsPanel->show();
    m_session.pauseSampling();
}

void MainWindow::saveAndCloseSettings()
{
    const WindowWidgets &w = m_widgets;
    const SettingsTexts texts{w.portBox->text(),       w.baudBox->text(),       w.passwordBox->text(),
                              w.sampleTimeBox->text(), w.deviceCodeBox->text(), w.label1Box->text()};
    if (m_session.saveSettings(texts))
        w.settingsPanel->hide();
}

void MainWindow::askContinueAfterNoResponse(std::function<void(bool)> answered)
{
    m_dialogs.ask(DialogContents::noResponseQuestion(),
                  [answered](QMessageBox::StandardButton answer) { answered(answer == QMessageBox::Yes); });
}

// The user chose to end after the device stopped answering: no exit
// question, and the exit status says why the program ended.
void MainWindow::endAfterNoResponse()
{
    m_exitStatus = 1;
    closeWithoutAsking();
    QCoreApplication::quit(); // other windows of the program may still be open
}

void MainWindow::explainRefusedSave(const QString &why)
{
    m_dialogs.ask(DialogContents::saveRefused(why));
}

void MainWindow::closeWithoutAsking()
{
    m_exitConfirmed = true;
    close();
}

// The close is refused until the user has answered the exit question; a Yes
// closes the window again, confirmed.
void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_exitConfirmed) {
        m_session.shutdown();
        event->accept();
        return;
    }
    event->ignore();
    if (m_exitQuestionOpen)
        return;
    m_exitQuestionOpen = true;
    m_dialogs.ask(DialogContents::exitQuestion(), [this](QMessageBox::StandardButton answer) {
        m_exitQuestionOpen = false;
        if (answer == QMessageBox::Yes) // from the top of the event loop: a close cannot nest
            QMetaObject::invokeMethod(this, &MainWindow::closeWithoutAsking, Qt::QueuedConnection);
    });
}

void MainWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    if (const QScreen *s = screen()) {
        const QRect area = s->availableGeometry();
        const QRect frame = frameGeometry();
        move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
    }
}
