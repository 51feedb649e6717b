#include "testsupport/windowlookup.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

template <typename T> void find(const QWidget &window, T *&slot, const QString &name)
{
    slot = window.findChild<T *>(name);
    if (!slot)
        qFatal("the window has no %s", qPrintable(name));
}

} // namespace

WindowWidgets findWindowWidgets(const QWidget &window)
{
    WindowWidgets w;
#define PWM_FIND(member) find(window, w.member, QStringLiteral(#member))
    PWM_FIND(statusLabel);
    PWM_FIND(setButton);
    PWM_FIND(helpButton);
    PWM_FIND(deviceLabel);
    PWM_FIND(controlPanel);
    PWM_FIND(dutyDisplay);
    PWM_FIND(dutyCaption);
    PWM_FIND(duty100Button);
    PWM_FIND(duty50Button);
    PWM_FIND(duty0Button);
    PWM_FIND(typedDutyFrame);
    PWM_FIND(typedDutyBox);
    PWM_FIND(sendButton);
    PWM_FIND(presetFrame);
    PWM_FIND(helpPanel);
    PWM_FIND(helpText);
    PWM_FIND(closeHelpButton);
    PWM_FIND(settingsPanel);
    PWM_FIND(connectionFrame);
    PWM_FIND(portBox);
    PWM_FIND(baudBox);
    PWM_FIND(passwordBox);
    PWM_FIND(sampleTimeBox);
    PWM_FIND(deviceCodeBox);
    PWM_FIND(labelsFrame);
    PWM_FIND(label1Frame);
    PWM_FIND(label1Box);
    PWM_FIND(saveButton);
#undef PWM_FIND
    for (size_t i = 0; i < w.presetButtons.size(); ++i)
        find(window, w.presetButtons[i], QStringLiteral("presetButton%1").arg(i + 1));
    return w;
}
