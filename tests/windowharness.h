#pragma once

// The window over a port (the fake or the real one), with scripted message boxes.
#include "app/panelprogram.h"
#include "sessionharness.h"
#include "testsupport/windowlookup.h"
#include "windows/main/colors.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// Message boxes and file dialogs that answer from a script and remember what
// they showed. A save dialog answers with the next of savePaths, or is
// cancelled when there is none.
struct ScriptedDialogs final : Dialogs
{
    QList<DialogContent> shown;
    QList<QMessageBox::StandardButton> answers;
    QMessageBox::StandardButton defaultAnswer = QMessageBox::Cancel;
    QList<SaveFileRequest> saveRequests;
    QStringList savePaths;
    QList<OpenFileRequest> openRequests;
    QStringList openPaths;
    void ask(const DialogContent &content, Answered answered) override
    {
        shown << content;
        const QMessageBox::StandardButton answer = answers.isEmpty() ? defaultAnswer : answers.takeFirst();
        if (answered)
            answered(answer);
    }
    void askSaveFile(const SaveFileRequest &request, FileChosen chosen) override
    {
        saveRequests << request;
        if (!savePaths.isEmpty())
            chosen(savePaths.takeFirst());
    }
    void askOpenFile(const OpenFileRequest &request, FileChosen chosen) override
    {
        openRequests << request;
        if (!openPaths.isEmpty())
            chosen(openPaths.takeFirst());
    }
    QStringList titles() const
    {
        QStringList t;
        for (const DialogContent &content : shown)
            t << content.title;
        return t;
    }
};

// A button's face as drawn: a pixel inside its border, clear of the caption.
inline QColor drawnFace(QWidget *button)
{
    return button->grab().toImage().pixelColor(3, 3);
}

// The preset buttons not drawn in the face colour: i when highlighted, -i for any other colour.
inline QList<int> highlighted(const WindowWidgets &w)
{
    QList<int> lit;
    for (int i = 1; i <= 7; ++i)
        if (const QColor colour = drawnFace(w.presetButtons[i - 1]); colour != Colors::buttonFace())
            lit << (colour == Colors::highlight() ? i : -i);
    return lit;
}

template <class Port> struct WindowHarness
{
    QTemporaryDir dir;
    Port port{dir.path()};
    ScriptedDialogs dialogs;
    std::unique_ptr<PanelProgram> program;
    MainWindow *window = nullptr;
    WindowWidgets widgets;

    // By default the test starts the search (tick()); the rest runs in real time.
    explicit WindowHarness(const QByteArray &ini = {}, const QString &baseName = u"pwm-panel"_s,
                           const SessionSchedule &schedule = kSearchByHand)
    {
        writeIni(dir, baseName, ini);
        program =
            std::make_unique<PanelProgram>(port, dialogs, ExecutableInfo{dir.path(), baseName}, schedule);
        window = &program->window();
        widgets = findWindowWidgets(*window);
    }
    DeviceSession &session() const { return program->session(); }
    const WindowWidgets &w() const { return widgets; }
    QString iniPath() const { return dir.filePath(session().executable().baseName + ".ini"); }
    QByteArray iniBytes() const { return readFile(iniPath()); }
    QString status() const { return w().statusLabel->text(); }
    QColor statusColor() const { return w().statusLabel->palette().color(QPalette::Window); }
    bool tick(SessionTimer::Role role) { return tickByHand(session(), role); }
    // Takes the status line (fake port) one step into the search: "" none yet,
    // "tick" asked, "fail" the open failed, "timeout", "line" another line, "found".
    void stepStatus(const QString &step)
    {
        if (step == u"fail")
            port.failures[u"Open"_s] = PortError::InvalidPort;
        if (!step.isEmpty())
            tick(SessionTimer::Search);
        if (step == u"timeout")
            tick(SessionTimer::ResponseTimeout);
        if (step == u"line")
            port.simulateArrival("SV01=5\r");
        if (step == u"found")
            port.simulateArrival("DUTY01\r");
    }
    void identify(const QByteArray &code = "DUTY01")
    {
        tick(SessionTimer::Search);
        port.simulateArrival(code + '\r');
    }
};
