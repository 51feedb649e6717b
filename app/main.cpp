#include "app/commandline.h"
#include "app/panelprogram.h"
#include "app/quitsignals.h"
#include "app/windowlessprogram.h"
#include "link/systemserialport.h"
#include "settings/settingsstore.h"
#include "windows/trend/recordingview.h"

#include <QApplication>
#include <QPointer>

#include <cstdio>
#include <cstdlib>

namespace {

void sayNoDisplay()
{
    std::fputs("pwm-panel: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set, or "
               "the display set cannot be reached); see pwm-panel --help\n",
               stderr);
    std::fflush(stderr);
}

// Qt aborts when no platform plugin starts, with a hint to reinstall the
// application. While the application is made, its messages are held back:
// a failure ends the program with one line and status 1, success lets them out.
QList<std::pair<QtMsgType, QString>> g_heldMessages;
QtMessageHandler g_qtHandler = nullptr;

void holdMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        sayNoDisplay();
        std::_Exit(1); // a half-made application must not run its destructors
    }
    g_heldMessages.append({type, message});
}

bool platformChosen(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "-platform") == 0 || qstrcmp(argv[i], "--platform") == 0 ||
            qstrncmp(argv[i], "-platform=", 10) == 0 || qstrncmp(argv[i], "--platform=", 11) == 0)
            return true;
    return false;
}

// Starts the recording asked for on the command line; false (and why, on
// stderr) when it cannot.
bool recordFromStart(Recorder &recorder, const QString &path)
{
    if (path.isEmpty())
        return true;
    QString why;
    const QMetaObject::Connection said = QObject::connect(
        &recorder, &Recorder::failed, [&why](const QString &, const QString &reason) { why = reason; });
    const bool started = recorder.start(path);
    QObject::disconnect(said);
    if (!started)
        std::fputs(qPrintable(QStringLiteral("pwm-panel: cannot record to %1: %2\n").arg(path, why)), stderr);
    return started;
}

// --no-window: no display needed, nobody to ask; a quit signal ends it with
// the recording whole and the port closed.
int runWithoutWindow(int argc, char *argv[], const ProgramOptions &options)
{
    QCoreApplication app(argc, argv);
    const ExecutableInfo exe = ExecutableInfo::fromArgv0(QString::fromLocal8Bit(argv[0]));
    SystemSerialPort port(portFolderFor(exe));
    WindowlessProgram program(port, exe);
    if (!recordFromStart(program.recorder(), options.recordTo))
        return 1;
    program.bus().registerOnSessionBus();
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::received, &app, [] {
        logLine(stderr, QStringLiteral("Ending on a quit signal"));
        QCoreApplication::quit();
    });
    return app.exec();
}

// --view FILE: the recording's window alone; the program ends when it closes.
int view(const QString &path)
{
    MessageBoxDialogs dialogs;
    const QPointer<RecordingView> view = RecordingView::open(path, dialogs);
    int status = 0;
    QObject::connect(view, &RecordingView::refused, view, [&status](const QString &why) {
        std::fputs(qPrintable(QStringLiteral("pwm-panel: %1\n").arg(why)), stderr);
        status = 1;
    });
    QObject::connect(view, &QObject::destroyed, qApp, [] { QCoreApplication::quit(); });
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::received, qApp, [] { QCoreApplication::quit(); });
    const int exitStatus = QApplication::exec();
    delete view; // the window before the store it shows

    return status != 0 ? status : exitStatus;
}

} // namespace

int main(int argc, char *argv[])
{
    // One configuration folder (~/.config/pwm-panel) for every copy, whatever
    // its name: each keeps its own <name>.ini there when it cannot beside itself.
    QCoreApplication::setApplicationName(QStringLiteral("pwm-panel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PWM_VERSION));
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const std::variant<int, ProgramOptions> read = readCommandLine(arguments);
    if (const int *status = std::get_if<int>(&read))
        return *status; // --help without a display too
    const ProgramOptions &options = std::get<ProgramOptions>(read);
    if (options.noWindow)
        return runWithoutWindow(argc, argv, options);

    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !platformChosen(argc, argv)) {
        sayNoDisplay();
        return 1;
    }
    g_qtHandler = qInstallMessageHandler(holdMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_qtHandler);
    for (const auto &[type, message] : std::as_const(g_heldMessages))
        g_qtHandler(type, QMessageLogContext(), message);
    g_heldMessages.clear();
    QGuiApplication::setDesktopFileName(QStringLiteral("dev.kestravon.PwmPanel"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    if (!options.view.isEmpty())
        return view(options.view);
    const ExecutableInfo exe = ExecutableInfo::fromArgv0(QString::fromLocal8Bit(argv[0]));

    SystemSerialPort port(portFolderFor(exe));
    MessageBoxDialogs dialogs;
    PanelProgram program(port, dialogs, exe);
    dialogs.setOwnerWindow(&program.window());
    if (!recordFromStart(program.recorder(), options.recordTo))
        return 1;
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
