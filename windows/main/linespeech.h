#pragma once

#include "session/statusline.h"
#include "windows/common/announce.h"

#include <QObject>

class QLabel;
struct WindowWidgets;

// What a screen reader hears of the main window's lines, wherever the focus
// is: a change of state at once, a device's stream of lines and duties at
// most once a second (the latest), a search failing the same way once. The
// status, device and duty lines carry what they show in their names, so F6,
// where-am-I and flat review read it; a line with the focus is heard through
// its name's change, any other through an announcement. What is not worth
// saying (a count) renames the line only while it has no focus.
class LineSpeech : public QObject
{
    Q_OBJECT
public:
    LineSpeech(const WindowWidgets &widgets, QWidget *window);

    void status(const StatusLine &status);
    void duty(const QString &text);
    void device();
    // Something the user did that shows nowhere else (a save, a recording).
    void say(const QString &text);

private:
    void sayLine(QLabel *line, const QString &text);

    const WindowWidgets &m_widgets;
    QWidget *m_window;
    StatusLine m_saidStatus; // what a screen reader last heard of the status
    ScreenReader::Pace m_statusPace;
    ScreenReader::Pace m_statusNamePace; // the name following what is not said
    ScreenReader::Pace m_dutyPace;
};
