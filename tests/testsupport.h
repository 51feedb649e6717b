#pragma once

#include "app/mainform.h"
#include "app/msgbox.h"
#include "tests/fakeserialport.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

// Message boxes that answer from a script and remember what they showed.
class ScriptedMessageBoxes final : public MessageBoxes
{
public:
    struct Shown
    {
        QString prompt;
        int style;
        QString title;
        QString helpFile;
        int helpContext;
    };
    QList<Shown> shown;
    QList<int> answers;
    int defaultAnswer = MsgBoxResult::Cancel;

    int MsgBox(const QString &prompt, int style, const QString &title, const QString &helpFile,
               int helpContext) override
    {
        shown.append({prompt, style, title, helpFile, helpContext});
        return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    }
};

// Thrown by the test's "end the program now", so nothing after it runs.
struct ProgramEnded
{
};

// A window over a fake port, its executable in a fresh folder.
struct FormHarness
{
    QTemporaryDir dir;
    FakeSerialPort port;
    ScriptedMessageBoxes boxes;
    std::unique_ptr<MainForm> form;
    int endCalls = 0;

    explicit FormHarness(const QByteArray &ini = QByteArray(), const QString &baseName = QStringLiteral("pwm-panel"))
    {
        if (!ini.isNull()) {
            QFile f(iniPath(baseName));
            if (f.open(QIODevice::WriteOnly))
                f.write(ini);
        }
        form = std::make_unique<MainForm>(port, boxes, ExecutableInfo{dir.path(), baseName}, [this] {
            ++endCalls;
            throw ProgramEnded{};
        });
    }

    QString iniPath(const QString &baseName = QStringLiteral("pwm-panel")) const
    {
        return dir.filePath(baseName + QStringLiteral(".ini"));
    }
    QByteArray iniBytes() const
    {
        QFile f(iniPath(form->executable().baseName));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    const MainFormControls &c() const { return form->controls(); }
    QString status() const { return c().lblStatus->text(); }
    QColor statusColor() const { return c().lblStatus->palette().color(QPalette::Window); }

    // First tick opens the port and asks; the device answers with its code.
    void identify(const QByteArray &code = QByteArrayLiteral("DUTY01"))
    {
        form->Timer1_Timer();
        port.simulateArrival(code + '\r');
    }
};
