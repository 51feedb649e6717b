#include "app/mainform.h"

#include "app/msgbox.h"
#include "app/vbcolor.h"
#include "link/serialport.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
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

} // namespace

MainForm::MainForm(SerialPort &port, MessageBoxes &boxes, ExecutableInfo exe,
                   std::function<void()> endProgram, QWidget *parent)
    : QWidget(parent), m_port(port), m_boxes(boxes), m_exe(std::move(exe)),
      m_endProgram(std::move(endProgram))
{
    setFixedSize(kClientWidth, kClientHeight);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    setWindowIcon(makeIcon());

    c = buildMainFormControls(this);

    connect(c.cmdSet, &QPushButton::clicked, this, &MainForm::cmdSet_Click);
    connect(c.cmdHelp, &QPushButton::clicked, this, &MainForm::cmdHelp_Click);
    connect(c.cmdCloseHelp, &QPushButton::clicked, this, &MainForm::cmdCloseHelp_Click);
    connect(c.cmdExit, &QPushButton::clicked, this, &MainForm::cmdExit_Click);
    connect(c.cmd0P, &QPushButton::clicked, this, &MainForm::cmd0P_Click);
    connect(c.cmd50P, &QPushButton::clicked, this, &MainForm::cmd50P_Click);
    connect(c.cmd100P, &QPushButton::clicked, this, &MainForm::cmd100P_Click);
    connect(c.cmdSV01, &QPushButton::clicked, this, &MainForm::cmdSV01_Click);
    for (int i = 1; i <= 7; ++i)
        connect(c.cmdFpwm[i], &QPushButton::clicked, this, [this, i] { cmdFpwm_Click(i); });

    connect(&Timer1, &QTimer::timeout, this, &MainForm::Timer1_Timer);
    connect(&TimerCom, &QTimer::timeout, this, &MainForm::TimerCom_Timer);
    connect(&Timer2, &QTimer::timeout, this, &MainForm::Timer2_Timer);
    connect(&StTimer, &QTimer::timeout, this, &MainForm::StTimer_Timer);
    connect(&m_port, &SerialPort::commEvent, this, &MainForm::MSComm1_OnComm);

    Form_Load();
}

MainForm::~MainForm() = default;

QString MainForm::brandText()
{
    return QStringLiteral("https://pwm-panel.kestravon.dev");
}

void MainForm::Form_Load()
{
    Settings.ucApp = QStringLiteral("DUTY01");
    setWindowTitle(brandText() + QStringLiteral(": ") + m_exe.baseName);
    setStatus(QStringLiteral("Status:"));
    StartConnectionCycle();
}

// Expects the port closed: the settings load gives it its number.
void MainForm::StartConnectionCycle()
{
    LoadSettings();
    setStatusColor(vbColor(VbColor::LightYellow));
    setStatus(QStringLiteral("wait..."));
    Timer1.setEnabled(true);
}

void MainForm::cmdHelp_Click()
{
    c.frmHelp->setVisible(true);
}

void MainForm::cmdCloseHelp_Click()
{
    c.frmHelp->setVisible(false);
}

int MainForm::Form_Unload()
{
    const int answer =
        m_boxes.MsgBox(QStringLiteral("Do you want to close/exit App ?"),
                       MsgBoxStyle::YesNoCancel | MsgBoxStyle::Question, QStringLiteral("Exit Dialog"));
    if (answer != MsgBoxResult::Yes)
        return 1;
    if (m_port.portOpen()) {
        try {
            m_port.setPortOpen(false);
        } catch (const SerialPortError &) {
            // closing cannot be refused in a way that matters at exit
        }
    }
    m_unloaded = true;
    return 0;
}

void MainForm::closeEvent(QCloseEvent *event)
{
    if (m_unloaded || Form_Unload() == 0) {
        // Handlers still waiting in a pacing delay must not send after this.
        Timer1.stop();
        TimerCom.stop();
        Timer2.stop();
        StTimer.stop();
        event->accept();
    } else {
        event->ignore();
    }
}

void MainForm::showEvent(QShowEvent *event)
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

void MainForm::setStatus(const QString &caption)
{
    c.lblStatus->setText(caption);
}

void MainForm::setStatusColor(QColor color)
{
    if (color == m_statusColor)
        return; // the palette change costs more than the text on a busy line
    m_statusColor = color;
    setLabelColors(c.lblStatus, color);
}
