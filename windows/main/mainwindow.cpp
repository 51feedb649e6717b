#include "windows/main/mainwindow.h"

#include "session/devicesession.h"
#include "windows/common/announce.h"
#include "windows/common/dialogs.h"
#include "windows/main/colors.h"
#include "windows/main/linespeech.h"
#include "windows/main/panelcover.h"
#include "windows/main/settingspanel.h"
#include "windows/main/windowaccess.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>

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

} // namespace

MainWindow::MainWindow(DeviceSession &session, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent), m_session(session), m_dialogs(dialogs)
{
    setFixedSize(kSize);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    setWindowIcon(makeIcon());
    m_title = homepageUrl() + QStringLiteral(": ") + session.executable().baseName;
    setWindowTitle(m_title);

    m_widgets = buildWindowWidgets(this);
    WindowAccess::describe(m_widgets);
    nameForScreenReader();
    // The lines and boxes show the keyboard focus as the buttons do.
    const WindowWidgets &w = m_widgets;
    QWidget *const plainStyled[] = {w.statusLabel, w.deviceLabel, w.typedDutyBox,  w.portBox,
                                    w.baudBox,     w.passwordBox, w.sampleTimeBox, w.deviceCodeBox,
                                    w.label1Box,   w.helpText,    w.saveButton};
    for (QWidget *control : plainStyled)
        useSharedStyle(control);
    m_speech = new LineSpeech(m_widgets, this);
    m_cover = new PanelCover(m_widgets, this);
    auto *settings = new SettingsPanel(session, m_widgets, this);
    connect(settings, &SettingsPanel::saved, m_speech, [this] { m_speech->say(tr("Settings saved")); });
    connectControls();
    connectSession();

    auto *copy = new QAction(tr("Copy status text"), this);
    connect(copy, &QAction::triggered, this, &MainWindow::copyStatusText);
    for (QLabel *label : {m_widgets.statusLabel, m_widgets.deviceLabel}) {
        label->addAction(copy);
        label->setContextMenuPolicy(Qt::ActionsContextMenu);
        label->installEventFilter(this);
    }
    auto *focusLine = new QAction(tr("Focus the status line"), this);
    focusLine->setShortcut(Qt::Key_F6);
    connect(focusLine, &QAction::triggered, this, &MainWindow::focusNextLine);
    addAction(focusLine);
}

MainWindow::~MainWindow() = default;

QString MainWindow::homepageUrl()
{
    return QStringLiteral("https://pwm-panel.kestravon.dev");
}

void MainWindow::offerActions(const QList<QAction *> &actions)
{
    addActions(actions);
    for (QLabel *label : {m_widgets.statusLabel, m_widgets.deviceLabel}) {
        QAction *copy = label->actions().value(0);
        label->insertActions(copy, actions); // the copy action stays last
    }
}

void MainWindow::showRecording(bool on)
{
    setWindowTitle(on ? m_title + QStringLiteral(" (recording)") : m_title);
    nameForScreenReader(); // the title's change must not rename it
    m_speech->say(on ? tr("Recording started") : tr("Recording stopped"));
}

// Read on every switch to the window: the program and the device it drives,
// not the web address the title starts with.
void MainWindow::nameForScreenReader()
{
    setAccessibleName(
        tr("%1, device %2").arg(m_session.executable().baseName, m_session.settings().deviceCode));
}

void MainWindow::connectControls()
{
    const WindowWidgets &w = m_widgets;
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
    connect(&m_session, &DeviceSession::statusChanged, this, &MainWindow::showStatus);
    connect(&m_session, &DeviceSession::dutyChanged, this, &MainWindow::showDuty);
    connect(&m_session, &DeviceSession::presetHighlighted, this, &MainWindow::highlightPreset);
    connect(&m_session, &DeviceSession::deviceLabelChanged, this, [this](const QString &text) {
        m_widgets.deviceLabel->setText(text);
        m_speech->device();
    });
    connect(&m_session, &DeviceSession::controlPanelEnabled, m_cover, &PanelCover::setControlPanelEnabled);
    connect(&m_session, &DeviceSession::settingsLoaded, this, &MainWindow::nameForScreenReader);
}

void MainWindow::showStatus(const StatusLine &status)
{
    QLabel *label = m_widgets.statusLabel;
    label->setText(status.text);
    if (status.tone != m_statusTone) { // the palette change costs more than the text on a busy line
        m_statusTone = status.tone;
        setLabelColors(label, Colors::ofStatus(status.tone));
    }
    const QString tip = status.detail.isEmpty() || status.device.isEmpty()
                            ? status.detail + status.device
                            : status.detail + u'\n' + status.device;
    if (label->toolTip() != tip)
        label->setToolTip(tip);
    if (const QString state = WindowAccess::statusDescription(status);
        label->accessibleDescription() != state)
        label->setAccessibleDescription(state);
    m_speech->status(status);
}

void MainWindow::showDuty(const QString &text)
{
    if (m_widgets.dutyDisplay->text() == text)
        return; // the same duty read back again is nothing new
    m_widgets.dutyDisplay->setText(text);
    m_speech->duty(text);
}

// F6 goes to the status line, and from there to the device line. Their focus
// policy stays NoFocus, outside Tab and the mouse: a focusable QLabel keeps its
// text in a text control, which reports every change (each sample count) itself.
void MainWindow::focusNextLine()
{
    QLabel *status = m_widgets.statusLabel;
    QLabel *line = status->hasFocus() ? m_widgets.deviceLabel : status;
    WindowAccess::nameLine(line);             // with the count it shows now, before it is read
    setAttribute(Qt::WA_KeyboardFocusChange); // a key moved the focus: show it
    line->setFocus(Qt::ShortcutFocusReason);
}

// Shown, not exec()'d: the key handler returns at once. Under X the Menu key
// also sends its own context menu event; the menu already open swallows it.
void MainWindow::openLineMenu(QLabel *line)
{
    if (m_lineMenu)
        return;
    m_lineMenu = new QMenu(line);
    m_lineMenu->setAttribute(Qt::WA_DeleteOnClose);
    m_lineMenu->addActions(line->actions());
    m_lineMenu->popup(line->mapToGlobal(QPoint(0, line->height())));
    // The first item selected, as a menu opened from the keyboard is: a screen reader reads it.
    m_lineMenu->setActiveAction(m_lineMenu->actions().value(0));
}

// A button whose colour stays the same is not touched: every style sheet
// change repaints it (and its frame).
void MainWindow::highlightPreset(int preset)
{
    const QColor face = Colors::buttonFace();
    const QColor lit = Colors::highlight();
    for (size_t i = 0; i < m_widgets.presetButtons.size(); ++i) {
        QPushButton *button = m_widgets.presetButtons[i];
        setButtonBackColor(button, int(i) + 1 == preset ? lit : face);
        WindowAccess::setPresetLit(button, int(i) + 1 == preset);
    }
}

void MainWindow::sendTypedDuty()
{
    // The box keeps the text as typed unless it is no duty; a press dropped
    // for want of room is said on the status line and the text stays to send again.
    if (m_session.sendTypedDuty(m_widgets.typedDutyBox->text()) == DeviceSession::TypedDuty::NotADuty)
        m_widgets.typedDutyBox->setText(QStringLiteral("error"));
}

void MainWindow::copyStatusText()
{
    QGuiApplication::clipboard()->setText(m_widgets.statusLabel->text());
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    auto *label = static_cast<QLabel *>(watched);
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Menu &&
            !(key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier))
            return false;
        openLineMenu(label);
        return true;
    }
    if (event->type() == QEvent::ContextMenu) { // the mouse's keeps Qt's own menu
        if (static_cast<QContextMenuEvent *>(event)->reason() != QContextMenuEvent::Keyboard)
            return false;
        openLineMenu(label);
        return true;
    }
    if (event->type() != QEvent::ToolTip)
        return false;
    const QString hint = tr("Ctrl+T: trend window. Ctrl+R: start or stop recording to CSV. "
                            "Ctrl+P: choose the port.\n"
                            "F6: focus the status line, again for the device line; there the Menu key "
                            "or Shift+F10 opens its menu.\n"
                            "Right click for these, and to copy the status text.");
    // The label's own tooltip (a port error's words) is kept as it is set.
    const QString own = label->toolTip();
    QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(),
                       own.isEmpty() ? hint : own + QStringLiteral("\n\n") + hint, label);
    return true;
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
