// Received characters become reply lines, and each line has its effect on the window.
#include "app/mainform.h"
#include "app/vbcolor.h"
#include "link/numbertext.h"
#include "link/serialport.h"

#include <QLabel>
#include <QPushButton>
#include <cfloat>
#include <cmath>
#include <limits>

namespace {

struct ReplyOverflow
{
};

// Nearest single-precision value; beyond the float range gives infinity
// (a plain cast would be undefined there).
float toSingle(double d)
{
    if (std::isnan(d))
        return std::numeric_limits<float>::quiet_NaN();
    // Values up to FLT_MAX plus half its last unit still round to FLT_MAX.
    const double limit = double(FLT_MAX) + std::ldexp(1.0, 103);
    if (std::fabs(d) >= limit)
        return d > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    return float(d);
}

} // namespace

void MainForm::MSComm1_OnComm(int event)
{
    if (event != SerialPort::CommEventReceive)
        return;
    // Drain everything that is waiting; a notification with nothing waiting adds nothing.
    while (m_port.inBufferCount() > 0) {
        const QByteArray bytes = m_port.readAll();
        if (bytes.isEmpty())
            break;
        for (const QByteArray &line : ReceiveLine.feed(bytes))
            InterpretReply(QString::fromLatin1(line));
    }
}

void MainForm::InterpretReply(const QString &line)
{
    ++m_repliesInterpreted;
    try {
        TimerCom.setEnabled(false);
        setStatusColor(vbColor(VbColor::LightGreen));
        setStatus(QStringLiteral("COM:") + QString::number(Settings.CommPort) + QStringLiteral(" Baud:") +
                  Settings.Baud + QStringLiteral(" COM data: ") + line);
        // Line lengths are 16-bit: a longer line cannot be handled.
        if (line.size() > 32767)
            throw ReplyOverflow{};

        if (line == Settings.ucApp) {
            c.lblDevCode->setText(QStringLiteral("Kestravon: uc=") + line + QStringLiteral("  pc=") +
                                  m_exe.baseName);
            setStatus(QStringLiteral("Found: ") + line);
            Timer1.setEnabled(false);
            setStatusColor(vbColor(VbColor::Green));
            if (Settings.STime > 0) {
                SampleTickCount = qint16(Settings.STime - 1);
                StTimer.setEnabled(true);
            }
            Timer2.setEnabled(true);
        }

        const QStringView prefix = QStringView(line).left(5);
        if (prefix == QLatin1String("SV01=")) {
            const float value = toSingle(readLeadingNumber(QStringView(line).mid(5)));
            c.lblTemp[1]->setText(formatGeneral(value));
        } else if (prefix == QLatin1String("SV02=")) {
            const float value = toSingle(readLeadingNumber(QStringView(line).mid(5)));
            int preset = 0;
            for (int i = 1; i <= 7; ++i)
                if (value == float(i))
                    preset = i;
            highlightPreset(preset);
        }
    } catch (const ReplyOverflow &) {
        setStatus(QStringLiteral("???"));
    } catch (const std::exception &) {
        setStatus(QStringLiteral("???"));
    }
}

void MainForm::ResetFpwmButtons()
{
    highlightPreset(0);
}

// The reset and the highlight in one pass: a button whose colour stays the same
// is not touched, since every style sheet change repaints it (and its frame).
void MainForm::highlightPreset(int preset)
{
    const QColor face = vbColor(VbColor::ButtonFace);
    const QColor highlight = vbColor(VbColor::Highlight);
    for (int i = 1; i <= 7; ++i)
        setButtonBackColor(c.cmdFpwm[i], i == preset ? highlight : face);
}
