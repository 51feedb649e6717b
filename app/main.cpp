#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "app/quitsignals.h"
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
    MessageBoxDialogs dialogs;
    // The no-response question's "no" ends the program there and then.
    MainWindow window(port, dialogs, exe, [] { ::_exit(0); });
    dialogs.setParent(&window);
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::received, &window, [&window] {
        window.closeWithoutAsking();
        // Also ends a message box's own loop, should one be open.
        QCoreApplication::quit();
    });
    window.show();
    return app.exec();
}
