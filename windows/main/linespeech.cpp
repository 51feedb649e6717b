#include "windows/main/linespeech.h"

#include "windows/main/windowaccess.h"
#include "windows/main/windowlayout.h"

#include <QLabel>

LineSpeech::LineSpeech(const WindowWidgets &widgets, QWidget *window)
    : QObject(window), m_widgets(widgets), m_window(window),
      m_statusPace([this](const QString &text) { sayLine(m_widgets.statusLabel, text); }, this),
      m_statusNamePace(
          [this](const QString &) {
              if (!m_widgets.statusLabel->hasFocus()) // there a new name is heard
                  WindowAccess::nameLine(m_widgets.statusLabel);
          },
          this),
      m_dutyPace(
          [this](const QString &text) { sayLine(m_widgets.dutyDisplay, tr("Duty cycle %1 %").arg(text)); },
          this)
{
}

// Weighed only for a listener: a device streaming lines passes here for each.
void LineSpeech::status(const StatusLine &status)
{
    if (!ScreenReader::listening())
        return;
    if (!WindowAccess::statusWorthSaying(m_saidStatus, status)) {
        m_statusNamePace.offer(status.text);
        return;
    }
    const bool newState = status.tone != m_saidStatus.tone || status.detail != m_saidStatus.detail;
    m_saidStatus = status;
    m_statusPace.offer(status.text, newState);
}

void LineSpeech::duty(const QString &text)
{
    if (ScreenReader::listening())
        m_dutyPace.offer(text);
}

// Its name follows at once: the device line changes once per identification.
void LineSpeech::device()
{
    WindowAccess::nameLine(m_widgets.deviceLabel);
}

void LineSpeech::say(const QString &text)
{
    ScreenReader::announce(m_window, text);
}

void LineSpeech::sayLine(QLabel *line, const QString &text)
{
    WindowAccess::nameLine(line);
    if (!line->hasFocus()) // there the name's change is heard
        ScreenReader::announce(m_window, text);
}
