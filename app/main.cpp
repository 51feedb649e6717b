#include "app/commandline.h"
#include "app/panelprogram.h"
#include "app/quitsignals.h"
#include "link/systemserialport.h"
#include "settings/settingsstore.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // One configuration folder (~/.config/pwm-panel) for every copy, whatever
    // its name: each keeps its own <name>.ini there when it cannot beside itself.
    QCoreApplication::setApplicationName(QStringLiteral("pwm-panel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PWM_VERSION));
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<int> status = handleCommandLine(arguments))
        return *status; // --help without a display too

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("dev.kestravon.PwmPanel"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    const ExecutableInfo exe = ExecutableInfo::fromArgv0(QString::fromLocal8Bit(argv[0]));

    SystemSerialPort port(portFolderFor(exe));
    MessageBoxDialogs dialogs;
    PanelProgram program(port, dialogs, exe);
    dialogs.setOwnerWindow(&program.window());
    // Scripts drive the session through the bus; without one it runs as before.
    program.bus().registerOnSessionBus();

    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::received, &program.window(), [&program] {
        program.window().closeWithoutAsking();
        QCoreApplication::quit(); // other windows of the program may still be open
    });
    program.window().show();
    const int status = app.exec();
    return status != 0 ? status : program.exitStatus();
}
