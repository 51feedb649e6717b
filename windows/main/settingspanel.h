#pragma once

#include <QObject>

class DeviceSession;
struct SettingsRecord;
struct WindowWidgets;

// The settings panel over the window: Set opens it (and pauses the polls),
// SAVE-CLOSE hands the boxes' texts to the session and closes it once they
// are saved, and every settings load fills the boxes and the duty caption.
class SettingsPanel : public QObject
{
    Q_OBJECT
public:
    SettingsPanel(DeviceSession &session, const WindowWidgets &widgets, QObject *parent = nullptr);

signals:
    // SAVE-CLOSE wrote the file and the panel closed.
    void saved();

private:
    void open();
    void saveAndClose();
    void show(const SettingsRecord &settings);

    DeviceSession &m_session;
    const WindowWidgets &m_widgets;
};
