#include "app/windowlessprogram.h"

#include "link/wireline.h"

#include <QDateTime>
#include <QTimer>

void logLine(std::FILE *log, const QString &text)
{
    const QString time = QDateTime::fromMSecsSinceEpoch(wireClockMSecs()).toString(Qt::ISODateWithMs);
    std::fputs(qPrintable(time + u' ' + text + u'\n'), log);
    std::fflush(log);
}

void SearchAgainPrompts::askContinueAfterNoResponse(std::function<void(bool)> answered)
{
    logLine(stderr, QStringLiteral("No response to a command: searching for the device again"));
    // Answered from the top of the event loop, as a box would be.
    QTimer::singleShot(0, [answered = std::move(answered)] { answered(true); });
}

void SearchAgainPrompts::explainRefusedSave(const QString &why)
{
    logLine(stderr, QStringLiteral("Settings not saved: ") + why);
}

WindowlessProgram::WindowlessProgram(SerialPort &port, ExecutableInfo exe, std::FILE *log)
    : m_core(port, m_prompts, std::move(exe), SessionSchedule{}, PortPlaces{}), m_log(log)
{
    DeviceSession &session = m_core.session();
    QObject::connect(&session, &DeviceSession::statusChanged, &session,
                     [this](const StatusLine &status) { logStatus(status); });
    Recorder &recorder = m_core.recorder();
    QObject::connect(&recorder, &Recorder::started, &recorder,
                     [this](const QString &path) { logLine(m_log, QStringLiteral("Recording to ") + path); });
    QObject::connect(&recorder, &Recorder::failed, &recorder,
                     [this](const QString &path, const QString &why) {
                         logLine(m_log, QStringLiteral("Recording to %1 stopped: %2").arg(path, why));
                     });
    session.start();
}

// A tone or detail change is always a line; a new text too, but a device's
// stream of lines (and the polls' sample count) only where it starts, so a
// chatty device does not flood the journal.
void WindowlessProgram::logStatus(const StatusLine &status)
{
    const bool newState = status.tone != m_logged.tone || status.detail != m_logged.detail;
    const bool streaming = status.tone == StatusTone::Receiving || status.tone == StatusTone::Found;
    if (!newState && (streaming || status.text == m_logged.text))
        return;
    m_logged = status;
    QString line = status.text;
    if (!status.detail.isEmpty())
        line += QStringLiteral(" (") + status.detail + u')';
    if (!status.device.isEmpty())
        line += QStringLiteral(" [") + status.device + u']';
    logLine(m_log, line);
}
