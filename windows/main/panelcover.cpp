#include "windows/main/panelcover.h"

#include "windows/main/windowlayout.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

PanelCover::PanelCover(const WindowWidgets &widgets, QObject *parent) : QObject(parent), m_widgets(widgets)
{
    m_controlPanelEnabled = widgets.controlPanel->isEnabled();
    widgets.helpPanel->installEventFilter(this);
    widgets.settingsPanel->installEventFilter(this);
}

void PanelCover::setControlPanelEnabled(bool on)
{
    m_controlPanelEnabled = on;
    m_widgets.controlPanel->setEnabled(on && !m_covering);
}

// Shown and hidden by whoever does it (a click, SAVE-CLOSE, a test); a panel
// hidden with the window stays covering.
bool PanelCover::eventFilter(QObject *watched, QEvent *event)
{
    auto *panel = static_cast<QWidget *>(watched);
    if (event->type() == QEvent::Show && m_covering != panel)
        cover(panel);
    else if (event->type() == QEvent::Hide && panel->isHidden())
        uncover(panel);
    return false;
}

void PanelCover::cover(QWidget *panel)
{
    m_covering = panel;
    enableCovered(false);
    QWidget *first = panel == m_widgets.settingsPanel ? static_cast<QWidget *>(m_widgets.portBox)
                                                      : static_cast<QWidget *>(m_widgets.helpText);
    first->setFocus(Qt::OtherFocusReason);
}

void PanelCover::uncover(QWidget *panel)
{
    if (m_covering != panel)
        return;
    m_covering = nullptr;
    enableCovered(true);
    QPushButton *opener = panel == m_widgets.settingsPanel ? m_widgets.setButton : m_widgets.helpButton;
    opener->setFocus(Qt::OtherFocusReason);
}

void PanelCover::enableCovered(bool on)
{
    const WindowWidgets &w = m_widgets;
    for (QWidget *covered : {static_cast<QWidget *>(w.statusLabel), static_cast<QWidget *>(w.setButton),
                             static_cast<QWidget *>(w.helpButton), static_cast<QWidget *>(w.deviceLabel)})
        covered->setEnabled(on);
    w.controlPanel->setEnabled(on && m_controlPanelEnabled);
}
