#pragma once

// The window over a port (the fake or the real one), with scripted message boxes.
#include "app/colors.h"
#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "tests/sessionharness.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// Message boxes that answer from a script and remember what they showed.
struct ScriptedDialogs final : Dialogs
{
    QList<DialogContent> shown;
    QList<QMessageBox::StandardButton> answers;
    QMessageBox::StandardButton defaultAnswer = QMessageBox::Cancel;
    void ask(const DialogContent &content, Answered answered) override
    {
        shown << content;
        const QMessageBox::StandardButton answer = answers.isEmpty() ? defaultAnswer : answers.takeFirst();
        if (answered)
            answered(answer);
    }
    QStringList titles() const
    {
        QStringList t;
        for (const DialogContent &content : shown)
            t << content.title;
        return t;
    }
};

// The preset buttons not in the face colour: i when highlighted, -i for any other colour.
inline QList<int> highlighted(const WindowWidgets &w)
{
    QList<int> lit;
    for (int i = 1; i <= 7; ++i)
        if (const QColor colour = buttonBackColor(w.presetButtons[i - 1]); colour != Colors::buttonFace())
            lit << (colour == Colors::highlight() ? i : -i);
    return lit;
}

template <class Port> struct WindowHarness
{
    QTemporaryDir dir;
    Port port{dir.path()};
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;

    // By default the test starts the search (tick()); the rest runs in real time.
    explicit WindowHarness(const QByteArray &ini = {}, const QString &baseName = u"pwm-panel"_s,
                           const SessionSchedule &schedule = kSearchByHand)
    {
        writeIni(dir, baseName, ini);
        window = std::make_unique<MainWindow>(port, dialogs, ExecutableInfo{dir.path(), baseName}, schedule);
    }
    DeviceSession &session() const { return window->session(); }
    const WindowWidgets &w() const { return window->widgets(); }
    QString iniPath() const { return dir.filePath(session().executable().baseName + ".ini"); }
    QByteArray iniBytes() const { return readFile(iniPath()); }
    QString status() const { return w().statusLabel->text(); }
    QColor statusColor() const { return w().statusLabel->palette().color(QPalette::Window); }
    bool tick(SessionTimer::Role role) { return tickByHand(session(), role); }
    void identify(const QByteArray &code = "DUTY01")
    {
        tick(SessionTimer::Search);
        port.simulateArrival(code + '\r');
    }
};
