#include "windows/main/windowaccess.h"

#include "session/statuswording.h"
#include "windows/main/windowlayout.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>

namespace {

// Dynamic properties that pick the interfaces below: a preset's highlight,
// and the role of a line shown as text.
const char kLitProperty[] = "pwmPresetLit";
const char kLineRoleProperty[] = "pwmLineRole";
const char kLineFocusProperty[] = "pwmLineTakesFocus";
const char kLineNameProperty[] = "pwmLineName";

QString tr(const char *text)
{
    return QCoreApplication::translate("WindowAccess", text);
}

// A preset button as a check box, checked while lit. Its look stays Qt's
// plain push button: a checkable QPushButton would be painted sunken.
class PresetAccessible final : public QAccessibleWidget
{
public:
    explicit PresetAccessible(QPushButton *button) : QAccessibleWidget(button, QAccessible::CheckBox) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = widget()->property(kLitProperty).toBool();
        return s;
    }
    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override
    {
        if (action == pressAction())
            static_cast<QPushButton *>(widget())->click();
        else
            QAccessibleWidget::doAction(action);
    }
};

// A label named with what it is and what it shows ("Status: Found: DUTY01",
// by nameLine) whose text is also read through the text interface.
class LineAccessible final : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    LineAccessible(QLabel *label, QAccessible::Role role) : QAccessibleWidget(label, role) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.focusable = widget()->property(kLineFocusProperty).toBool(); // by F6, not by Tab
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    using QAccessibleWidget::text;
    QString text(int start, int end) const override { return shown().mid(start, end - start); }
    int characterCount() const override { return int(shown().size()); }
    void selection(int, int *start, int *end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *start, int *end) const override
    {
        *start = *end = offset;
        return {};
    }

private:
    QString shown() const { return static_cast<QLabel *>(widget())->text(); }
};

QAccessibleInterface *ownInterface(const QString &, QObject *object)
{
    if (auto *button = qobject_cast<QPushButton *>(object);
        button && button->property(kLitProperty).isValid())
        return new PresetAccessible(button);
    if (auto *label = qobject_cast<QLabel *>(object); label && label->property(kLineRoleProperty).isValid())
        return new LineAccessible(label, QAccessible::Role(label->property(kLineRoleProperty).toInt()));
    return nullptr;
}

// Qt may have made and cached its own interface while the widget was built
// (with a screen reader running, every caption set announces itself); that
// one would hide ours for good.
void useOwnInterface(QWidget *widget)
{
    QAccessibleInterface *made = QAccessible::queryAccessibleInterface(widget);
    if (made && !dynamic_cast<PresetAccessible *>(made) && !dynamic_cast<LineAccessible *>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void say(QWidget *widget, const QString &name, const QString &description = {})
{
    widget->setAccessibleName(name);
    widget->setAccessibleDescription(description);
}

void showAsLine(QLabel *label, QAccessible::Role role, const QString &name, const QString &description,
                bool takesFocus)
{
    label->setProperty(kLineRoleProperty, int(role));
    label->setProperty(kLineFocusProperty, takesFocus);
    label->setProperty(kLineNameProperty, name);
    useOwnInterface(label);
    say(label, name, description);
    WindowAccess::nameLine(label);
}

// A status text with its counts left out: "STime:2 STimer:1" and
// "STime:2 STimer:2" are the same line to a listener.
QString withoutCounts(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("[0-9]+"));
    return QString(text).remove(digits);
}

} // namespace

namespace WindowAccess {

void describe(const WindowWidgets &w)
{
    static const bool installed = (QAccessible::installFactory(ownInterface), true);
    Q_UNUSED(installed);

    say(w.setButton, tr("Open settings"), tr("Shows the settings panel; the polls pause while it is open."));
    say(w.helpButton, tr("Show help"));
    say(w.closeHelpButton, tr("Close help"));
    say(w.saveButton, tr("Save settings and close"));
    say(w.controlPanel, tr("Duty cycle and frequency"), tr("Usable once the device has been read back."));
    say(w.duty100Button, tr("Set duty cycle to 100 %"));
    say(w.duty50Button, tr("Set duty cycle to 50 %"));
    say(w.duty0Button, tr("Set duty cycle to 0 %"));
    say(w.typedDutyFrame, tr("Typed duty cycle"));
    say(w.typedDutyBox, tr("Duty cycle to send, 0 to 100 %"));
    say(w.sendButton, tr("Send the typed duty cycle"));
    say(w.presetFrame, tr("PWM frequency presets"), tr("The preset the device uses is checked."));
    for (size_t i = 0; i < w.presetButtons.size(); ++i) {
        QPushButton *preset = w.presetButtons[i];
        preset->setProperty(kLitProperty, false);
        useOwnInterface(preset);
        say(preset, tr("PWM frequency preset %1: %2 Hz").arg(i + 1).arg(preset->text()));
    }
    say(w.helpPanel, tr("Help"));
    say(w.helpText, tr("Help text"));
    say(w.settingsPanel, tr("Settings"));
    say(w.connectionFrame, tr("Connection"));
    say(w.portBox, tr("COM port number"));
    say(w.baudBox, tr("Baud rate"));
    say(w.passwordBox, tr("Device password"), tr("Not used by this program."));
    say(w.sampleTimeBox, tr("Sample time (s)"), tr("Shown only: it cannot be changed here."));
    say(w.deviceCodeBox, tr("Expected application code"),
        tr("The code the device answers with when it is found."));
    say(w.labelsFrame, tr("Labels"));
    // Not "... text": a screen reader adds the role, "text", itself.
    say(w.label1Frame, tr("Label 1"));
    say(w.label1Box, tr("User label 1"), tr("Shown under the duty cycle display."));
    showAsLine(w.statusLabel, QAccessible::StatusBar, tr("Status"), statusDescription({}), true);
    showAsLine(w.deviceLabel, QAccessible::StaticText, tr("Device"),
               tr("The device that answered, and the name of this copy of the program."), true);
    showAsLine(w.dutyDisplay, QAccessible::StaticText, tr("Duty cycle reported by the device"), {}, false);
}

void nameLine(QLabel *line)
{
    const QString base = line->property(kLineNameProperty).toString();
    const QString name = line->text().isEmpty() ? base : base + QStringLiteral(": ") + line->text();
    if (line->accessibleName() != name)
        line->setAccessibleName(name); // sends the name's change
}

void setPresetLit(QPushButton *preset, bool lit)
{
    if (preset->property(kLitProperty).toBool() == lit)
        return;
    preset->setProperty(kLitProperty, lit);
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(preset, changed);
    QAccessible::updateAccessibility(&event);
}

QString statusDescription(const StatusLine &status)
{
    QString state;
    switch (status.tone) {
    case StatusTone::Neutral:
        state = tr("Not searching yet");
        break;
    case StatusTone::Searching:
        state = tr("Searching for the device");
        break;
    case StatusTone::Failed:
        state = status.detail.isEmpty() ? tr("No response from the device") : tr("Port error");
        break;
    case StatusTone::Receiving:
        state = tr("A line that is not the device's code came in");
        break;
    case StatusTone::Found:
        state = tr("Device found");
        break;
    }
    if (!status.detail.isEmpty())
        state += QStringLiteral(": ") + status.detail;
    // Which device: the one found, or the one waited for.
    return status.device.isEmpty() ? state : state + QStringLiteral(". ") + status.device;
}

// Compared with what was last said, not with the line before: the sample
// count ticks between two polled replies, and saying both each cycle would
// talk over everything else. A tone or detail change is always said; a text
// only if it differs by more than its numbers, and never a bare tick count.
// A search that keeps failing the same way is said once: the searching in
// between is not said, so the same failure is not new the next time.
bool statusWorthSaying(const StatusLine &before, const StatusLine &after)
{
    if (before.tone == StatusTone::Failed && after.tone == StatusTone::Searching)
        return false;
    if (after.tone != before.tone || after.detail != before.detail)
        return true;
    const QString words = withoutCounts(after.text);
    return words != withoutCounts(before.text) && words != withoutCounts(sampleTickCaption(0, 0));
}

} // namespace WindowAccess
