#include "windows/main/settingspanel.h"

#include "session/devicesession.h"
#include "windows/main/windowlayout.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

SettingsPanel::SettingsPanel(DeviceSession &session, const WindowWidgets &widgets, QObject *parent)
    : QObject(parent), m_session(session), m_widgets(widgets)
{
    connect(widgets.setButton, &QPushButton::clicked, this, &SettingsPanel::open);
    connect(widgets.saveButton, &QPushButton::clicked, this, &SettingsPanel::saveAndClose);
    connect(&session, &DeviceSession::settingsLoaded, this, &SettingsPanel::show);
}

void SettingsPanel::open()
{
    m_widgets.settingsPanel->show();
    m_session.pauseSampling();
}

void SettingsPanel::saveAndClose()
{
    const WindowWidgets &w = m_widgets;
    const SettingsTexts texts{w.portBox->text(),       w.baudBox->text(),       w.passwordBox->text(),
                              w.sampleTimeBox->text(), w.deviceCodeBox->text(), w.label1Box->text()};
    if (m_session.saveSettings(texts)) {
        w.settingsPanel->hide();
        emit saved();
    }
}

void SettingsPanel::show(const SettingsRecord &settings)
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
