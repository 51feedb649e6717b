#include "app/executableinfo.h"
#include "app/mainform.h"
#include "app/msgbox.h"
#include "link/qtserialport.h"

#include <QApplication>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // One configuration folder (~/.config/pwm-panel) for every copy, whatever
    // its name: each keeps its own <name>.ini there when it cannot beside itself.
    QCoreApplication::setApplicationName(QStringLiteral("pwm-panel"));
    QGuiApplication::setDesktopFileName(QStringLiteral("dev.kestravon.PwmPanel"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    const ExecutableInfo exe = ExecutableInfo::fromArgv0(QString::fromLocal8Bit(argv[0]));

    QtSerialPort port(exe.dir);
    QtMessageBoxes boxes;
    // The no-response dialog's No ends the program there and then.
    MainForm form(port, boxes, exe, [] { ::_exit(0); });
    boxes.setParent(&form);
    form.show();
    return app.exec();
}
