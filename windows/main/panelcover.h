#pragma once

#include <QObject>

class QWidget;
struct WindowWidgets;

// While the help or settings panel covers the window it has the keyboard:
// the focus goes in when it shows (its first box, the help text), Tab and F6
// stay inside it, and nothing it covers can be pressed by a key or through a
// screen reader: the covered controls are disabled, which shows no pixel as
// they lie under the panel. When it hides, they are as before and the focus
// goes back to the button that opened it.
class PanelCover : public QObject
{
    Q_OBJECT
public:
    PanelCover(const WindowWidgets &widgets, QObject *parent = nullptr);

    // The session's word on the control panel, kept for when no panel covers it.
    void setControlPanelEnabled(bool on);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void cover(QWidget *panel);
    void uncover(QWidget *panel);
    void enableCovered(bool on);

    const WindowWidgets &m_widgets;
    QWidget *m_covering = nullptr;
    bool m_controlPanelEnabled = false;
};
