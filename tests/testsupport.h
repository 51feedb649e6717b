#pragma once

#include "app/mainform.h"
#include "app/msgbox.h"
#include "app/vbcolor.h"
#include "tests/fakeserialport.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

// Message boxes that answer from a script and remember what they showed:
// prompt, style, title, help file and help context.
struct ScriptedMessageBoxes final : MessageBoxes
{
    QList<QStringList> shown;
    QList<int> answers;
    int defaultAnswer = MsgBoxResult::Cancel;
    int MsgBox(const QString &prompt, int style, const QString &title, const QString &helpFile,
               int context) override
    {
        shown.append({prompt, QString::number(style), title, helpFile, QString::number(context)});
        return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    }
};

// Thrown by the test's "end the program now", so nothing after it runs.
struct ProgramEnded
{
};

// The default settings file, but with the given sample time and device code.
inline QByteArray iniFile(int sTime = 0, const QByteArray &ucApp = "DUTY01")
{
    return "1,\"9600\",\"-\"," + QByteArray::number(sTime) + ",\"" + ucApp +
           "\"\r\n\"PWM(%):\",\"Label2\",\"nc\",\"nc\"\r\n";
}

// The preset buttons not in the face colour: i when highlighted, -i for any other colour.
inline QList<int> highlighted(const MainFormControls &c)
{
    QList<int> lit;
    for (int i = 1; i <= 7; ++i)
        if (const QColor colour = buttonBackColor(c.cmdFpwm[i]); colour != vbColor(VbColor::ButtonFace))
            lit << (colour == vbColor(VbColor::Highlight) ? i : -i);
    return lit;
}

// The window over a port (the fake or the real one), its executable in a fresh folder.
template <class Port> struct Harness
{
    QTemporaryDir dir;
    Port port{dir.path()};
    ScriptedMessageBoxes boxes;
    std::unique_ptr<MainForm> form;
    int endCalls = 0;

    explicit Harness(const QByteArray &ini = {}, const QString &baseName = u"pwm-panel"_s)
    {
        QFile f(dir.filePath(baseName + ".ini"));
        if (!ini.isNull() && !(f.open(QIODevice::WriteOnly) && f.write(ini) == ini.size() && f.flush()))
            qFatal("cannot write the settings file");
        form = std::make_unique<MainForm>(port, boxes, ExecutableInfo{dir.path(), baseName}, [this] {
            ++endCalls;
            throw ProgramEnded{};
        });
    }
    QString iniPath() const { return dir.filePath(form->executable().baseName + ".ini"); }
    QByteArray iniBytes() const
    {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    const MainFormControls &c() const { return form->controls(); }
    QString status() const { return c().lblStatus->text(); }
    QColor statusColor() const { return c().lblStatus->palette().color(QPalette::Window); }
    // The running timers by name, e.g. "Timer1 TimerCom".
    QString running() const
    {
        const QTimer *timers[] = {&form->Timer1, &form->TimerCom, &form->Timer2, &form->StTimer};
        const QStringList all = {"Timer1", "TimerCom", "Timer2", "StTimer"};
        QStringList names;
        for (int i = 0; i < 4; ++i)
            if (timers[i]->isActive())
                names << all[i];
        return names.join(u' ');
    }
    // The first tick opens the port and asks; the device answers.
    void identify(const QByteArray &code = "DUTY01")
    {
        form->Timer1_Timer();
        port.simulateArrival(code + '\r');
    }
};
using FormHarness = Harness<FakeSerialPort>;
